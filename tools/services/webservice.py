#!/usr/bin/env python3
"""Korvane web services: the high-score service and the update check on one HTTP port.

Paths: /api/v1/highscores (see highscores.py) and /api/v1/updates (see updates.py). Malformed
or unknown requests get no answer: the connection is closed without a byte.
"""

import argparse
import http.server
import logging
import socketserver
import threading

import highscores
import updates

HIGHSCORES_PATH = "/api/v1/highscores"
UPDATES_PATH = "/api/v1/updates"
MAX_BODY = 64 * 1024
REQUEST_TIMEOUT = 10
# Connections served at once, each on a thread of its own; more are closed unanswered, so
# that a flood of idle connections cannot use up the process's threads or file handles.
MAX_CONNECTIONS = 32


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "KorvaneServices/1"
    protocol_version = "HTTP/1.0"
    timeout = REQUEST_TIMEOUT

    def route(self):
        path, _, query = self.path.partition("?")
        for base, service in ((HIGHSCORES_PATH, self.server.highscores), (UPDATES_PATH, self.server.updates)):
            if path == base or path.startswith(base + "/"):
                parts = [part for part in path[len(base):].split("/") if part]
                return service, parts, query
        return None, None, None

    def do_GET(self):
        service, parts, query = self.route()
        self.reply(service.get(parts, query) if service is not None else None)

    def do_POST(self):
        service, parts, _ = self.route()
        if service is not self.server.highscores or parts:
            return
        try:
            length = int(self.headers.get("Content-length", "-1"))
        except ValueError:
            return
        if 0 <= length <= MAX_BODY:
            body = self.rfile.read(length)
            if len(body) == length:
                self.reply(service.post(body))

    def send_error(self, code, message=None, explain=None):
        # Requests the server cannot read, or methods it does not serve, get no answer.
        logging.info("%s dropped a request (%d)", self.address_string(), code)
        self.close_connection = True

    def reply(self, answer):
        """answer: (status, document), or None for no answer at all."""
        if answer is None:
            logging.info("%s dropped %s", self.address_string(), self.path[:200])
            return
        status, text = answer
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-type", highscores.CONTENT_TYPE)
        self.send_header("Content-length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, format, *args):
        logging.info("%s %s", self.address_string(), format % args)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.connections = threading.BoundedSemaphore(MAX_CONNECTIONS)

    def process_request(self, request, client_address):
        if not self.connections.acquire(blocking=False):
            self.shutdown_request(request)
            return
        try:
            super().process_request(request, client_address)
        except Exception:
            # No thread to serve it (the caller closes the connection).
            self.connections.release()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.connections.release()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="0.0.0.0", help="address to listen on (default all)")
    parser.add_argument("--port", type=int, default=80, help="HTTP port (default 80)")
    parser.add_argument("--database", default="highscores.sqlite", help="SQLite file for the scores")
    parser.add_argument("--key", default=highscores.DEFAULT_KEY, help="the game's score signing key")
    parser.add_argument("--latest-version", default="1.4.2", help="newest game version, major.minor.patch")
    parser.add_argument("--download-url", default="", help="where players get the newest version")
    parser.add_argument("--message", default="", help="a message shown to players after the check")
    args = parser.parse_args()
    logging.basicConfig(level=logging.INFO, format="%(asctime)s webservice %(message)s")
    server = Server((args.host, args.port), Handler)
    server.highscores = highscores.HighScores(args.database, args.key)
    server.updates = updates.Updates(args.latest_version, args.download_url, args.message)
    logging.info("Web services on %s port %d", args.host, args.port)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
