// Re-splitting: connections that finish their range take over part of the
// largest range still being fetched.
#pragma once

#include "transfer/DownloadTask.h"

// Runs on the worker once the segments are issued, until the task is stopped
// or announced complete: whenever fewer ranges run than the task has
// connections, cuts the end off the range whose connection would take
// longest to finish it and opens a request for it as a piece.
void HelpRanges(DownloadTask *task);
