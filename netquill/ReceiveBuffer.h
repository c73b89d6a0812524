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

#include <stddef.h>

struct SocketPlatform {
    bool wine;          // Wine, whatever Windows version it reports
    bool vistaOrLater;  // the receive window tunes itself
};

// Enough for one connection at 80 MB/s over 50 ms.
const int kUntunedReceiveBuffer = 4 * 1024 * 1024;

// Bytes for SO_RCVBUF; 0 leaves the buffer to the system.
int FixedReceiveBuffer(const SocketPlatform &platform);

// A reader that paces itself (a speed cap, a download that yields to other
// traffic) reads no faster than its pace, and whatever the sender has sent
// meanwhile waits in the receive buffer, and before it in the line's queue,
// where it holds up every other stream on the line. Its buffer is kept to
// this long at its pace, so that the sender slows as soon as the reader
// does; never below the least, which a connection needs to run at all.
// The buffer is the connection's window, which must hold a round trip's
// worth at the pace, or a distant server could not keep up with it: 400 ms
// covers the round trips of nearly every line. It costs other traffic on a
// shared bottleneck, though: the receiver opens the window in steps that
// grow with the buffer, each sent at line rate (60 ms left a player whole
// beside a capped download where 400 ms cost it a sixth of its worst
// second). A buffer that follows each connection's round trip would have
// both. When the reader no longer paces itself, the connection gets back
// the buffer it began with, or, where the system tuned it (it tunes it no
// more once set), kUntunedReceiveBuffer.
const unsigned kPacedBufferMs = 400;
// How long connections that start after a paced reader start paced too.
const unsigned kPacedStartMemoryMs = 5000;
// Where the buffer is fixed (Wine), a connection starts with no more than
// this, and gets the whole fixed buffer at its reader's first piece unless
// the reader paces itself: the first connections of a capped or yielding
// download are then not sent megabytes before their reader's pace is known.
// A system that tunes the buffer grows it as the reader reads anyway.
const int kFirstReceiveBuffer = 256 * 1024;
const int kPacedBufferLeast = 64 * 1024;

// The receive buffer for a reader that takes readLimit bytes per
// readPaceMs (ReadLimitAtReaderPace), given the buffer asked for at the
// start (0: the system's) and the buffer's current setting (0: never
// changed); the current setting while the change would be small (less than
// half or twice it), so the system is not asked at every read.
int BufferAtReaderPace(size_t readLimit, unsigned readPaceMs, size_t capacity, int fixedBuffer, int current);
