// Whether an answer is the one asked for, and which bytes of the resource its
// body carries. A range request takes nothing but 206 with the range asked
// for, of the version the caller's bytes are of, so that no wrong byte ever
// reaches the caller's file.
#pragma once

#include "netquill/HttpResponseParser.h"

struct ByteRange;

enum AnswerVerdict {
    AnswerAccepted,
    AnswerRedirected,  // follow head.location
    AnswerRefused,
};

// The bytes of the resource the caller still wants from this answer:
// [first, end), end open when the body's length is not known in advance.
struct BodyWindow {
    unsigned long long first;
    bool endKnown;
    unsigned long long end;
};

// What an answer to a range request must show to be of the same version of
// the resource as the bytes the caller already has. Servers may ignore
// If-Range, so its value is compared with the answer's own validator too.
struct ExpectedVersion {
    FieldValue ifRange;  // the If-Range value the request carried; text null for none
    // A weak entity tag the caller gave as If-Range, which did not go out (a
    // server must not match one): the answer's ETag must match it by the weak
    // comparison. Text null for none.
    FieldValue weakTag;
    bool sameAsFirst;    // a reconnect: the validators of the request's first answer must recur
    FieldValue firstEtag;
    FieldValue firstLastModified;
};

// `asked` is the range that went out (not present for a whole-resource GET).
// A whole-resource GET takes a 206 only when its one range is the whole
// resource, body and all.
// For an accepted answer *windowOut is filled; for a refused one *errorOut
// holds the WebRequestError.
AnswerVerdict JudgeAnswer(const ResponseHead &head, const ByteRange &asked, const ExpectedVersion &expected,
                          BodyWindow *windowOut, int *errorOut);
