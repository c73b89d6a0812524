#include "transfer/DigestCheck.h"

#include <bcrypt.h>
#include <string.h>

#include <new>

#include "transfer/DownloadTask.h"
#include "transfer/HashFrontier.h"
#include "transfer/Pieces.h"
#include "transfer/TaskFailure.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskLock.h"
#include "transfer/TaskStop.h"
#include "transfer/TaskWindow.h"

namespace {

// Read back and hashed at a time: large enough that the reads cost little,
// small enough that a stop waits for no more than one block's hash.
const DWORD kHashBlock = 2 * 1024 * 1024;

bool Ok(NTSTATUS status)
{
    return status >= 0;
}

// Where the bytes from byte 0 run without a gap now: every byte a range
// counts is written, and what is written reads back from the system's cache.
ULONGLONG WrittenInOrder(DownloadTask *task)
{
    StoredPiece spans[kMaxSegments + kMaxPieces];
    int count = 0;
    {
        TaskLock lock(task);
        ForEachRange(*task, [&](TaskSegment &range) {
            const RangeExtent &extent = ExtentOf(*task, range);
            spans[count++] = StoredPiece{range.index, extent.first, extent.first + LoadWord(range.received)};
        });
    }
    return GaplessEnd(spans, count);
}

// The worker's verdict, for the window; a stop that came first owns the task.
void TellWindow(DownloadTask *task, DigestVerdict verdict)
{
    StoreWord(task->verdict, verdict);
    PostToTaskWindow(kCommandDigestVerdict, task->slotIndex);
}

}  // namespace

DigestCheck::DigestCheck(DownloadTask *task)
    : task_(task), algorithm_(nullptr), hash_(nullptr), hashed_(0), failed_(false), readError_(0)
{
    if (task->digest.algorithm == DigestNone)
        return;
    // Failing to hash at all reads as a file that cannot be read back: never
    // as a match.
    failed_ = true;
    const wchar_t *name = task->digest.algorithm == DigestSha512 ? BCRYPT_SHA512_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (!Ok(BCryptOpenAlgorithmProvider(&provider, name, nullptr, 0)))
        return;
    algorithm_ = provider;
    DWORD objectSize = 0, got = 0;
    if (!Ok(BCryptGetProperty(provider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                              sizeof(objectSize), &got, 0)))
        return;
    hashObject_.reset(new (std::nothrow) unsigned char[objectSize]);
    block_.reset(new (std::nothrow) unsigned char[kHashBlock]);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!hashObject_ || !block_ || !Ok(BCryptCreateHash(provider, &hash, hashObject_.get(), objectSize, nullptr, 0, 0)))
        return;
    hash_ = hash;
    failed_ = false;
}

DigestCheck::~DigestCheck()
{
    if (hash_)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
    if (algorithm_)
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(algorithm_), 0);
}

bool DigestCheck::HashUntil(ULONGLONG end, DWORD deadline)
{
    while (!failed_ && hashed_ < end && !StopRequested(*task_)) {
        if (deadline && static_cast<LONG>(GetTickCount() - deadline) >= 0)
            break;
        DWORD want = end - hashed_ < kHashBlock ? static_cast<DWORD>(end - hashed_) : kHashBlock;
        DWORD got = ReadAt(task_, hashed_, block_.get(), want);
        if (got != want) {
            readError_ = got == 0 ? GetLastError() : ERROR_HANDLE_EOF;
            failed_ = true;
        } else if (!Ok(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash_), block_.get(), got, 0))) {
            failed_ = true;
        } else {
            hashed_ += got;
        }
    }
    return !failed_;
}

void DigestCheck::Advance(DWORD budgetMs)
{
    if (hash_)
        HashUntil(WrittenInOrder(task_), GetTickCount() + budgetMs);
}

bool DigestCheck::Conclude(CompletionCommand command, HANDLE streamDone)
{
    if (task_->digest.algorithm == DigestNone) {
        AnnounceCompletion(task_, command, streamDone);
        return true;
    }
    bool read = hash_ && HashUntil(task_->totalSize, 0);
    if (StopRequested(*task_))
        return false;
    BYTE found[kDigestMaxBytes];
    int length = DigestLength(task_->digest.algorithm);
    if (!read || hashed_ != task_->totalSize ||
        !Ok(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash_), found, length, 0))) {
        NoteFileFailure(task_, readError_ ? readError_ : ERROR_READ_FAULT);
        TellWindow(task_, VerdictUnreadable);
        return false;
    }
    if (memcmp(found, task_->digest.bytes, length) != 0) {
        // The second time the task stops for good: the window shows why.
        if (task_->refetchedForDigest) {
            TaskFailure mismatch = {};
            mismatch.kind = FailureDigest;
            NoteFailure(task_, mismatch);
        }
        TellWindow(task_, VerdictMismatch);
        return false;
    }
    StoreWord(task_->verdict, VerdictMatch);
    return AnnounceCompletion(task_, command, streamDone);
}

void AnnounceWhenChecked(DownloadTask *task)
{
    if (task->digest.algorithm == DigestNone) {
        AnnounceCompletion(task);
        return;
    }
    StoreWord(task->digestDue, 1);
    if (task->wakeWorker)
        SetEvent(task->wakeWorker);
}

bool CheckThenAnnounce(DownloadTask *task, CompletionCommand command, HANDLE streamDone)
{
    DigestCheck check(task);
    return check.Conclude(command, streamDone);
}
