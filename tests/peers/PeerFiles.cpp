#include "peers/PeerFiles.h"

#include <stdlib.h>
#include <windows.h>

std::string PeerUrl(const char *portVariable, const char *path)
{
    const char *port = getenv(portVariable);
    if (!port || !*port)
        return std::string();
    return std::string("http://127.0.0.1:") + port + path;
}

std::string TlsPeerUrl(int offset, const char *path)
{
    const char *port = getenv("RAVLIX_TLS_PORT");
    if (!port || !*port)
        return std::string();
    return "https://localhost:" + std::to_string(atoi(port) + offset) + path;
}

std::string TlsProxy()
{
    const char *port = getenv("RAVLIX_TLS_PORT");
    if (!port || !*port)
        return std::string();
    return "127.0.0.1:" + std::to_string(atoi(port) + 4);
}

bool ReadPeerFile(const char *name, std::string *contents)
{
    const char *root = getenv("RAVLIX_PEER_ROOT");
    if (!root)
        return false;
    // The root is a Unix path; Wine shows the Unix root as drive Z:.
    std::string path = std::string("Z:") + root + "/" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok) {
        contents->resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = ReadFile(file, &(*contents)[0], static_cast<DWORD>(contents->size()), &read, nullptr) &&
             read == contents->size();
    }
    CloseHandle(file);
    return ok;
}
