/* A host in plain C that links Ravlix.dll through an import library (the
 * MinGW one or the Visual C++ one, whichever it was built against) instead of
 * loading it: every call below goes through that library's import entries.
 * It fetches RAVLIX_PEER_ROOT's f1048576.bin from nginx into a folder of its
 * own and compares the copy with the source. Exit code 0 when all held. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "Ravlix.h"

static volatile LONG completions;

static void __cdecl OnComplete(int a, int b, int c)
{
    (void)a;
    (void)b;
    (void)c;
    InterlockedIncrement(&completions);
}

static int Fail(const char *what)
{
    printf("linked host: %s\n", what);
    return 1;
}

/* The whole file in a buffer from malloc, or null. */
static char *ReadWhole(const char *path, DWORD *size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    char *bytes = NULL;
    DWORD read = 0;
    if (file == INVALID_HANDLE_VALUE)
        return NULL;
    *size = GetFileSize(file, NULL);
    bytes = (char *)malloc(*size ? *size : 1);
    if (bytes && (!ReadFile(file, bytes, *size, &read, NULL) || read != *size)) {
        free(bytes);
        bytes = NULL;
    }
    CloseHandle(file);
    return bytes;
}

int main(void)
{
    const char *port = getenv("RAVLIX_NGINX_PORT");
    const char *root = getenv("RAVLIX_PEER_ROOT");
    char url[128], folder[MAX_PATH], copy[MAX_PATH], source[MAX_PATH];
    DownloadController *controller;
    DWORD sourceSize = 0, copySize = 0, deadline;
    char *expected, *actual;
    int same;

    if (!port || !root)
        return Fail("the peers' environment is not set");
    snprintf(url, sizeof(url), "http://127.0.0.1:%s/f1048576.bin", port);
    snprintf(source, sizeof(source), "Z:%s/f1048576.bin", root);
    GetTempPathA(sizeof(folder), folder);
    strncat(folder, "ravlix-linked-host", sizeof(folder) - strlen(folder) - 1);
    CreateDirectoryA(folder, NULL);
    snprintf(copy, sizeof(copy), "%s\\linked.bin", folder);
    DeleteFileA(copy);
    WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", folder, "KELMORA.ini");

    /* A null controller is answered, not dereferenced. */
    if (ToNextFace(NULL) != 0 || ChangeSkin(NULL, 0) != 0 || StartDownload(NULL, url, "", NULL, 1) != RAVLIX_TABLE_FULL)
        return Fail("a null controller was not refused");

    controller = CreateDownload();
    if (!controller)
        return Fail("CreateDownload gave no controller");
    if (InitDownload(controller, OnComplete, 0) != 1)
        return Fail("InitDownload did not create the window");
    if (StartDownload(controller, "", "", NULL, 5) != RAVLIX_INVALID_REQUEST)
        return Fail("an empty URL was not refused");
    if (StartDownload(controller, url, "", "linked.bin", 3) != RAVLIX_ADMITTED)
        return Fail("the download was not admitted");
    if (ToNextFace(controller) != 1 || ChangeSkin(controller, 0) != 1)
        return Fail("the skin calls failed");

    /* The file gets its final name on the window's messages, after the callback. */
    deadline = GetTickCount() + 60000;
    while ((completions == 0 || GetFileAttributesA(copy) == INVALID_FILE_ATTRIBUTES) &&
           (LONG)(deadline - GetTickCount()) > 0) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
    ReleaseDownload(controller);
    WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", NULL, "KELMORA.ini");
    if (completions != 1)
        return Fail("the completion callback did not run exactly once");

    expected = ReadWhole(source, &sourceSize);
    actual = ReadWhole(copy, &copySize);
    if (!expected || !actual)
        return Fail("the source or the copy cannot be read");
    same = sourceSize == copySize && memcmp(expected, actual, sourceSize) == 0;
    free(expected);
    free(actual);
    if (!same)
        return Fail("the copy differs from the source");
    printf("linked host: %lu bytes, the same as the source\n", (unsigned long)copySize);
    return 0;
}
