// Finishing a task: its complete file put into place, its record blanked and
// its history written, on the user-interface thread.
#pragma once

// The task-complete command of the slot: finalizes its task if complete.
void FinalizeTask(int slot);

// For a periodic timer: puts in place every task that announced itself
// complete while no floating window existed to hear it (a host that starts
// downloads before InitDownload), whose task-complete command never came.
void FinalizeUnheardCompletions();

// Whether the slot's task announced itself complete and all its bytes are in.
bool CompleteTask(int slot);

// Finalizes the slot's task if it is complete; true when the slot was
// emptied. The command carries only a slot, and it may have outlived the
// task that posted it: a quit or a delete closes that task before the queue
// is pumped, and a new task can take the slot.
bool FinalizeIfComplete(int slot);

// The file name of a task's path, for its history record.
void FileNameOf(const char *path, char *name);
