// Where a range's data goes: the HTTP component's threads deliver it here.
#pragma once

class DownloadTask;
struct TaskSegment;

// Sets the range's stop event, and the word its receiver tests in the
// event's place: from the range's next delivery on, nothing more is
// written. Any thread.
void SignalRangeStop(DownloadTask *task, TaskSegment &range);

// Whether SignalRangeStop has run for the range since its events were renewed.
bool RangeStopSignalled(DownloadTask &task, const TaskSegment &range);

namespace transfer {
// Writes a delivered piece into the file (the context is the segment). A
// function of the ReceiveCallback type of the same name.
void __stdcall ReceiveCallback(void *context, const void *bytes, unsigned count);
}  // namespace transfer
