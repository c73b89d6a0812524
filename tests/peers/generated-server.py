#!/usr/bin/env python3
"""An HTTP/1.1 server of files that exist nowhere: generated-server.py PORT.

GET or HEAD /gen/<size>.bin serves <size> bytes whose every byte follows from
its offset (see generated_bytes), with an ETag, Accept-Ranges and single byte
ranges answered with 206; /slow/gen/<size>.bin does the same at 2 MB/s per
connection. No file of gigabytes is ever written, and a test compares a copy
with the same generator.

An uneven server: /uneven/<key>/gen/<size>.bin serves the n-th request made
under <key> (from 0) at UNEVEN_RATES[n % 5] bytes per second, one of five
connections at a tenth of the others' rate; /drop/<key>/gen/<size>.bin does
the same and closes the sixth request (the first after five segments, the
first of them over the probe's answer) after DROP_AFTER bytes.
/burst/<key>/gen/<size>.bin sends each
request a second's worth at once and then holds it to 2 MB/s, as nginx's
limit_rate does; /paced/<key>/gen/<size>.bin holds each request to 2 MB/s
from its first byte. /count/<key> answers how many requests were made under
<key>.

    generated-server.py PORT            serves on 127.0.0.1:PORT
    generated-server.py --sha256 SIZE   prints the SHA-256 of a whole file
"""
import hashlib
import http.server
import re
import sys
import threading
import time

BLOCK = 1 << 20
STEP = 7919  # odd: every 1 MiB block of a file below 2^40 bytes has its own rotation


def base_block():
    """1 MiB from a 64-bit xorshift generator seeded with a fixed number."""
    state = 0x9E3779B97F4A7C15
    words = []
    mask = (1 << 64) - 1
    for _ in range(BLOCK // 8):
        state ^= (state << 13) & mask
        state ^= state >> 7
        state ^= (state << 17) & mask
        words.append(state)
    return b"".join(w.to_bytes(8, "little") for w in words)


BASE = base_block()
TWICE = memoryview(BASE + BASE)


def generated_bytes(first, end):
    """The bytes at offsets first..end-1, as pieces of at most 1 MiB: block
    n = offset // 1 MiB is the base block rotated left by n * 7919 bytes."""
    offset = first
    while offset < end:
        block, within = divmod(offset, BLOCK)
        take = min(BLOCK - within, end - offset)
        start = (within + block * STEP) % BLOCK
        yield TWICE[start:start + take]
        offset += take


UNEVEN_RATES = [6e6, 6e6, 6e6, 6e5, 6e6]
DROPPED_REQUEST = 5
DROP_AFTER = 256 * 1024
COUNTS = {}
COUNTS_LOCK = threading.Lock()


def next_request(key):
    with COUNTS_LOCK:
        number = COUNTS.get(key, 0)
        COUNTS[key] = number + 1
    return number


def paced(pieces, rate, limit, burst=0):
    """The pieces in 64 KiB writes at rate bytes per second after the first
    burst bytes, at most limit bytes."""
    sent = 0
    began = time.monotonic()
    for piece in pieces:
        for at in range(0, len(piece), 65536):
            if limit is not None and sent >= limit:
                return
            part = piece[at:at + 65536]
            yield part
            sent += len(part)
            if rate:
                ahead = began + (sent - burst) / rate - time.monotonic()
                if ahead > 0:
                    time.sleep(ahead)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    def answer(self, send_body):
        counted = re.fullmatch(r"/count/(\w+)", self.path)
        if counted:
            with COUNTS_LOCK:
                body = str(COUNTS.get(counted.group(1), 0)).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if send_body:
                self.wfile.write(body)
            return
        match = re.fullmatch(r"(/slow|/(?:uneven|drop|burst|paced)/\w+)?/gen/(\d+)\.bin", self.path)
        if not match:
            self.send_error(404)
            return
        size = int(match.group(2))
        prefix = match.group(1) or ""
        rate, limit, burst = (2e6 if prefix == "/slow" else None), None, 0
        if prefix.startswith(("/burst/", "/paced/")):
            next_request(prefix.split("/")[2])
            rate = 2e6
            burst = rate if prefix.startswith("/burst/") else 0
        if prefix.startswith(("/uneven/", "/drop/")):
            number = next_request(prefix.split("/")[2])
            rate = UNEVEN_RATES[number % len(UNEVEN_RATES)]
            if prefix.startswith("/drop/") and number == DROPPED_REQUEST:
                limit = DROP_AFTER
        first, end = 0, size
        status = 200
        asked = self.headers.get("Range")
        if asked:
            ranged = re.fullmatch(r"\s*bytes\s*=\s*(\d+)-(\d*)\s*", asked)
            if not ranged or int(ranged.group(1)) >= size:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            first = int(ranged.group(1))
            if ranged.group(2):
                end = min(size, int(ranged.group(2)) + 1)
            status = 206
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(end - first))
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("ETag", '"gen-%d"' % size)
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, end - 1, size))
        self.end_headers()
        if not send_body:
            return
        try:
            pieces = generated_bytes(first, end)
            for piece in paced(pieces, rate, limit, burst) if rate or limit else pieces:
                self.wfile.write(piece)
            if limit is not None:
                self.close_connection = True
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


def main():
    if sys.argv[1] == "--sha256":
        digest = hashlib.sha256()
        for piece in generated_bytes(0, int(sys.argv[2])):
            digest.update(piece)
        print(digest.hexdigest())
        return
    server = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler)
    server.daemon_threads = True
    server.serve_forever()


if __name__ == "__main__":
    main()
