#include "ui/FailureText.h"

#include <stdio.h>

#include "components/WebRequest.h"
#include "transfer/TaskSlotTable.h"
#include "util/TextSize.h"

int FailureStringId(const TaskFailure &failure)
{
    switch (failure.kind) {
    case FailureNone: return 0;
    case FailureNoSize: return StringNoFileSize;
    case FailureDigest: return StringDigestMismatch;
    case FailureFile:
        return failure.systemError == ERROR_DISK_FULL || failure.systemError == ERROR_HANDLE_DISK_FULL
                   ? StringDiskFull
                   : StringCannotWriteFile;
    case FailureRequest: break;
    }
    if (failure.httpStatus && failure.error == WebRequestHttpStatus)
        return StringServerAnswered;
    switch (failure.error) {
    case WebRequestBadUrl:
    case WebRequestBadHeader: return StringUnusableUrl;
    case WebRequestResolveFailed: return StringHostNotFound;
    case WebRequestConnectFailed: return StringCannotConnect;
    case WebRequestTimedOut: return StringServerSilent;
    case WebRequestBadResponse: return StringNotHttp;
    case WebRequestTooManyRedirects: return StringTooManyRedirects;
    case WebRequestConnectionLost: return StringConnectionLost;
    case WebRequestTlsFailed: return StringCertificateRefused;
    case WebRequestNoResources: return StringOutOfMemory;
    case WebRequestRangeRefused:
    case WebRequestFileChanged: return StringFileChanged;
    case WebRequestProxyRefused: return StringProxyPassword;
    case WebRequestInsecureRedirect: return StringInsecureRedirect;
    default: return StringFailedWithCode;
    }
}

void StoppedReason(int slot, char *out, int outSize)
{
    out[0] = '\0';
    DownloadTask *task = slot >= 0 && slot < kSlotCount ? gSlotTable.slots[slot].task : nullptr;
    if (task && LoadWord(task->state) == TaskIdle)
        FailureText(FailureOf(*task), out, outSize);
}

void FailureText(const TaskFailure &failure, char *out, int outSize)
{
    out[0] = '\0';
    int id = FailureStringId(failure);
    if (!id)
        return;
    char format[kTextSize];
    LoadResourceText(id, format, sizeof(format));
    if (id == StringServerAnswered)
        snprintf(out, outSize, format, static_cast<int>(failure.httpStatus), failure.phrase);
    else if (id == StringCannotWriteFile)
        snprintf(out, outSize, format, static_cast<unsigned long>(failure.systemError));
    else if (id == StringFailedWithCode)
        snprintf(out, outSize, format, static_cast<int>(failure.error));
    else
        snprintf(out, outSize, "%s", format);
}
