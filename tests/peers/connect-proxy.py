#!/usr/bin/env python3
"""A tiny HTTP proxy that only tunnels: CONNECT host:port, then bytes both
ways. Serves the tests of https through a proxy; it accepts loopback
targets only.
    connect-proxy.py PORT
"""
import socket
import sys
import threading


def relay(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    finally:
        for s in (source, target):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def serve(client):
    header = b""
    while b"\r\n\r\n" not in header and len(header) < 65536:
        data = client.recv(4096)
        if not data:
            client.close()
            return
        header += data
    parts = header.split(b"\r\n", 1)[0].split()
    host, _, port = parts[1].decode().rpartition(":") if len(parts) == 3 else ("", "", "")
    if parts[:1] != [b"CONNECT"] or host not in ("127.0.0.1", "localhost"):
        client.sendall(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n")
        client.close()
        return
    try:
        upstream = socket.create_connection(("127.0.0.1", int(port)))
    except OSError:
        client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
        client.close()
        return
    client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
    threading.Thread(target=relay, args=(upstream, client), daemon=True).start()
    relay(client, upstream)


def main():
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", int(sys.argv[1])))
    listener.listen(64)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client,), daemon=True).start()


main()
