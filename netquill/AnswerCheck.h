// Whether an answer is the one asked for, and which bytes of the resource its
// body carries. A range request takes nothing but 206 with the range asked
// for, so that no wrong byte ever reaches the caller's file.
#pragma once

struct ByteRange;
struct ResponseHead;

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

// `asked` is the range that went out (not present for a whole-resource GET).
// For an accepted answer *windowOut is filled; for a refused one *errorOut
// holds the WebRequestError.
AnswerVerdict JudgeAnswer(const ResponseHead &head, const ByteRange &asked, BodyWindow *windowOut, int *errorOut);
