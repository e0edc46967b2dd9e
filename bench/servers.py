"""Loopback servers for the benchmark that nginx cannot play, as scripts of
the tests' scripted server:

paced: a length-delimited body sent in fixed pieces at a fixed pace, so that
       a client's achieved speed can be read as a fraction of the pace.
small: one small body in a chosen framing (length, chunked or
       close-delimited), the same bytes for every client, so that the program
       and the floor are timed on the same response; with --redirect, at
       /small.bin, and /moved answers a redirect to it.

bench/run starts one as a child process, so that serving costs the measuring
process nothing; it prints its port on the first line of stdout, serves at
most the given number of connections, and stops by itself at its deadline.
"""

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from support import ScriptedServer, answer, chunked, head, pattern_bytes, route, send, send_paced  # noqa: E402


def paced_body(size):
    return pattern_bytes(size, seed=0)


def small_body(size):
    return pattern_bytes(size, seed=1)


def paced_script(size, rate):
    return answer(send(head(f"Content-Length: {size}", "Connection: close")), send_paced(paced_body(size), rate))


def small_response(mode, size):
    body = small_body(size)
    if mode == "length":
        return head(f"Content-Length: {size}", "Connection: close") + body
    if mode == "chunked":
        return head("Transfer-Encoding: chunked", "Connection: close") + chunked(body)
    if mode == "close":
        return head("Connection: close") + body
    raise ValueError(mode)


def small_script(mode, size, redirect=False):
    response = small_response(mode, size)
    if not redirect:
        return answer(send(response))
    moved = head("Location: /small.bin", "Content-Length: 0", "Connection: close", status="HTTP/1.1 302 Found")
    return route({"/small.bin": [send(response)], "/moved": [send(moved)]})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["paced", "small"])
    parser.add_argument("--mode", default="length", choices=["length", "chunked", "close"])
    parser.add_argument("--size", type=int, default=1024)
    parser.add_argument("--rate", type=float, default=8 * 1024 * 1024)
    parser.add_argument("--connections", type=int, default=10)
    parser.add_argument("--deadline", type=float, default=120.0)
    parser.add_argument("--redirect", action="store_true")
    args = parser.parse_args()
    script = (paced_script(args.size, args.rate) if args.kind == "paced"
              else small_script(args.mode, args.size, args.redirect))
    server = ScriptedServer(script, connections=args.connections, deadline=args.deadline)
    print(server.port, flush=True)
    server.wait()
    server.stop()


if __name__ == "__main__":
    sys.exit(main())
