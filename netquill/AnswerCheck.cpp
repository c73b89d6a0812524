#include "netquill/AnswerCheck.h"

#include "components/WebRequest.h"
#include "netquill/HttpResponseParser.h"
#include "netquill/RequestText.h"

namespace {

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

AnswerVerdict JudgeAnswer(const ResponseHead &head, const ByteRange &asked, BodyWindow *windowOut, int *errorOut)
{
    *errorOut = WebRequestHttpStatus;
    if (IsRedirect(head.status))
        return head.location ? AnswerRedirected : AnswerRefused;
    if (head.status < 200 || head.status > 299)
        return AnswerRefused;

    if (!asked.present) {
        windowOut->first = 0;
        windowOut->endKnown = head.body == BodyLength || head.body == BodyNone;
        windowOut->end = head.body == BodyLength ? head.contentLength : 0;
        *errorOut = WebRequestOk;
        return AnswerAccepted;
    }

    // A 200 to a range request would start the caller's range with byte 0 of the file.
    if (head.status != 206 || !head.hasContentRange)
        return AnswerRefused;
    const ContentRange &got = head.contentRange;
    if (got.first != asked.first)
        return AnswerRefused;
    // Another total means the file changed on the server since the caller sized its copy.
    if (asked.totalKnown && got.totalKnown && asked.total != got.total)
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
