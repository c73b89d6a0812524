// How far a file's bytes run from byte 0 without a gap: a whole-file digest
// can be hashed only in order, so the hash follows this frontier while the
// ranges fill in (transfer/DigestCheck.h). Pure: no task, no file.
#pragma once

#include "store/PieceRanges.h"

// The end of the bytes from byte 0 that the spans [first, end) cover without
// a gap, the spans in any order, touching or overlapping; 0 when none starts
// at byte 0. Sorts the spans.
ULONGLONG GaplessEnd(StoredPiece *spans, int count);
