// What a file's bytes must hash to, as a server's answer or a host's URL says.
#pragma once

#include <windows.h>

enum DigestAlgorithm : LONG { DigestNone = 0, DigestSha256 = 1, DigestSha512 = 2 };
const int kDigestMaxBytes = 64;

struct FileDigest {
    LONG algorithm;               // DigestAlgorithm
    BYTE bytes[kDigestMaxBytes];  // the first DigestLength(algorithm) count
};

// 32 for sha-256, 64 for sha-512, 0 otherwise.
int DigestLength(LONG algorithm);
// Same algorithm and same bytes (two DigestNone are equal).
bool SameDigest(const FileDigest &a, const FileDigest &b);

enum DigestFinding { DigestAbsent, DigestFound, DigestConflict };

// The digest of the whole representation that an answer's header names, in
// Repr-Digest (RFC 9530: "sha-256" or "sha-512" keys of a dictionary, values
// ":BASE64:") or in the older Digest (RFC 3230: "SHA-256=BASE64"). A member
// that is unknown or malformed costs only itself: the download goes on
// unchecked rather than fail on a server's typo. Two valid values of one
// algorithm that differ are a conflict, since the server then says two things
// about the same bytes. Found prefers sha-256; *out is written only then.
DigestFinding ParseAnswerDigest(const char *header, FileDigest *out);

// "#sha256=HEX" or "#sha512=HEX" at the end of a URL, as package installers
// name a file's digest. Such a fragment is cut off the URL, valid or not:
// it is the host's note to us, never the server's business. True, and *out
// set, only for a valid value; any other fragment stays, and false.
bool TakeUrlDigest(char *url, FileDigest *out);

// A digest as the settings file keeps it: "sha256:HEX" or "sha512:HEX" in
// lowercase hex, "" for DigestNone. An outSize too small gives "".
// DigestFromText gives false and DigestNone for anything malformed.
const int kDigestTextSize = 8 + 2 * kDigestMaxBytes + 1;
void DigestToText(const FileDigest &digest, char *out, int outSize);
bool DigestFromText(const char *text, FileDigest *out);
