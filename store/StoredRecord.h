// A resume record as one section FILE<n> of the settings file holds it. The
// engine copies one out of a task under the task's lock to save it, and a
// load hands them to the engine to restore; the file's keys are named here
// beside the fields they hold.
#pragma once

#include <windows.h>

#include "store/PieceRanges.h"
#include "util/TextSize.h"

// A download runs over at most this many byte ranges, each with an offset key.
const int kMaxSegments = 5;
// A record keeps at most this many pieces beyond the offsets, all segments
// together: as many as a run of a task takes over.
const int kMaxStoredPieces = 256;

struct StoredRecord {
    int section;                      // n of FILE<n>; below 1 the task has no record
    LONG connectionCount;             // MULTHREAD: 1..kMaxSegments
    ULONGLONG offsets[kMaxSegments];  // OFFSET0..: bytes of each segment on the disk
    char url[kTextSize];              // URLNAME
    char tempPath[kTextSize];         // DESTNAME: the temporary file, destination + ".hhh"
    char proxy[kTextSize];            // PROXY
    char validator[kTextSize];        // VALIDATOR: ETag or Last-Modified the offsets belong to
    // DIGEST: what the file must hash to, "sha256:HEX" or "sha512:HEX" ("":
    // nothing to check), and DIGESTFROM who said so, "host" or "server".
    // DIGESTOF names the download they belong to, as PIECESOF does, so that
    // a record a version that knows no digest rewrote for another download
    // drops them.
    char digest[kTextSize];
    char digestFrom[kTextSize];
    // PIECES0..: the bytes on the disk beyond each segment's offset, by
    // segment and ascending; PIECESOF names the rest of the record they
    // belong to (see ResumeRecords.cpp), so that a record rewritten by a
    // version that knows no pieces drops them.
    int pieceCount;
    StoredPiece pieces[kMaxStoredPieces];
};

// The length of segment index of a file of totalSize bytes cut into count
// segments, as every run cuts it: equal parts, the last one taking the rest.
// The stored offsets count bytes of these segments.
inline ULONGLONG SegmentLengthOf(ULONGLONG totalSize, int count, int index)
{
    ULONGLONG size = totalSize / count;
    return index == count - 1 ? totalSize - (count - 1) * size : size;
}
