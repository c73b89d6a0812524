#include "peers/PeerFiles.h"

#include <stdlib.h>
#include <winsock2.h>
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

long long CountedUnder(const char *what, const std::string &key)
{
    const char *port = getenv("RAVLIX_GENERATED_PORT");
    if (!port)
        return -1;
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(atoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(connection, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0) {
        std::string request =
            std::string("GET /") + what + "/" + key + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        send(connection, request.data(), static_cast<int>(request.size()), 0);
        char buffer[1024];
        int got;
        while ((got = recv(connection, buffer, sizeof(buffer), 0)) > 0)
            answer.append(buffer, got);
    }
    closesocket(connection);
    WSACleanup();
    size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? -1 : atoll(answer.c_str() + body + 4);
}
