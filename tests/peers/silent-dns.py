#!/usr/bin/env python3
"""A DNS server that takes every query and never answers: a resolver
pointed at it waits until its own time-out, as behind a broken network.
    silent-dns.py ADDRESS     (port 53 of ADDRESS, UDP and TCP)
Prints "ready" once it listens."""
import socket
import sys
import threading


def hold_tcp(listener):
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)


def main():
    address = sys.argv[1]
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind((address, 53))
    tcp = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    tcp.bind((address, 53))
    tcp.listen(16)
    threading.Thread(target=hold_tcp, args=(tcp,), daemon=True).start()
    print("ready", flush=True)
    while True:
        udp.recvfrom(4096)


main()
