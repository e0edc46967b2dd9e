"""Test support shared by the end-to-end suites, the hostile-server suite and
the benchmark: scripted and real servers on 127.0.0.1 (plain and TLS),
test certificates, loopback ports, the Wine session, the end-to-end
driver's client, a download without the window (fetch) and the program's
own names (read from app/program.h).

An end-to-end suite puts the folder above this package on its path and
imports from it:

    import os, sys
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    from support import *
"""
from . import names
from .driver import ATTACH_MS, Driver, DriverError
from .log import ANY_REASON, completed, failed, saved
from .names import (COMPLETE, FAILED, STARTED, GADGET_ABOUT, GADGET_BROWSE, GADGET_EXIT, GADGET_LOG,
                    GADGET_PASTE, GADGET_PROGRESS, GADGET_SAVE_AS, GADGET_SAVE_LABEL, GADGET_START,
                    GADGET_URL, GADGET_URL_LABEL)
from .paths import build_dir, driver_exe, e2e_program, gatherly_exe, session_dir
from .certificates import CertificateAuthority, Site, self_signed
from .fetch import fetch, finish_fetch, start_fetch
from .ports import HOST, free_port, https_url, loopback_alias, refused_port, wait_listening
from .program import ProgramCase, main, settle_folder_times, start_and_attach, stop_program
from .scripted import (ScriptedServer, answer, close, close_notify, hold, pause, read_head, read_some, reset, route,
                       send, send_forever, send_paced, server_context, trickle)
from .timing import TIME_SCALE, scaled
from .servers import REAL_SERVERS, NginxServer, NodeServer, PythonHttpServer
from .wine import WineSession
from .wire import CHUNKED, chunk, chunked, garbage, head, pattern_bytes, read_head as read_request_head

# Everything above but the submodules themselves (names stays, as a namespace).
__all__ = [n for n, v in dict(globals()).items()
           if not n.startswith("_") and (n == "names" or type(v).__name__ != "module")]
