#!/usr/bin/env python3
"""An https server that ends its answers the way an attacker who cuts the
connection would, or cleanly, with the valid test certificate:
    cutting-tls-server.py PORT CERT KEY DOCROOT
GET /<framing>/<name> answers with docroot/<name>:
    /close-notify/  no length, the whole file, then close notify and close
    /cut/           no length, the whole file, then a close without close notify
    /cut-length/    Content-Length of the file, half of it, then the same close
    /cut-chunked/   chunked, half of the file in chunks, then the same close
"""
import os
import socket
import ssl
import sys
import threading


def read_request(connection):
    request = b""
    while b"\r\n\r\n" not in request and len(request) < 65536:
        data = connection.recv(4096)
        if not data:
            return None
        request += data
    return request


def answer(connection, framing, body):
    if framing == "cut-length":
        connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body[: len(body) // 2])
    elif framing == "cut-chunked":
        half = body[: len(body) // 2]
        chunks = b"".join(b"%x\r\n" % len(half[i : i + 4096]) + half[i : i + 4096] + b"\r\n"
                          for i in range(0, len(half), 4096))
        connection.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks)
    else:
        connection.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body)


def serve(raw, context, root):
    try:
        connection = context.wrap_socket(raw, server_side=True)
    except (OSError, ssl.SSLError):
        raw.close()
        return
    try:
        request = read_request(connection)
        if request is None:
            return
        target = request.split(b" ", 2)[1].decode("ascii", "replace")
        _, framing, name = target.split("/", 2) if target.count("/") >= 2 else ("", "", "")
        path = os.path.join(root, os.path.basename(name))
        if framing not in ("close-notify", "cut", "cut-length", "cut-chunked") or not os.path.isfile(path):
            connection.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
            connection.unwrap()
            return
        with open(path, "rb") as file:
            answer(connection, framing, file.read())
        if framing == "close-notify":
            # unwrap sends the close notify, then waits for the client's or for its close.
            connection.unwrap()
    except (OSError, ssl.SSLError):
        pass
    finally:
        # Without unwrap before it, close sends no close notify.
        connection.close()


def main():
    port, cert, key, root = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(64)
    while True:
        raw, _ = listener.accept()
        raw.settimeout(30)
        threading.Thread(target=serve, args=(raw, context, root), daemon=True).start()


main()
