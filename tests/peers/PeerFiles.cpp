#include "peers/PeerFiles.h"

#include <stdlib.h>
#include <windows.h>

#include "tests/support/WholeFile.h"

std::string PeerUrl(const char *portVariable, const char *path)
{
    const char *port = getenv(portVariable);
    if (!port || !*port)
        return std::string();
    return std::string("http://127.0.0.1:") + port + path;
}

std::string GeneratedUrl(const char *kind, const std::string &key, unsigned long long size)
{
    return PeerUrl("RAVLIX_GENERATED_PORT",
                   ("/" + std::string(kind) + "/" + key + "/gen/" + std::to_string(size) + ".bin").c_str());
}

std::string PacedUrl(unsigned long long size)
{
    static volatile LONG made = 0;
    std::string key = "p" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(InterlockedIncrement(&made));
    return GeneratedUrl("paced", key, size);
}

std::string TlsPeerUrl(int offset, const char *path, const char *host)
{
    const char *port = getenv("RAVLIX_TLS_PORT");
    if (!port || !*port)
        return std::string();
    return std::string("https://") + host + ":" + std::to_string(atoi(port) + offset) + path;
}

std::string TlsProxy()
{
    const char *port = getenv("RAVLIX_TLS_PORT");
    if (!port || !*port)
        return std::string();
    return "127.0.0.1:" + std::to_string(atoi(port) + 4);
}

std::string PasswordProxy(const std::string &userPart)
{
    const char *port = getenv("RAVLIX_TLS_PORT");
    if (!port || !*port)
        return std::string();
    return "http://" + (userPart.empty() ? std::string() : userPart + "@") + "127.0.0.1:" +
           std::to_string(atoi(port) + 6);
}

bool ReadPeerFile(const char *name, std::string *contents)
{
    const char *root = getenv("RAVLIX_PEER_ROOT");
    if (!root)
        return false;
    // The root is a Unix path; Wine shows the Unix root as drive Z:.
    return testing_support::ReadWholeFile(std::string("Z:") + root + "/" + name, contents);
}
