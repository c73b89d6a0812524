// The background mode's measurement: while it is on, a thread of its own
// times a TCP connection's set-up to the server of the latest download (or
// its proxy) every kYieldSampleMs, hands each round trip to the yield policy
// (transfer/YieldPolicy.h) and sets the speed gate's yield rate from it. The
// set-up's answer waits in the same queues as the downloads' bytes, so its
// time tells the queueing delay they add. Each probe ends with a reset,
// before any request: the server sees a connection and nothing else.
// Where no round trip can be measured (no server yet, a connection refused,
// no sockets), the gate has no yield rate: the downloads go at the cap
// alone, never on a guess.
#pragma once

// Starts or stops the measuring thread. Stopping never waits for it: it
// ends at its next look (at most kYieldSampleMs, or a connection's
// time-out), holding a reference to the plug-in's module until then.
void SetYielding(bool on);

// The server a download that starts now fetches from: url's host and port,
// or the proxy ("host:port") when there is one.
void NoteYieldServer(const char *url, const char *proxy);
