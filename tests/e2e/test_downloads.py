"""Downloads through the real window from real servers on 127.0.0.1."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (GADGET_SAVE_AS, GADGET_URL, NginxServer, NodeServer, ProgramCase,  # noqa: E402
                     PythonHttpServer, completed, failed, main, pattern_bytes, refused_port)

SIZES = [0, 1, 1023, 1024, 1025, 3 * 1024 * 1024 + 17]


class DownloadsFromRealServers(ProgramCase):
    def setUp(self):
        super().setUp()
        self.docroot = os.path.join(self.work, "served")
        os.mkdir(self.docroot)
        self.files = {}
        for i, size in enumerate(SIZES):
            name = f"file-{size}.bin"
            self.files[name] = pattern_bytes(size, seed=i)
            with open(os.path.join(self.docroot, name), "wb") as f:
                f.write(self.files[name])

    def check_server(self, server_class):
        self.start_program()
        with server_class(self.docroot) as server:
            for name, content in self.files.items():
                with self.subTest(server=server.name, file=name):
                    target = f"{server.name}-{name}"
                    verdict = self.download(server.url(name), self.win_path(target))
                    self.assertEqual(verdict, "complete")
                    with open(self.path(target), "rb") as f:
                        self.assertEqual(f.read(), content)
        # Every download added its three lines, in order, and nothing else.
        self.assert_log([line for content in self.files.values() for line in completed(len(content))])

    def test_nginx_content_length(self):
        self.check_server(NginxServer)

    def test_python_http_server(self):
        self.check_server(PythonHttpServer)

    def test_node_chunked(self):
        self.check_server(NodeServer)


class FailedDownloads(ProgramCase):
    def test_not_found_leaves_existing_file_and_fields(self):
        docroot = os.path.join(self.work, "served")
        os.mkdir(docroot)
        with open(self.path("keep.txt"), "wb") as f:
            f.write(b"precious contents\n")
        self.start_program()
        with NginxServer(docroot) as server:
            url = server.url("missing.bin")
            self.assertEqual(self.download(url, self.win_path("keep.txt")), "failed")
        with open(self.path("keep.txt"), "rb") as f:
            self.assertEqual(f.read(), b"precious contents\n")
        self.assert_log(failed("The server answered 404 Not Found."))
        self.assertEqual(self.driver.get(GADGET_URL), url)
        self.assertEqual(self.driver.get(GADGET_SAVE_AS), self.win_path("keep.txt"))

    def test_refused_connection(self):
        self.start_program()
        with refused_port() as port:
            url = f"http://127.0.0.1:{port}/x.bin"
            self.assertEqual(self.download(url, self.win_path("x.bin"), 30000), "failed")
        self.assertFalse(os.path.exists(self.path("x.bin")))
        self.assert_log(failed(f"127.0.0.1 refused the connection on port {port}."))
        self.assertEqual(self.driver.get(GADGET_URL), url)

    def test_two_downloads_give_six_lines_in_order(self):
        docroot = os.path.join(self.work, "served")
        os.mkdir(docroot)
        with open(os.path.join(docroot, "a.txt"), "wb") as f:
            f.write(b"alpha")
        self.start_program()
        with PythonHttpServer(docroot) as server:
            self.assertEqual(self.download(server.url("a.txt"), self.win_path("a.txt")), "complete")
            self.assertEqual(self.download(server.url("nope.txt"), self.win_path("b.txt")), "failed")
        self.assert_log(completed(5) + failed("The server answered 404 File not found."))


if __name__ == "__main__":
    main()
