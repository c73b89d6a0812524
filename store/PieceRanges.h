// The bytes of a download beyond its segments' offsets that are on the disk
// too, as a resume record keeps them: one key PIECES<n> per segment, whose
// value lists ranges of file offsets as "first-last" (both ends included, as
// in HTTP's byte ranges), separated by commas, ascending, none overlapping
// another. Pure text: no file, no task.
#pragma once

#include <windows.h>

#include <string>

// A range of a segment's fixed range whose bytes are on the disk: [first, end).
struct StoredPiece {
    LONG segment;
    ULONGLONG first;
    ULONGLONG end;
};

// The value of PIECES<n> for the given pieces, in their order (the caller
// keeps them ascending and apart); empty for none.
std::string PieceRangesText(const StoredPiece *pieces, int count);

// Reads the value of PIECES<segment> into out, which has room for capacity
// pieces. Returns how many it read, or -1 when the value is refused as a
// whole: anything but well-formed ranges, a range whose last byte comes
// before its first, ranges out of order or overlapping, a number past 64
// bits, more ranges than capacity. Blanks around the numbers are allowed;
// an empty value holds none.
int ReadPieceRanges(const char *text, LONG segment, StoredPiece *out, int capacity);
