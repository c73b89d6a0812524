// Checking a task's file against its digest before anyone hears it is
// complete. The worker hashes the bytes as they come: at each of its looks
// it hashes what has come in order since the last one (transfer/HashFrontier.h),
// reading back what the ranges wrote, which the system's cache still holds,
// so that once every byte is in only what came last is left to hash. The
// system's own hashing (BCrypt) does the work.
//
// A file that matches is announced as any complete file is. One that does
// not, or that cannot be read back, is never announced: the worker leaves
// its verdict in the task and gives the window the digest-verdict command,
// which fetches the file again from byte 0 once, and gives up on it the
// second time (transfer/DigestVerdicts.h).
#pragma once

#include <windows.h>

#include <memory>

#include "transfer/Completion.h"

class DownloadTask;

// What a look of the worker hashes at most: its flushes, its record and its
// hand-outs wait meanwhile.
const DWORD kDigestLookMilliseconds = 200;

// The task's whole file, hashed in order by the worker.
class DigestCheck {
public:
    // Hashes nothing when the task has no digest (or the system no hashing).
    explicit DigestCheck(DownloadTask *task);
    ~DigestCheck();
    DigestCheck(const DigestCheck &) = delete;
    DigestCheck &operator=(const DigestCheck &) = delete;

    // Hashes what has come in order since the last call, for about budgetMs.
    void Advance(DWORD budgetMs);
    // Every byte is in: hashes the rest and announces the file if it
    // matches, or hands the verdict to the window. False when a stop came
    // first: then nothing is told, and the next start hashes anew.
    bool Conclude(CompletionCommand command, HANDLE streamDone);

private:
    // Hashes on up to end, or until the stop or the deadline (a tick count;
    // 0: none). False when a block could not be read or hashed.
    bool HashUntil(ULONGLONG end, DWORD deadline);

    DownloadTask *task_;
    void *algorithm_;  // BCRYPT_ALG_HANDLE
    void *hash_;       // BCRYPT_HASH_HANDLE
    std::unique_ptr<unsigned char[]> hashObject_;
    std::unique_ptr<unsigned char[]> block_;
    ULONGLONG hashed_;
    bool failed_;
    DWORD readError_;  // why a block could not be read back; 0: none failed
};

// Any thread, once every byte of the task is in (the delivery that completed
// it, the worker that found it so): a task without a digest is announced at
// once; one with a digest wakes its worker, which hashes the rest and
// announces it if it matches.
void AnnounceWhenChecked(DownloadTask *task);

// The worker, every byte in and no look of its own to come (a single
// stream, a file found complete at a start): hashes the whole file now, then
// as Conclude. False when nothing was announced.
bool CheckThenAnnounce(DownloadTask *task, CompletionCommand command = CompletionCommand::Posted,
                       HANDLE streamDone = nullptr);
