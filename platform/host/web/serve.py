#!/usr/bin/env python3
"""Serves the built web page: a static file server with the types a page
needs (application/wasm among them) and no caching between builds.

    serve.py [--bind ADDRESS] [--port PORT] [FOLDER]

Binds 127.0.0.1:8080 by default; --bind 0.0.0.0 lets a phone on the same
network open it (the motion sensor and the service worker then need https,
see the README)."""
import argparse
import functools
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".webmanifest": "application/manifest+json",
        ".html": "text/html; charset=utf-8",
        ".png": "image/png",
    }

    def send_head(self):
        # Modification times go out in whole seconds: a file rebuilt within the
        # second it was last served would be "not modified" from then on, and
        # a phone would keep the old service worker for good. Always answer in
        # full; the files are few and the service worker keeps them.
        del self.headers["If-Modified-Since"]
        # A NUL names no file; open() would raise and drop the connection.
        if "\0" in self.translate_path(self.path):
            self.send_error(404)
            return None
        return super().send_head()

    def end_headers(self):
        # Every visit asks again; the service worker does the caching.
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):
        if not self.server.quiet:
            super().log_message(format, *args)


def main():
    parser = argparse.ArgumentParser(description="Serve the web page.")
    parser.add_argument("folder", nargs="?", default="build-web/site")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=8080, help="port (default 8080; 0 takes a free one)")
    parser.add_argument("--quiet", action="store_true", help="log no requests")
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.folder, "index.html")):
        print(f"serve: {args.folder} has no index.html (run make web)", file=sys.stderr)
        return 1
    handler = functools.partial(Handler, directory=args.folder)
    try:
        server = http.server.ThreadingHTTPServer((args.bind, args.port), handler)
    except OSError as error:
        print(f"serve: cannot listen on {args.bind}:{args.port}: {error.strerror}", file=sys.stderr)
        return 1
    server.quiet = args.quiet
    host = f"[{args.bind}]" if ":" in args.bind else args.bind
    port = server.server_address[1]  # --port 0 takes a free one
    print(f"serve: http://{host}:{port}/ (Ctrl+C stops)", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
