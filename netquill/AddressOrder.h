// In which order, and how soon one after another, the addresses of a name
// are tried (RFC 8305, "Happy Eyeballs"): the resolver's first address
// first, then the families taking turns, so that a family whose route goes
// nowhere costs one short delay, not the connect time-out.
#pragma once

#include <windows.h>

// How long an attempt has alone before the next address is tried beside it
// (RFC 8305's recommended 250 ms): long enough for a healthy server to
// answer, short enough that a dead address is hardly noticed.
const DWORD kNextAttemptDelayMs = 250;

// Addresses tried at most: one name rarely has more, and each attempt holds
// a socket and an event until the race ends.
const int kMaxAddressAttempts = 16;

// Writes to order the positions of count addresses, of the given families,
// in the order to try them: the first address's family first, then the
// other families' addresses taking turns with it, each family in the
// resolver's order. Returns how many positions were written (at most
// kMaxAddressAttempts).
int InterleaveFamilies(const int *families, int count, int *order);
