#!/usr/bin/env python3
"""serve.py as a browser meets it: the answers a page's files get."""
import http.client
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SERVE = os.path.join(HERE, "..", "..", "serve.py")


class Served(unittest.TestCase):
    def setUp(self):
        self.site = tempfile.TemporaryDirectory()
        self.write("index.html", "<title>one</title>")
        self.write("sw.js", "const VERSION = 'one';")
        self.server = subprocess.Popen([sys.executable, SERVE, "--port", "0", "--quiet", self.site.name],
                                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        line = self.server.stdout.readline()
        port = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        self.assertIsNotNone(port, f"serve.py said: {line!r}")
        self.port = int(port.group(1))

    def tearDown(self):
        self.server.kill()
        self.server.wait()
        self.server.stdout.close()
        self.site.cleanup()

    def write(self, name, text, mtime=None):
        path = os.path.join(self.site.name, name)
        with open(path, "w") as f:
            f.write(text)
        if mtime is not None:
            os.utime(path, (mtime, mtime))

    def get(self, path, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("GET", path, headers=headers or {})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read().decode()
        finally:
            connection.close()

    def test_a_file_rebuilt_within_the_second_it_was_served_is_served_anew(self):
        # A browser checks the worker again with the time it was given; the
        # rebuild lands in the same second, as a quick `make web` does.
        second = int(os.stat(os.path.join(self.site.name, "sw.js")).st_mtime)
        self.write("sw.js", "const VERSION = 'one';", mtime=second + 0.1)
        status, headers, _ = self.get("/sw.js")
        self.assertEqual(status, 200)
        self.write("sw.js", "const VERSION = 'two';", mtime=second + 0.9)
        for path in ("/sw.js", "/sw.js?again"):
            status, _, body = self.get(path, {"If-Modified-Since": headers["Last-Modified"]})
            self.assertEqual((status, body), (200, "const VERSION = 'two';"), path)

    def test_every_answer_is_checked_again_and_typed_for_the_page(self):
        self.write("zentrick.wasm", "\0asm")
        self.write("manifest.webmanifest", "{}")
        for path, kind in (("/", "text/html; charset=utf-8"), ("/sw.js", "text/javascript"),
                           ("/zentrick.wasm", "application/wasm"),
                           ("/manifest.webmanifest", "application/manifest+json")):
            status, headers, _ = self.get(path)
            self.assertEqual((status, headers["Content-type"], headers["Cache-Control"]), (200, kind, "no-cache"), path)

    def test_a_missing_file_is_not_found(self):
        self.assertEqual(self.get("/nothing.js")[0], 404)


if __name__ == "__main__":
    unittest.main()
