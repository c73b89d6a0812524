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
<key>, /sent/<key> how many body bytes their answers sent, /whole/<key> how
many of them were answered with the whole file (200), /ranged/<key> how many
body bytes the range answers (206) sent.

Shapes the re-splitting policy was not tuned on: /far/<key>/gen/<size>.bin
waits FAR_DELAY before every answer's header, as a distant server does, and
holds each request to FAR_RATE from its first byte. /drift/<key>/gen/<size>.bin
serves each request at a rate that wanders between DRIFT_LOWEST and
DRIFT_HIGHEST, changing every second, on a course drawn from the first byte it
asks for: a stream from byte 0 meets the same course in every client and run,
and so does a range from the same offset. /shared/<key>/gen/<size>.bin sends
every request under <key> down one line of SHARED_RATE: each write waits its
turn, so more connections share the rate rather than add to it.

Digests: /digest/<kind>/... before any of the paths above names the whole
file's digest in every answer, 200 and 206 alike: "sha256" and "sha512" in
Repr-Digest, "legacy" in the older Digest field, "wrong" a Repr-Digest of
another file, "two" a right Repr-Digest beside a wrong Digest. "changing"
is a file replaced after its first answer: every later answer is of a new
version, the generator's bytes from offset 1 on, with that version's digest
and the same ETag, which only the digest tells apart. Any kind may be
followed by -<key>: requests and bytes are then counted under digest<key>
(/count/digest<key>), and "changing" counts its answers there.

    generated-server.py PORT            serves on 127.0.0.1:PORT
    generated-server.py --sha256 SIZE   prints the SHA-256 of a whole file
"""
import base64
import bisect
import hashlib
import http.server
import random
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
SENT = {}
WHOLE = {}
RANGED = {}
COUNTS_LOCK = threading.Lock()


def next_request(key):
    with COUNTS_LOCK:
        number = COUNTS.get(key, 0)
        COUNTS[key] = number + 1
    return number


FAR_DELAY = 0.08
FAR_RATE = 1.5e6
DRIFT_LOWEST = 5e5
DRIFT_HIGHEST = 6e6
SHARED_RATE = 8e6
LINES = {}


def steady(rate, burst=0):
    """When sent bytes are due: at rate after the first burst bytes."""
    return lambda sent: (sent - burst) / rate


def drifting(first):
    """When sent bytes are due for an answer from byte first: its rate starts
    anywhere between DRIFT_LOWEST and DRIFT_HIGHEST and each second is
    multiplied by a factor between 1/2 and 2, kept between them; every draw
    follows from first alone."""
    draw = random.Random(first)
    rate = draw.uniform(DRIFT_LOWEST, DRIFT_HIGHEST)
    ends = []  # the bytes due by the end of each second

    def due(sent):
        nonlocal rate
        while not ends or ends[-1] < sent:
            ends.append((ends[-1] if ends else 0) + rate)
            rate = min(DRIFT_HIGHEST, max(DRIFT_LOWEST, rate * 2 ** draw.uniform(-1, 1)))
        second = bisect.bisect_left(ends, sent)
        before = ends[second - 1] if second else 0
        return second + (sent - before) / (ends[second] - before)
    return due


class Line:
    """One link that the requests of a key share: bytes leave one write after
    another at rate, and time the line stands idle is not saved up."""

    def __init__(self, rate):
        self.rate = rate
        self.lock = threading.Lock()
        self.free = 0.0

    def wait_turn(self, count):
        with self.lock:
            start = max(time.monotonic(), self.free)
            self.free = start + count / self.rate
        ahead = start - time.monotonic()
        if ahead > 0:
            time.sleep(ahead)


def line_of(key):
    with COUNTS_LOCK:
        return LINES.setdefault(key, Line(SHARED_RATE))


def paced(pieces, due, limit, line):
    """The pieces in 64 KiB writes, at most limit bytes; each write first waits
    its turn on line, and the next one until due(sent) seconds after the first."""
    sent = 0
    began = time.monotonic()
    for piece in pieces:
        for at in range(0, len(piece), 65536):
            if limit is not None and sent >= limit:
                return
            part = piece[at:at + 65536]
            if line:
                line.wait_turn(len(part))
            yield part
            sent += len(part)
            if due:
                ahead = began + due(sent) - time.monotonic()
                if ahead > 0:
                    time.sleep(ahead)


DIGESTS = {}
DIGESTS_LOCK = threading.Lock()


def whole_digest(name, size, shift=0):
    """The digest of the generator's size bytes from offset shift, computed once."""
    with DIGESTS_LOCK:
        if (name, size, shift) not in DIGESTS:
            digest = hashlib.new(name)
            for piece in generated_bytes(shift, shift + size):
                digest.update(piece)
            DIGESTS[(name, size, shift)] = base64.b64encode(digest.digest()).decode()
        return DIGESTS[(name, size, shift)]


def digest_fields(kind, number, size):
    """The header fields an answer of the generated file of size bytes
    carries for the digest route's kind, the number-th under its key, as
    (name, value) pairs."""
    if not kind:
        return []
    if kind == "changing":
        return [("Repr-Digest", "sha-256=:%s:" % whole_digest("sha256", size, 0 if number == 0 else 1))]
    right = whole_digest("sha512" if kind == "sha512" else "sha256", size)
    return {
        "sha256": [("Repr-Digest", "sha-256=:%s:" % right)],
        "sha512": [("Repr-Digest", "sha-512=:%s:" % right)],
        "legacy": [("Digest", "SHA-256=%s" % right)],
        "wrong": [("Repr-Digest", "sha-256=:%s:" % whole_digest("sha256", size + 1))],
        "two": [("Repr-Digest", "sha-256=:%s:" % right), ("Digest", "SHA-256=%s" % whole_digest("sha256", size + 1))],
    }[kind]


def pacing(prefix, first):
    """The due, limit and line for paced() of an answer from byte first; a far
    server's wait comes here, before any header."""
    if prefix == "/slow":
        return steady(2e6), None, None
    if not prefix:
        return None, None, None
    kind, key = prefix.split("/")[1:3]
    number = next_request(key)
    if kind in ("burst", "paced"):
        return steady(2e6, burst=2e6 if kind == "burst" else 0), None, None
    if kind in ("uneven", "drop"):
        limit = DROP_AFTER if kind == "drop" and number == DROPPED_REQUEST else None
        return steady(UNEVEN_RATES[number % len(UNEVEN_RATES)]), limit, None
    if kind == "far":
        time.sleep(FAR_DELAY)
        return steady(FAR_RATE), None, None
    if kind == "drift":
        return drifting(first), None, None
    return None, None, line_of(key)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    def answer(self, send_body):
        counted = re.fullmatch(r"/(count|sent|whole|ranged)/(\w+)", self.path)
        if counted:
            table = {"count": COUNTS, "sent": SENT, "whole": WHOLE, "ranged": RANGED}[counted.group(1)]
            with COUNTS_LOCK:
                body = str(table.get(counted.group(2), 0)).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if send_body:
                self.wfile.write(body)
            return
        match = re.fullmatch(r"(?:/digest/(sha256|sha512|legacy|wrong|two|changing)(?:-(\w+))?)?"
                             r"(/slow|/(?:uneven|drop|burst|paced|far|drift|shared)/\w+)?/gen/(\d+)\.bin",
                             self.path)
        if not match:
            self.send_error(404)
            return
        kind, prefix, size = match.group(1), match.group(3), int(match.group(4))
        digest_key = "digest" + match.group(2) if match.group(2) else None
        asked = self.headers.get("Range")
        ranged = re.fullmatch(r"\s*bytes\s*=\s*(\d+)-(\d*)\s*", asked) if asked else None
        first, end = int(ranged.group(1)) if ranged else 0, size
        due, limit, line = pacing(prefix or "", first)
        status = 200
        if asked:
            if not ranged or first >= size:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if ranged.group(2):
                end = min(size, int(ranged.group(2)) + 1)
            status = 206
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(end - first))
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("ETag", '"gen-%d"' % size)
        number = next_request(digest_key) if digest_key else 0
        # The new version of a changed file: the same length, other bytes.
        shift = 1 if kind == "changing" and number > 0 else 0
        for name, value in digest_fields(kind, number, size):
            self.send_header(name, value)
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, end - 1, size))
        self.end_headers()
        if not send_body:
            return
        key = digest_key or (prefix.split("/")[2] if prefix and prefix != "/slow" else None)
        if key and status == 200:
            with COUNTS_LOCK:
                WHOLE[key] = WHOLE.get(key, 0) + 1
        try:
            pieces = generated_bytes(first + shift, end + shift)
            for piece in paced(pieces, due, limit, line) if due or limit or line else pieces:
                self.wfile.write(piece)
                if key:
                    with COUNTS_LOCK:
                        SENT[key] = SENT.get(key, 0) + len(piece)
                        if status == 206:
                            RANGED[key] = RANGED.get(key, 0) + len(piece)
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
