// How large a receive buffer a connection asks the system for.
//
// A fixed SO_RCVBUF switches off the receive window's auto-tuning: the
// window then caps a connection at buffer / round trip, 4 MiB over a 100 ms
// path being about 40 MB/s, below what a fast line gives one connection.
// So the buffer is set only where no tuning would grow it far enough:
// Windows before Vista has none, and Wine's sockets are the host's Linux
// sockets, whose tuning on a fast local link grew the buffer to only about
// 200 KiB while the sender waited for the window half the time (measured
// with and without under Wine: see the README's benchmark).
#pragma once

struct SocketPlatform {
    bool wine;          // Wine, whatever Windows version it reports
    bool vistaOrLater;  // the receive window tunes itself
};

// Bytes for SO_RCVBUF; 0 leaves the buffer to the system.
int FixedReceiveBuffer(const SocketPlatform &platform);
