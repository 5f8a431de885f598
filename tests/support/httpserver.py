#!/usr/bin/env python3
"""Loopback HTTP(S) server for the Vexa Installer tests (Python 3 standard library only).

Usage: httpserver.py --root DIR [--port 0] [--certfile PEM --keyfile PEM] [--log FILE]
                     [--control FILE] [--sent FILE]

Binds 127.0.0.1 only, prints the chosen port as its first stdout line, serves every request on its
own thread and exits when its standard input reaches end-of-file (the test process went away).

Behaviours, chosen by the request path (every <path> is a file below --root):
  /<path>                          the file, with Content-Length, ETag and Last-Modified; 404 "Not Found"
                                   when missing. A single `Range: bytes=A-[B]` is answered with 206 and
                                   Content-Range (416 past the end) unless an `If-Range` names another
                                   ETag or date, in which case the whole file comes with 200
  /status/<code>?reason=Text&body=B  any status code with any reason phrase and an optional body
  /redirect[/<any>]?to=<url>&code=302   a redirect (301, 302, 303, 307 or 308); 404 without `to`
  /nolength/<path>                 the file without Content-Length, delimited by closing the connection
  /stall/<path>?after=N&max_s=60   headers (full Content-Length) and N bytes, then nothing until the
                                   client goes away or max_s seconds (at most 60) have passed
  /drip/<path>?chunk=N&interval_ms=M   the file (with Content-Length) in N-byte pieces, M ms apart,
                                   ranges as for /<path>
  /delay/<path>?ms=M               waits M ms (at most 60 s) before answering with the file
  /wronglength/<path>?length=N     the file announced with Content-Length N, then the connection closes
  /headers                         the request's headers as a JSON object
  CONNECT host:port                502 "No Tunnels" (logged as "CONNECT host:port"), so a test can set
                                   this server as its proxy and no request ever leaves the machine
Every request target is appended to --log (one line each, written before the answer is sent), so a
test can check exactly which requests were made.

--control names a JSON file the test may write at any time; it is read for every file answer (/<path>
and /drip/<path>):
  "cut_after": N     send at most N bytes of each file body, then close the connection
  "ranges": "honour" (the default), "ignore" (200 with the whole file whatever the request asks),
            "ignore-if-range" (ranges served even when If-Range names another version), or
            "refuse" (416 to every ranged request)
--sent names a file that always holds the number of file-body bytes handed to connections so far,
updated before each piece goes out.
"""

import argparse
import email.utils
import json
import os
import re
import select
import shutil
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_WAIT_SECONDS = 60.0


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VexaTestServer/1.0"

    def log_message(self, format, *args):  # noqa: A002 - name fixed by the base class
        pass

    # -- helpers -------------------------------------------------------------------------------

    def _query(self):
        parsed = urllib.parse.urlsplit(self.path)
        return urllib.parse.unquote(parsed.path), urllib.parse.parse_qs(parsed.query, keep_blank_values=True)

    @staticmethod
    def _first(query, key, default):
        values = query.get(key)
        return values[0] if values else default

    def _file_path(self, relative):
        """The path of a file below the root, or None."""
        root = self.server.root
        candidate = os.path.realpath(os.path.join(root, relative.lstrip("/")))
        if candidate != root and not candidate.startswith(root + os.sep):
            return None
        return candidate if os.path.isfile(candidate) else None

    def _file(self, relative):
        candidate = self._file_path(relative)
        if candidate is None:
            return None
        with open(candidate, "rb") as handle:
            return handle.read()

    def _send_body(self, code, body, content_type="application/octet-stream", reason=None):
        self.send_response(code, reason)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _not_found(self):
        self._send_body(404, b"not found\n", "text/plain")

    def _file_or_not_found(self, relative):
        """The file's bytes, or None once a 404 has been sent for it."""
        body = self._file(relative)
        if body is None:
            self._not_found()
        return body

    def _start_file_answer(self, content_length=None, close=False):
        """Status 200 and binary body headers; Content-Length only when `content_length` is given."""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if content_length is not None:
            self.send_header("Content-Length", str(content_length))
        if close:
            self.send_header("Connection", "close")
        self.end_headers()

    def _client_gone(self, timeout):
        """Waits up to `timeout` seconds; true when the client closed its side meanwhile."""
        try:
            readable, _, _ = select.select([self.connection], [], [], timeout)
            if not readable:
                return False
            if isinstance(self.connection, ssl.SSLSocket):
                # TLS sockets cannot peek; nothing else is expected from a client waiting for its answer.
                return self.connection.recv(1) == b""
            return self.connection.recv(1, socket.MSG_PEEK) == b""
        except (ssl.SSLWantReadError, BlockingIOError):
            return False
        except (OSError, ValueError):
            return True

    # -- dispatch ------------------------------------------------------------------------------

    def do_CONNECT(self):
        # Acting as the proxy of a test lets a request for any host end here, on loopback, unanswered.
        self.server.log_request_target("CONNECT " + self.path)
        self._send_body(502, b"no tunnels here\n", "text/plain", "No Tunnels")
        self.close_connection = True

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        self.server.log_request_target(self.path)
        path, query = self._query()
        first, _, rest = path.lstrip("/").partition("/")
        handlers = {
            "status": self._status,
            "redirect": self._redirect,
            "nolength": self._nolength,
            "stall": self._stall,
            "drip": self._drip,
            "delay": self._delay,
            "wronglength": self._wronglength,
            "headers": self._headers,
        }
        handler = handlers.get(first)
        try:
            if handler is not None:
                handler(rest, query)
            else:
                self._plain(path)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            self.close_connection = True

    def _plain(self, path):
        # Streamed, so a benchmark's gigabyte archive never sits in memory.
        self._send_file(path, 1 << 20, 0.0)

    def _status(self, rest, query):
        code = int(rest.split("/")[0])
        reason = self._first(query, "reason", None)
        body = self._first(query, "body", "").encode("utf-8")
        self._send_body(code, body, "text/plain", reason)

    def _redirect(self, _rest, query):
        target = self._first(query, "to", None)
        if target is None:
            self._not_found()
            return
        code = int(self._first(query, "code", "302"))
        self.send_response(code)
        self.send_header("Location", target)
        self.send_header("Content-Length", "0")
        # Qt 6.4 sometimes sends a redirected request a second time on a kept-alive connection;
        # closing it keeps request logs exact.
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    def _nolength(self, rest, _query):
        body = self._file_or_not_found(rest)
        if body is None:
            return
        self._start_file_answer(close=True)
        self.wfile.write(body)
        self.wfile.flush()
        self.close_connection = True

    def _stall(self, rest, query):
        body = self._file_or_not_found(rest)
        if body is None:
            return
        after = min(int(self._first(query, "after", "0")), len(body))
        limit = min(float(self._first(query, "max_s", str(MAX_WAIT_SECONDS))), MAX_WAIT_SECONDS)
        self._start_file_answer(len(body))
        self.wfile.write(body[:after])
        self.wfile.flush()
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            if self._client_gone(min(0.1, max(0.0, deadline - time.monotonic()))):
                break
        self.close_connection = True

    def _drip(self, rest, query):
        chunk = max(1, int(self._first(query, "chunk", "1024")))
        interval = max(0, int(self._first(query, "interval_ms", "100"))) / 1000.0
        self._send_file(rest, chunk, interval)

    def _byte_range(self, size, validators, ranges):
        """The (first, last) bytes of the file to send and whether that is a part of it; None once a
        416 went out. Only a single range is understood; anything else gets the whole file."""
        whole = (0, size - 1, False)
        header = self.headers.get("Range")
        if header is None or ranges == "ignore":
            return whole
        match = re.fullmatch(r"bytes=(\d+)-(\d*)", header.strip())
        if match is None:
            return whole
        if_range = self.headers.get("If-Range")
        if if_range is not None and ranges != "ignore-if-range" and if_range.strip() not in validators:
            return whole
        first = int(match.group(1))
        last = min(int(match.group(2)), size - 1) if match.group(2) else size - 1
        if ranges == "refuse" or first >= size or last < first:
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        return first, last, True

    def _send_file(self, relative, chunk, interval):
        """The file below the root, or the part of it a Range asks for, in `chunk`-byte pieces
        `interval` seconds apart, as far as the control file's cut allows."""
        candidate = self._file_path(relative)
        if candidate is None:
            self._not_found()
            return
        control = self.server.control()
        info = os.stat(candidate)
        etag = '"%x-%x"' % (info.st_mtime_ns, info.st_size)
        last_modified = email.utils.formatdate(info.st_mtime, usegmt=True)
        answer = self._byte_range(info.st_size, (etag, last_modified), control.get("ranges", "honour"))
        if answer is None:
            return
        first, last, partial = answer
        self.send_response(206 if partial else 200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(last - first + 1))
        if partial:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, info.st_size))
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", last_modified)
        self.end_headers()
        if self.command == "HEAD":
            return
        self.wfile.flush()
        cut = control.get("cut_after")
        left = last - first + 1 if cut is None else min(last - first + 1, int(cut))
        with open(candidate, "rb") as handle:
            handle.seek(first)
            sent = 0
            while left > 0:
                if sent and interval and self._client_gone(interval):
                    self.close_connection = True
                    return
                piece = handle.read(min(chunk, left))
                if not piece:
                    break
                self.server.count_sent(len(piece))
                self.wfile.write(piece)
                self.wfile.flush()
                sent += len(piece)
                left -= len(piece)
        if cut is not None and sent < last - first + 1:
            self.close_connection = True

    def _delay(self, rest, query):
        body = self._file_or_not_found(rest)
        if body is None:
            return
        wait = min(int(self._first(query, "ms", "0")) / 1000.0, MAX_WAIT_SECONDS)
        if self._client_gone(wait):
            self.close_connection = True
            return
        self._send_body(200, body)

    def _wronglength(self, rest, query):
        body = self._file_or_not_found(rest)
        if body is None:
            return
        self._start_file_answer(self._first(query, "length", str(len(body))), close=True)
        self.wfile.write(body)
        self.wfile.flush()
        self.close_connection = True

    def _headers(self, _rest, _query):
        headers = {key: value for key, value in self.headers.items()}
        self._send_body(200, json.dumps(headers, sort_keys=True).encode("utf-8"), "application/json")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, root, port, log_path, tls_context, control_path, sent_path):
        self.root = os.path.realpath(root)
        self.tls_context = tls_context
        self.log_lock = threading.Lock()
        self.log_path = log_path
        self.control_path = control_path
        self.sent_lock = threading.Lock()
        self.sent_path = sent_path
        self.sent = 0
        if sent_path:
            self.count_sent(0)
        super().__init__(("127.0.0.1", port), Handler)

    def control(self):
        """The test's settings for file answers; none when there is no control file (yet)."""
        try:
            with open(self.control_path, encoding="utf-8") as handle:
                return json.load(handle)
        except (TypeError, OSError, ValueError):
            return {}

    def count_sent(self, count):
        with self.sent_lock:
            self.sent += count
            if self.sent_path:
                # Written beside and renamed, so a reader never sees half a number.
                with open(self.sent_path + ".new", "w", encoding="utf-8") as out:
                    out.write("%d\n" % self.sent)
                os.replace(self.sent_path + ".new", self.sent_path)

    def log_request_target(self, target):
        if not self.log_path:
            return
        with self.log_lock, open(self.log_path, "a", encoding="utf-8") as log:
            log.write(target + "\n")
            log.flush()

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the request's own thread so one slow client cannot hold up accept().
        if self.tls_context is not None:
            try:
                request.settimeout(30)
                request = self.tls_context.wrap_socket(request, server_side=True)
                request.settimeout(None)
            except (ssl.SSLError, OSError):
                return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        error = sys.exc_info()[1]
        if isinstance(error, (ConnectionError, ssl.SSLError, TimeoutError)):
            return
        super().handle_error(request, client_address)


def exit_when_parent_goes_away():
    # The test holds our stdin open; end-of-file means it finished or died.
    try:
        while sys.stdin.buffer.read(4096):
            pass
    except OSError:
        pass
    os._exit(0)


def main():
    parser = argparse.ArgumentParser(description="Loopback HTTP(S) server for tests")
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--certfile")
    parser.add_argument("--keyfile")
    parser.add_argument("--log")
    parser.add_argument("--control")
    parser.add_argument("--sent")
    args = parser.parse_args()

    tls_context = None
    if args.certfile:
        tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls_context.load_cert_chain(args.certfile, args.keyfile)

    server = Server(args.root, args.port, args.log, tls_context, args.control, args.sent)

    threading.Thread(target=exit_when_parent_goes_away, daemon=True).start()
    sys.stdout.write("%d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever(poll_interval=0.1)


if __name__ == "__main__":
    main()
