// Why a task stopped, in the user's words: the component's error and the
// server's status, or the file's trouble, as one line of the string table.
#pragma once

#include "transfer/TaskFailure.h"
#include "ui/ResourceText.h"

// The string that says why: StringServerAnswered for a refused answer with
// its status, one string per component error otherwise; 0 for no failure.
int FailureStringId(const TaskFailure &failure);

// The line itself, in the language of the resource module; "" for no failure.
void FailureText(const TaskFailure &failure, char *out, int outSize);

// Why the slot's task stopped: its failure's text while it stands stopped
// after one (neither running nor paused); "" otherwise.
void StoppedReason(int slot, char *out, int outSize);
