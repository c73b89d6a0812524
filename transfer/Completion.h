// When a task is complete, and telling the host so.
#pragma once

#include <windows.h>

class DownloadTask;
struct ResumeRecord;

// Whether the received counts cover the whole file: segment 0 holds all of it
// (a single stream), or every segment holds exactly its range.
bool AllBytesIn(const ResumeRecord &record);

// How the task-complete command reaches the window.
enum class CompletionCommand {
    Posted,  // from the component's threads, which never wait for the window
    Sent     // from the worker that read a single stream, which waits for it
};

// Tells the host, then gives the window the task-complete command, once per
// task; false when the task was announced before. A sent command first sets
// streamDone (when given): finalizing waits for it, and answers the send at
// once (ReplyMessage); a stopping side answers it while it waits for the
// worker, which then leaves without touching the task.
bool AnnounceCompletion(DownloadTask *task, CompletionCommand command = CompletionCommand::Posted,
                        HANDLE streamDone = nullptr);
