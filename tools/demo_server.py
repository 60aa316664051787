#!/usr/bin/env python3
"""The demo back end on loopback, standard library only.

One server plays the three parties an installation talks to:
  GET /api/settings/downloader   the settings server: a share link, an API key, the parser's base,
                                 the package's SHA-256 and the publisher's signature of it
  GET /json/parser?url=LINK      the link-parser service: JSON naming the direct link,
                                 every slash escaped
  GET /share/tovarelin           the share page itself: an HTML page, as a file-sharing site gives
  GET /files/Tovarelin.zip       the package host: the demo package, sent in slices so the
                                 progress bar has something to show

    demo_server.py --port PORT --package ZIP [--signature BASE64] [--ready-file FILE]
"""
import argparse
import hashlib
import http.server
import json
import sys
import time
import urllib.parse

API_KEY = "demo-key"
SHARE_PATH = "/share/tovarelin"
PACKAGE_PATH = "/files/Tovarelin.zip"
SLICES = 20
SLICE_PAUSE_S = 0.15


class DemoHandler(http.server.BaseHTTPRequestHandler):
    server_version = "TovarelinDemo/1"

    def base(self):
        return "http://127.0.0.1:%d" % self.server.server_address[1]

    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/api/settings/downloader":
            self.send_json({"api_base_url": self.base(), "api_key": API_KEY,
                            "download_url": self.base() + SHARE_PATH,
                            "package_sha256": self.server.package_sha256,
                            "package_signature": self.server.package_signature})
        elif path == "/json/parser":
            self.answer_parser(urllib.parse.parse_qs(query).get("url", [""])[0])
        elif path == SHARE_PATH:
            self.send_body(b"<html><body>Tovarelin share page</body></html>", "text/html")
        elif path == PACKAGE_PATH:
            self.send_package()
        else:
            self.send_error(404)

    def answer_parser(self, share_link):
        if self.headers.get("X-API-Key") != API_KEY or share_link != self.base() + SHARE_PATH:
            self.send_error(403)
            return
        answer = json.dumps({"code": 200, "data": {"name": "Tovarelin.zip",
                                                   "url": self.base() + PACKAGE_PATH}})
        # The service escapes every slash, as such services do.
        self.send_body(answer.replace("/", "\\/").encode(), "application/json")

    def send_package(self):
        data = self.server.package
        self.send_response(200)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        step = max(1, -(-len(data) // SLICES))
        for start in range(0, len(data), step):
            if start:
                time.sleep(SLICE_PAUSE_S)
            self.wfile.write(data[start:start + step])
            self.wfile.flush()

    def send_json(self, value):
        self.send_body(json.dumps(value).encode(), "application/json")

    def send_body(self, body, content_type):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, fmt, *args):
        sys.stderr.write("demo server: %s\n" % (fmt % args))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--package", required=True)
    parser.add_argument("--signature", default="",
                        help="package_signature to publish, as `make sign-package` prints it")
    parser.add_argument("--ready-file")
    args = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), DemoHandler)
    with open(args.package, "rb") as package:
        server.package = package.read()
    server.package_sha256 = hashlib.sha256(server.package).hexdigest()
    server.package_signature = args.signature
    if args.ready_file:
        with open(args.ready_file, "w") as ready:
            ready.write("%d\n" % server.server_address[1])
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
