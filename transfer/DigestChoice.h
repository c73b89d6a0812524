// Which digest a task's file is checked against, and what an answer's digest
// says of the file, as pure decisions: no task, no request.
#pragma once

#include "transfer/DigestHeader.h"

// Who named the digest a task's file is checked against.
enum DigestSource : LONG {
    DigestFromNobody = 0,
    DigestFromHost = 1,    // the fragment of the URL the host gave
    DigestFromServer = 2   // the first answer of the version the offsets are of
};

struct HeldDigest {
    FileDigest digest;
    LONG source;  // DigestSource
};

// Whether the digest a probe's answer gives (DigestNone: none) is of
// another file than the one the task's bytes are of: a server's digest kept
// from an earlier answer that the server now contradicts. The host's own is
// no word of the server's, and a digest of another algorithm cannot be
// compared.
bool ProbeTellsOtherFile(const HeldDigest &held, const FileDigest &said);

// What the task checks its file against once a probe's answer is in: the
// host's digest always; else what the answer says; else, for the version the
// task holds bytes of (sameVersion), what an earlier answer of it said.
HeldDigest ChooseDigest(const HeldDigest &held, const FileDigest &said, bool sameVersion);

// Whether a later answer of the same download (a range's) is of another file
// than the first answer of its version: the two name different digests of
// one algorithm, or the later one names two of its own. first is what the
// first answer said (DigestNone: nothing, and nothing to hold the others to).
bool AnswerTellsOtherFile(const FileDigest &first, DigestFinding finding, const FileDigest &said);
