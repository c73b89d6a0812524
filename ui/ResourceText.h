#pragma once

#include <windows.h>

// String ids of the resource string table.
enum ResourceStringId {
    StringDockLeftTop = 1,
    StringTask1 = 6,
    StringConfirmPause = 9,
    StringConfirmDelete = 10,
    StringNoTask = 11,
    StringDownloading = 12,
    StringPaused = 13,
    StringFileNameColumn = 14,
    StringFinished = 18,
    StringTaskFull = 19,
    StringTip = 21,
    StringCannotCreateDir = 22,
    StringOverwrite = 23,
    // The tooltip of the displayed task.
    StringPercentOf = 30,
    StringPerSecond = 31,
    StringTimeLeft = 32,
    StringStoppedBecause = 33,
    StringRecordsKeptIn = 34,
    StringSpeedCapInvalid = 35,
    // Why a task stopped (FailureText.h), from 40 on.
    StringServerAnswered = 40,
    StringHostNotFound = 41,
    StringCannotConnect = 42,
    StringServerSilent = 43,
    StringNotHttp = 44,
    StringTooManyRedirects = 45,
    StringConnectionLost = 46,
    StringCertificateRefused = 47,
    StringOutOfMemory = 48,
    StringFileChanged = 49,
    StringProxyPassword = 50,
    StringInsecureRedirect = 51,
    StringUnusableUrl = 52,
    StringNoFileSize = 53,
    StringDiskFull = 54,
    StringCannotWriteFile = 55,
    StringFailedWithCode = 56,
    StringDigestMismatch = 57
};

// The module the resources come from: the language library, else the plug-in.
HMODULE ResourceModule();

// Loads string id from the resource module into a buffer of bufferSize
// characters; "" if missing.
void LoadResourceText(int id, char *buffer, int bufferSize);
