#include "transfer/DownloadTask.h"

int StartWorker(DownloadTask *task)
{
    task->threadHandle = CreateThread(nullptr, 0, WorkerMain, task, 0, nullptr);
    return task->threadHandle ? 1 : 0;
}

DWORD WINAPI WorkerMain(void *)
{
    return 0;
}
