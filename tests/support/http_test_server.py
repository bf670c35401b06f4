#!/usr/bin/env python3
"""Local HTTP/HTTPS server for the network tests.

Serves the files of a document root on 127.0.0.1 (free ports), with a few path
prefixes that make the faults the download code has to survive, and logs every
request exactly as received so that tests can check what the client sent.

Paths:
  /<file>                      200 with Content-Length (GET, HEAD, POST); 404 if missing
  /chunked/<file>              200, Transfer-Encoding: chunked, no Content-Length
  /status/<code>/<anything>    that status, small body with Content-Length
  /after/<n>/<code>/<file>     like /<file> for the first n requests of this path, then <code>
  /drop/<n>/<file>             like /<file> for the first n requests of this path, then the
                               connection closes with no answer at all
  /reset/<file>                announces size + 100, sends the file, then resets the connection
                               (a request with the agent "Updater" is closed normally, as /short/)
  /bare-probe/<file>           like /<file>, but a request with the agent "Updater" gets only
                               the head (with the file's length), then the connection closes
  /probe-says/<n>/<file>       like /<file>, but a request with the agent "Updater" gets only a
                               head announcing n bytes, then the connection closes
  /short/<file>                announces size + 100, sends the file, closes
  /long/<file>                 announces size - min(100, size), sends the whole file, closes
  /slow/<bytes-per-s>/<file>   like /<file>, sent at that rate (a link's speed); a request with
                               the agent "Updater" gets only the head, as /bare-probe/
  /burst/<bytes>/<ms>/<file>   like /<file>, sent <bytes> at a time with <ms> of silence between;
                               a request with the agent "Updater" gets only the head
  /tamper/<file>               like /<file>, of the same length, with its middle byte changed
  /redirect/<code>/<target>    that status (301, 302, 303, 307, 308) with Location: <target>, the
                               rest of the path percent-decoded (an absolute or relative URL)
  /stall/<s>/<file>            reads the request, then sends nothing for s seconds and closes
  /stall-body/<s>/<file>       sends the head and half the file, then nothing for s seconds, closes
  /fail-first/<n>/<code>/<file>  the first n requests (the agent "Updater"'s probes aside, which
                               get the file's head) answer <code> with Retry-After: 1, then as /<file>
  /cut-first/<n>/<bytes>/<file>  the first n requests (probes aside) get the head and <bytes> of
                               the body, then the connection closes; then as /<file>
  /cut-every/<bytes>/<file>    every response (ranges too) sends at most <bytes> of its body, then
                               the connection closes; the probe gets the head; with <file> as
                               slow/<bytes-per-s>/<name>, each response is sent at that rate
  /no-range/<file>             like /<file>, but a Range header is ignored (200 and the whole file)
  (any file path)              a "Range: bytes=N-" request gets 206 with Content-Range, unless its
                               If-Range is not the file's Last-Modified
  /_stop                       answers, then the server exits (not logged)

Log record per request (one line each, flushed before the response goes out):
  REQUEST <scheme> <method> <target> <body-length>
  C <connection-number> <request-number-on-connection>
  L <request line as received, without its line end>
  H <raw-length> <header line as received, without its line end>   (one per header)
  B <body as hex>
  S <status sent>
  END

The server exits on /_stop, when stdin (a pipe or socket) reaches EOF, when the process
that started it ends, and after --max-seconds at the latest, so that it cannot outlive the test that started it.
"""

import argparse
import os
import select
import socket
import socketserver
import ssl
import stat
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

CHUNK = 1 << 20
REASONS = {
    200: "OK", 206: "Partial Content", 301: "Moved Permanently", 302: "Found", 303: "See Other", 304: "Not Modified",
    307: "Temporary Redirect", 308: "Permanent Redirect",
    400: "Bad Request", 401: "Unauthorized", 403: "Forbidden", 404: "Not Found",
    405: "Method Not Allowed", 500: "Internal Server Error", 502: "Bad Gateway",
    503: "Service Unavailable",
}


def kind_of(full):
    return [("Content-Type", "application/octet-stream"),
            ("Last-Modified", time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime(os.path.getmtime(full))))]


class ClientGone(Exception):
    pass


class State:
    def __init__(self, root, log_path):
        self.root = os.path.realpath(root)
        self.log = open(log_path, "ab", buffering=0) if log_path else None
        self.lock = threading.Lock()
        self.counts = {}
        self.connections = 0
        self.stop = threading.Event()

    def next_connection(self):
        with self.lock:
            self.connections += 1
            return self.connections

    def count(self, key):
        with self.lock:
            self.counts[key] = self.counts.get(key, 0) + 1
            return self.counts[key]

    def record(self, text):
        if self.log:
            with self.lock:
                self.log.write(text)


def line_text(raw):
    if raw.endswith(b"\r\n"):
        return raw[:-2]
    if raw.endswith(b"\n"):
        return raw[:-1]
    return raw


class Handler(socketserver.BaseRequestHandler):
    scheme = "http"

    def setup(self):
        self.state = self.server.state
        self.conn = self.request
        self.conn.settimeout(60)
        if self.server.tls:
            try:
                self.conn = self.server.tls.wrap_socket(self.conn, server_side=True)
            except (ssl.SSLError, OSError):
                self.conn = None
                return
        self.reader = self.conn.makefile("rb", buffering=65536)
        self.number = self.state.next_connection()

    def handle(self):
        if self.conn is None:
            return
        index = 0
        try:
            while not self.state.stop.is_set():
                index += 1
                if not self.one_request(index):
                    break
        except (ClientGone, OSError, ssl.SSLError, ValueError):
            pass

    def finish(self):
        if self.conn is None:
            return
        try:
            self.reader.close()
            if isinstance(self.conn, ssl.SSLSocket):
                self.conn.close()
        except OSError:
            pass

    # --- request parsing -------------------------------------------------

    def readline(self):
        line = self.reader.readline(65537)
        if len(line) > 65536:
            raise ClientGone()
        return line

    def read_exact(self, n):
        data = self.reader.read(n)
        if data is None or len(data) != n:
            raise ClientGone()
        return data

    def read_body(self, headers):
        names = {name.lower(): value for name, value in headers}
        if "chunked" in names.get("transfer-encoding", "").lower():
            body = b""
            while True:
                size = int(self.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return body
                body += self.read_exact(size)
                self.readline()
        length = int(names.get("content-length", "0").strip() or "0")
        return self.read_exact(length) if length > 0 else b""

    def one_request(self, index):
        request_line = self.readline()
        while request_line in (b"\r\n", b"\n"):
            request_line = self.readline()
        if not request_line:
            return False
        parts = line_text(request_line).decode("latin-1").split()
        if len(parts) != 3:
            self.send_simple(400, close=True)
            return False
        method, target, version = parts
        raw_headers = []
        while True:
            raw = self.readline()
            if raw in (b"\r\n", b"\n", b""):
                break
            raw_headers.append(raw)
        headers = []
        for raw in raw_headers:
            name, _, value = line_text(raw).decode("latin-1").partition(":")
            headers.append((name, value.strip()))
        body = self.read_body(headers)

        path = target.split("?", 1)[0]
        if path == "/_stop":
            self.send_simple(200, close=True)
            self.state.stop.set()
            return False

        connection = ",".join(v for n, v in headers if n.lower() == "connection").lower()
        keep_alive = ("close" not in connection) if version == "HTTP/1.1" else ("keep-alive" in connection)
        plan = self.plan(method, path, ",".join(v for n, v in headers if n.lower() == "user-agent"))
        # A paced line stays paced for a range of the file too.
        self.range_rate = plan[3] if plan[1] == "slow" else None
        if plan[1] in ("bare-probe", "probe-says", "slow"):
            agent = ",".join(v for n, v in headers if n.lower() == "user-agent")
            if agent == "Updater":
                plan = (plan[0], "head-only", plan[2], plan[3] if plan[1] == "probe-says" else None)
            else:
                plan = (plan[0], "plain", plan[2], plan[3] if plan[1] == "slow" else None)
        elif plan[1] == "reset":
            # A reset can overtake the head it follows, so the probe is closed normally.
            agent = ",".join(v for n, v in headers if n.lower() == "user-agent")
            if agent == "Updater":
                plan = (plan[0], "short", plan[2], plan[3])

        # A range of the file (bytes=N-), unless If-Range names another version of it.
        wanted = ",".join(v for n, v in headers if n.lower() == "range")
        if plan[1] == "plain" and wanted.startswith("bytes=") and wanted.endswith("-") and wanted[6:-1].isdigit():
            first = int(wanted[6:-1])
            validator = ",".join(v for n, v in headers if n.lower() == "if-range")
            modified = time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime(os.path.getmtime(plan[2])))
            if first < os.path.getsize(plan[2]) and (not validator or validator == modified):
                plan = (206, "range", plan[2], first)
        if plan[1] == "no-range":
            plan = (plan[0], "plain", plan[2], plan[3])
        cap = getattr(self, "cut_every", None)
        self.cut_every = None
        self.cut_rate = getattr(self, "next_cut_rate", None)
        self.next_cut_rate = None
        if cap is not None and plan[1] in ("plain", "range"):
            first = plan[3] if plan[1] == "range" else 0
            plan = (plan[0], "cut" if plan[1] == "plain" else "range-cut", plan[2], (first, cap))

        record = [b"REQUEST %s %s %s %d\n" % (self.scheme.encode(), method.encode("latin-1"),
                                              target.encode("latin-1"), len(body)),
                  b"C %d %d\n" % (self.number, index),
                  b"L " + line_text(request_line) + b"\n"]
        for raw in raw_headers:
            record.append(b"H %d " % len(raw) + line_text(raw) + b"\n")
        record.append(b"B " + body.hex().encode() + b"\n")
        record.append(b"S %d\n" % plan[0])
        record.append(b"END\n")
        self.state.record(b"".join(record))

        return self.respond(method, plan, keep_alive)

    # --- responses ------------------------------------------------------

    def file_path(self, name):
        raw = urllib.parse.unquote_to_bytes(name.lstrip("/"))
        for encoding in ("utf-8", "cp949"):
            try:
                relative = raw.decode(encoding)
            except UnicodeDecodeError:
                continue
            full = os.path.realpath(os.path.join(self.state.root, relative))
            if not (full + os.sep).startswith(self.state.root + os.sep):
                return None
            if os.path.isfile(full):
                return full
        return None

    def plan(self, method, path, agent=""):
        """(status, mode, file, argument): decided before logging so the log shows the status."""
        segments = path.split("/")
        try:
            if path.startswith("/chunked/"):
                return self.file_plan(path[len("/chunked/"):], "chunked")
            if path.startswith("/redirect/") and len(segments) >= 4:
                location = urllib.parse.unquote("/".join(segments[3:]))
                return (int(segments[2]), "redirect", None, location)
            if (path.startswith("/fail-first/") or path.startswith("/cut-first/")) and len(segments) >= 5:
                limit, value = int(segments[2]), int(segments[3])
                inner = self.plan(method, "/" + "/".join(segments[4:]), agent)
                full = inner[2]
                if full is None:
                    return inner
                if agent == "Updater":
                    return (200, "head-only", full, None)
                if self.state.count(path) > limit:
                    return inner
                if path.startswith("/fail-first/"):
                    return (value, "retry-after", None, None)
                return (200, "cut", full, value)
            if path.startswith("/cut-every/") and len(segments) >= 4:
                inner = self.plan(method, "/" + "/".join(segments[3:]), agent)
                if inner[2] is None or agent == "Updater":
                    return inner if inner[2] is None else (200, "head-only", inner[2], None)
                self.cut_every = int(segments[2])
                if len(segments) >= 6 and segments[3] == "slow":
                    self.next_cut_rate = max(1, int(segments[4]))
                return inner
            if path.startswith("/no-range/"):
                return self.file_plan(path[len("/no-range/"):], "no-range")
            if path.startswith("/stall/") and len(segments) >= 4:
                status, mode, full, _ = self.file_plan("/".join(segments[3:]), "stall")
                return (status, mode, full, float(segments[2]))
            if path.startswith("/stall-body/") and len(segments) >= 4:
                status, mode, full, _ = self.file_plan("/".join(segments[3:]), "stall-body")
                return (status, mode, full, float(segments[2]))
            if path.startswith("/status/") and len(segments) >= 3:
                return (int(segments[2]), "simple", None, None)
            if path.startswith("/after/") and len(segments) >= 5:
                limit, code = int(segments[2]), int(segments[3])
                name = "/".join(segments[4:])
                if self.state.count(path) > limit:
                    return (code, "simple", None, None)
                return self.file_plan(name, "plain")
            if path.startswith("/drop/") and len(segments) >= 4:
                limit = int(segments[2])
                if self.state.count(path) > limit:
                    return (0, "drop", None, None)
                return self.file_plan("/".join(segments[3:]), "plain")
            if path.startswith("/reset/"):
                return self.file_plan(path[len("/reset/"):], "reset")
            if path.startswith("/bare-probe/"):
                return self.file_plan(path[len("/bare-probe/"):], "bare-probe")
            if path.startswith("/probe-says/") and len(segments) >= 4:
                status, mode, full, _ = self.file_plan("/".join(segments[3:]), "probe-says")
                return (status, mode, full, int(segments[2]))
            if path.startswith("/short/"):
                return self.file_plan(path[len("/short/"):], "short")
            if path.startswith("/tamper/"):
                return self.file_plan(path[len("/tamper/"):], "tamper")
            if path.startswith("/long/"):
                return self.file_plan(path[len("/long/"):], "long")
            if path.startswith("/burst/") and len(segments) >= 5:
                status, mode, full, _ = self.file_plan("/".join(segments[4:]), "burst")
                if full is not None and agent == "Updater":
                    return (200, "head-only", full, None)
                return (status, mode, full, (max(1, int(segments[2])), float(segments[3]) / 1000))
            if path.startswith("/slow/") and len(segments) >= 4:
                status, mode, full, _ = self.file_plan("/".join(segments[3:]), "slow")
                return (status, mode, full, max(1, int(segments[2])))
        except ValueError:
            return (400, "simple", None, None)
        return self.file_plan(path, "plain")

    def file_plan(self, name, mode):
        full = self.file_path(name)
        if full is None:
            return (404, "simple", None, None)
        return (200, mode, full, None)

    def head(self, status, fields, close):
        lines = ["HTTP/1.1 %d %s" % (status, REASONS.get(status, "Status")),
                 "Server: VexaTestServer", "Date: " + time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime())]
        lines += ["%s: %s" % field for field in fields]
        lines.append("Connection: close" if close else "Connection: keep-alive")
        self.send(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def send(self, data):
        try:
            self.conn.sendall(data)
        except OSError as error:
            raise ClientGone() from error

    def send_simple(self, status, close=False, method="GET"):
        body = ("%d %s\n" % (status, REASONS.get(status, "Status"))).encode()
        self.head(status, [("Content-Type", "text/plain"), ("Content-Length", str(len(body)))], close)
        if method != "HEAD":
            self.send(body)

    def send_file(self, full, size, rate=None):
        with open(full, "rb") as f:
            if rate is None and not isinstance(self.conn, ssl.SSLSocket):
                try:
                    self.conn.sendfile(f, 0, size)
                    return
                except OSError as error:
                    raise ClientGone() from error
            self.send_span(f, size, rate)

    def send_span(self, f, count, rate=None):
        """Sends count bytes from f's position, at rate bytes per second when given."""
        left = count
        block = CHUNK if rate is None else max(1, min(CHUNK, rate // 100))
        start = time.monotonic()
        while left > 0:
            data = f.read(min(block, left))
            if not data:
                break
            self.send(data)
            left -= len(data)
            if rate is not None:
                # Paced against the start, so the time spent sending does not slow the rate.
                ahead = start + (count - left) / rate - time.monotonic()
                if ahead > 0:
                    time.sleep(ahead)

    def respond(self, method, plan, keep_alive):
        status, mode, full, argument = plan
        if mode == "drop":
            return False
        if mode == "simple":
            self.send_simple(status, close=not keep_alive, method=method)
            return keep_alive
        if mode == "range":
            size = os.path.getsize(full)
            self.head(206, kind_of(full) + [("Content-Range", "bytes %d-%d/%d" % (argument, size - 1, size)),
                                            ("Content-Length", str(size - argument))], not keep_alive)
            if method != "HEAD":
                with open(full, "rb") as f:
                    f.seek(argument)
                    self.send_span(f, size - argument, self.range_rate)
            return keep_alive
        if mode == "retry-after":
            body = b"try again\n"
            self.head(status, [("Retry-After", "1"), ("Content-Type", "text/plain"),
                               ("Content-Length", str(len(body)))], not keep_alive)
            if method != "HEAD":
                self.send(body)
            return keep_alive
        if mode == "range-cut":
            first, cap = argument
            size = os.path.getsize(full)
            self.head(206, kind_of(full) + [("Content-Range", "bytes %d-%d/%d" % (first, size - 1, size)),
                                            ("Content-Length", str(size - first))], True)
            if method != "HEAD":
                with open(full, "rb") as f:
                    f.seek(first)
                    self.send_span(f, min(cap, size - first), self.cut_rate)
            return False
        if mode == "cut":
            if isinstance(argument, tuple):
                argument = argument[1]
            size = os.path.getsize(full)
            self.head(200, kind_of(full) + [("Content-Length", str(size))], True)
            if method != "HEAD":
                with open(full, "rb") as f:
                    self.send_span(f, min(argument, size), getattr(self, "cut_rate", None))
            return False
        if mode == "stall":
            self.state.stop.wait(argument)
            return False
        if mode == "burst":
            size = os.path.getsize(full)
            self.head(200, kind_of(full) + [("Content-Length", str(size))], True)
            if method != "HEAD":
                burst, gap = argument
                with open(full, "rb") as f:
                    while True:
                        data = f.read(burst)
                        if not data:
                            break
                        self.send(data)
                        if f.tell() < size and self.state.stop.wait(gap):
                            break
            return False
        if mode == "stall-body":
            size = os.path.getsize(full)
            self.head(200, [("Content-Type", "application/octet-stream"), ("Content-Length", str(size))], True)
            if method != "HEAD":
                with open(full, "rb") as f:
                    self.send(f.read(size // 2))
                self.state.stop.wait(argument)
            return False
        if mode == "redirect":
            body = b"moved\n"
            self.head(status, [("Location", argument), ("Content-Type", "text/plain"),
                               ("Content-Length", str(len(body)))], not keep_alive)
            if method != "HEAD":
                self.send(body)
            return keep_alive
        size = os.path.getsize(full)
        kind = [("Content-Type", "application/octet-stream"),
                ("Last-Modified", time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime(os.path.getmtime(full))))]
        if mode == "chunked":
            self.head(200, kind + [("Transfer-Encoding", "chunked")], not keep_alive)
            if method != "HEAD":
                with open(full, "rb") as f:
                    while True:
                        data = f.read(CHUNK)
                        if not data:
                            break
                        self.send(b"%x\r\n" % len(data) + data + b"\r\n")
                self.send(b"0\r\n\r\n")
            return keep_alive
        if mode == "reset":
            self.head(200, kind + [("Content-Length", str(size + 100))], True)
            if method != "HEAD":
                self.send_file(full, size)
                raw = self.conn.unwrap() if isinstance(self.conn, ssl.SSLSocket) else self.conn
                raw.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return False
        if mode == "head-only":
            self.head(200, kind + [("Content-Length", str(size if argument is None else argument))], True)
            return False
        if mode == "short":
            self.head(200, kind + [("Content-Length", str(size + 100))], True)
            if method != "HEAD":
                self.send_file(full, size)
            return False
        if mode == "tamper":
            with open(full, "rb") as f:
                body = bytearray(f.read())
            if body:
                body[len(body) // 2] ^= 0x5A
            self.head(200, kind + [("Content-Length", str(size))], not keep_alive)
            if method != "HEAD":
                self.send(bytes(body))
            return keep_alive
        if mode == "long":
            self.head(200, kind + [("Content-Length", str(size - min(100, size)))], True)
            if method != "HEAD":
                self.send_file(full, size)
            return False
        self.head(200, kind + [("Content-Length", str(size))], not keep_alive)
        if method != "HEAD":
            self.send_file(full, size, argument)
        return keep_alive


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = False
    request_queue_size = 64

    def __init__(self, state, tls):
        self.state = state
        self.tls = tls
        super().__init__(("127.0.0.1", 0), Handler)

    def finish_request(self, request, client_address):
        self.RequestHandlerClass.scheme = "https" if self.tls else "http"
        handler = type("BoundHandler", (Handler,), {"scheme": "https" if self.tls else "http"})
        handler(request, client_address, self)


def watch_stdin(state):
    """EOF on a piped stdin means the process that started us has gone."""
    try:
        mode = os.fstat(0).st_mode
    except OSError:
        return
    if not (stat.S_ISFIFO(mode) or stat.S_ISSOCK(mode)):
        return
    os.set_blocking(0, True)  # Wine hands over its sockets non-blocking

    def run():
        try:
            while os.read(0, 4096):
                pass
        except OSError:
            pass
        state.stop.set()

    threading.Thread(target=run, daemon=True).start()


def watch_parent(state):
    """Exit with the process that started us, however it ends."""
    parent = os.getppid()

    def run():
        while not state.stop.wait(0.5):
            if os.getppid() != parent:
                state.stop.set()

    threading.Thread(target=run, daemon=True).start()


def detach_inherited_descriptors(output):
    """Keep only stdin: inherited pipes (a test runner's output) must not wait for us."""
    target = os.open(output or os.devnull, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    os.dup2(target, 1)
    os.dup2(target, 2)
    os.close(target)
    os.closerange(3, 1024)
    sys.stdout = os.fdopen(1, "w", buffering=1)
    sys.stderr = os.fdopen(2, "w", buffering=1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log")
    parser.add_argument("--ready", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--ca-dir", help="make (if needed) and use the test authority's server certificate there")
    parser.add_argument("--output", help="where our own stdout and stderr go")
    parser.add_argument("--max-seconds", type=float, default=1800)
    args = parser.parse_args()

    detach_inherited_descriptors(args.output)
    state = State(args.root, args.log)
    watch_stdin(state)
    watch_parent(state)

    cert, key = args.cert, args.key
    if args.ca_dir and not cert:
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-test-ca.sh")
        subprocess.run(["/bin/bash", script, args.ca_dir], check=True, stdin=subprocess.DEVNULL)
        cert, key = os.path.join(args.ca_dir, "server.crt"), os.path.join(args.ca_dir, "server.key")

    servers = [Server(state, None)]
    if cert and key:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.load_cert_chain(cert, key)
        servers.append(Server(state, context))
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()

    ports = [s.server_address[1] for s in servers] + [0]
    temporary = args.ready + ".tmp"
    with open(temporary, "w") as f:
        f.write("http=%d https=%d pid=%d\n" % (ports[0], ports[1], os.getpid()))
    os.replace(temporary, args.ready)

    state.stop.wait(args.max_seconds)
    for server in servers:
        server.socket.close()
    if state.log:
        state.log.close()
    os._exit(0)


if __name__ == "__main__":
    main()
