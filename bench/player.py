#!/usr/bin/env python3
"""A media player's stream and a prober over the same line, for the
bottleneck benchmark: player.py URL PROBE_URL SECONDS [RATE].

The stream reads URL at RATE bytes per second (default 3 MB/s) in the way
curl's --limit-rate does, pacing its reads, so the server sees the window
close; the prober asks PROBE_URL (a tiny file) on a connection of its own
every 100 ms and times each answer. Prints one JSON object: the stream's
bytes in every whole second, and every round trip: when it began (seconds
from the start) and how long it took (milliseconds).
"""
import json
import socket
import sys
import threading
import time
from urllib.parse import urlsplit


def connect(url):
    parts = urlsplit(url)
    sock = socket.create_connection((parts.hostname, parts.port or 80))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return sock, parts.path


def read_header(sock, rest=b""):
    while b"\r\n\r\n" not in rest:
        chunk = sock.recv(65536)
        if not chunk:
            raise ConnectionError("closed before the header")
        rest += chunk
    header, body = rest.split(b"\r\n\r\n", 1)
    length = 0
    for line in header.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":")[1])
    return length, body


def stream(url, rate, seconds, per_second, start):
    sock, path = connect(url)
    sock.sendall(f"GET {path} HTTP/1.1\r\nHost: x\r\n\r\n".encode())
    _, body = read_header(sock)
    got = len(body)
    end = start + seconds
    while True:
        now = time.monotonic()
        if now >= end:
            break
        # Never ahead of the rate: wait until the bytes so far are due.
        due = start + got / rate
        if due > now:
            time.sleep(min(due - now, end - now))
            continue
        chunk = sock.recv(16384)
        if not chunk:
            break
        got += len(chunk)
        second = int(time.monotonic() - start)
        if second < seconds:
            per_second[second] += len(chunk)
    sock.close()


def probe(url, seconds, rtts, start):
    sock, path = connect(url)
    request = f"GET {path} HTTP/1.1\r\nHost: x\r\n\r\n".encode()
    end = start + seconds
    rest = b""
    while time.monotonic() < end:
        sent = time.monotonic()
        sock.sendall(request)
        length, body = read_header(sock, rest)
        while len(body) < length:
            body += sock.recv(65536)
        rest = body[length:]
        rtts.append([round(sent - start, 2), round((time.monotonic() - sent) * 1000, 2)])
        time.sleep(max(0.0, 0.1 - (time.monotonic() - sent)))
    sock.close()


def main():
    url, probe_url, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rate = float(sys.argv[4]) if len(sys.argv) > 4 else 3e6
    per_second = [0] * seconds
    rtts = []
    start = time.monotonic()
    threads = [threading.Thread(target=stream, args=(url, rate, seconds, per_second, start)),
               threading.Thread(target=probe, args=(probe_url, seconds, rtts, start))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print(json.dumps({"per_second": per_second, "rtts": rtts}))


if __name__ == "__main__":
    main()
