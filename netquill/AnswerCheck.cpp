#include "netquill/AnswerCheck.h"

#include "components/WebRequest.h"
#include "netquill/HttpResponseParser.h"
#include "netquill/RequestText.h"

namespace {

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// An If-Range value is an entity tag ("..." or W/"...") or an HTTP date, and
// is compared with the answer's field of the same kind.
bool MatchesIfRange(const ResponseHead &head, const FieldValue &ifRange)
{
    bool entityTag = ifRange.text[0] == '"' || (ifRange.length >= 2 && ifRange.text[0] == 'W' && ifRange.text[1] == '/');
    return SameFieldValue(entityTag ? head.etag : head.lastModified, ifRange);
}

bool MatchesWeakTag(const ResponseHead &head, const ExpectedVersion &expected)
{
    return !expected.weakTag.text || WeakEntityTagsMatch(head.etag, expected.weakTag);
}

bool SameVersion(const ResponseHead &head, const ExpectedVersion &expected)
{
    if (expected.ifRange.text && !MatchesIfRange(head, expected.ifRange))
        return false;
    if (!MatchesWeakTag(head, expected))
        return false;
    return !expected.sameAsFirst ||
           (SameFieldValue(head.etag, expected.firstEtag) && SameFieldValue(head.lastModified, expected.firstLastModified));
}

// A 206 to a request without a range: a server that answers with a part of
// the resource would have the caller take that part for its start. Only the
// whole resource as one range, its body exactly that long, is the answer asked for.
bool IsWholeAsRange(const ResponseHead &head)
{
    const ContentRange &got = head.contentRange;
    return head.hasContentRange && got.first == 0 && got.totalKnown && got.last + 1 == got.total &&
           head.body == BodyLength && head.contentLength == got.total;
}

}  // namespace

AnswerVerdict JudgeAnswer(const ResponseHead &head, const ByteRange &asked, const ExpectedVersion &expected,
                          BodyWindow *windowOut, int *errorOut)
{
    *errorOut = WebRequestHttpStatus;
    if (IsRedirect(head.status))
        return head.location ? AnswerRedirected : AnswerRefused;
    if (head.status < 200 || head.status > 299)
        return AnswerRefused;

    if (!asked.present) {
        if (head.status == 206 && !IsWholeAsRange(head))
            return AnswerRefused;
        windowOut->first = 0;
        windowOut->endKnown = head.body == BodyLength || head.body == BodyNone;
        windowOut->end = head.body == BodyLength ? head.contentLength : 0;
        *errorOut = WebRequestOk;
        return AnswerAccepted;
    }

    // A 200 to a range request would start the caller's range with byte 0 of
    // the file. Under If-Range it is how a server says that its file changed.
    *errorOut = WebRequestRangeRefused;
    if (head.status != 206 || !head.hasContentRange) {
        if (head.status != 206 && (expected.ifRange.text || !MatchesWeakTag(head, expected)))
            *errorOut = WebRequestFileChanged;
        return AnswerRefused;
    }
    const ContentRange &got = head.contentRange;
    if (got.first != asked.first)
        return AnswerRefused;
    // Another total or validator means the file changed on the server since
    // the caller's first bytes of it.
    *errorOut = WebRequestFileChanged;
    if (asked.totalKnown && got.totalKnown && asked.total != got.total)
        return AnswerRefused;
    if (!SameVersion(head, expected))
        return AnswerRefused;

    windowOut->first = got.first;
    windowOut->endKnown = true;
    if (asked.lastKnown)
        windowOut->end = asked.last + 1;
    else
        windowOut->end = got.totalKnown ? got.total : got.last + 1;
    if (got.totalKnown && got.total < windowOut->end)
        windowOut->end = got.total;
    *errorOut = WebRequestOk;
    return AnswerAccepted;
}
