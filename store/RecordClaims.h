// Claims on what only one live task may use at a time, across every process
// of the session: a resume section of the settings file, and a temporary
// file together with the final file it becomes.
// A claim is a named kernel object; it ends when its handle is closed, also
// when the process dies.
#pragma once

#include <windows.h>

// The claim, or null when another live task (here or in another process) holds it.
HANDLE ClaimResumeSection(int section);
HANDLE ClaimTempPath(const char *tempPath);

// Closes a claim and clears the handle.
void ReleaseClaim(HANDLE &claim);
