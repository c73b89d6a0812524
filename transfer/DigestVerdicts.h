// What the window makes of the worker's verdict on a file that did not pass
// its digest check (transfer/DigestCheck.h), on the user-interface thread.
#pragma once

// The digest-verdict command of the slot. A file that did not match its
// digest is fetched again from byte 0, once; the second time the task stops
// there, idle with its reason (noted by the worker) in the window, its
// temporary file removed, its record claiming nothing, and the history
// given an entry with mismatchReason. A file that could not be read back
// stops the task as a file failure, its bytes and record kept for a start.
// The command may have outlived the task that posted it (a quit, a delete,
// a pause that already took the verdict): a slot whose task holds no
// verdict is left alone.
void TakeDigestVerdict(int slot, const char *mismatchReason);

// For a periodic timer: the verdicts of tasks whose command no window heard.
void TakeUnheardDigestVerdicts(const char *mismatchReason);
