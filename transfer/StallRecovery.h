// Segmented downloads that stopped moving while they read as downloading: a
// segment whose range request was refused, or whose connection the HTTP
// component gave up reconnecting. No delivery will ever come for it, so the
// task would never complete by itself.
#pragma once

class DownloadTask;

// True when every running part of the task has ended and some segment still
// lacks bytes that nothing is fetching.
bool TaskStalled(DownloadTask *task);

// Pauses and starts again each stalled task, which reopens its missing
// segments from where they stopped, and starts again each single stream
// that ended short (from byte 0 where the server gives no ranges). A task
// that stalls again and again without a byte in between is left stopped
// after a few tries, for the user to start. For a periodic timer on the
// user-interface thread.
void RecoverStalledTasks();
