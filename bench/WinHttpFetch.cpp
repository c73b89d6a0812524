// Downloads one URL through WinHTTP, the system's own HTTP stack, as a plain
// Windows program would: one connection, synchronous calls, the body read in
// pieces of up to 1 MiB into a file. The benchmarks run it beside the host.
// Usage: WinHttpFetch URL OUTFILE
// Prints the bytes and seconds; exits with 0 when a 200 answer arrived whole.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>
#include <winhttp.h>

namespace {

const DWORD kPiece = 1 << 20;

// Sessions, connections and requests: empty is null.
class ScopedInternet {
public:
    explicit ScopedInternet(HINTERNET handle) : handle_(handle) {}
    ~ScopedInternet() { Close(); }
    ScopedInternet(const ScopedInternet &) = delete;
    ScopedInternet &operator=(const ScopedInternet &) = delete;

    HINTERNET Get() const { return handle_; }
    void Close()
    {
        if (handle_) {
            WinHttpCloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HINTERNET handle_;
};

bool Fail(const char *step)
{
    fprintf(stderr, "%s failed: error %lu\n", step, GetLastError());
    return false;
}

// The length the answer announced, or -1 when it gave none.
long long ContentLength(HINTERNET request)
{
    wchar_t text[32];
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return -1;
    return _wcstoi64(text, nullptr, 10);
}

// Copies the body into file; counts the bytes in *received.
bool CopyBody(HINTERNET request, HANDLE file, char *piece, long long *received)
{
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available))
            return Fail("WinHttpQueryDataAvailable");
        if (available == 0)
            return true;
        DWORD read = 0;
        if (!WinHttpReadData(request, piece, kPiece, &read))
            return Fail("WinHttpReadData");
        if (read == 0)
            return true;
        DWORD written = 0;
        if (!WriteFile(file, piece, read, &written, nullptr) || written != read)
            return Fail("WriteFile");
        *received += read;
    }
}

bool Fetch(const char *url, const char *outPath, long long *received)
{
    wchar_t wideUrl[2048];
    if (!MultiByteToWideChar(CP_ACP, 0, url, -1, wideUrl, ARRAYSIZE(wideUrl)))
        return Fail("MultiByteToWideChar");
    wchar_t host[256];
    wchar_t path[2048];
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = ARRAYSIZE(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = ARRAYSIZE(path);
    if (!WinHttpCrackUrl(wideUrl, 0, 0, &parts))
        return Fail("WinHttpCrackUrl");

    ScopedInternet session(WinHttpOpen(L"WinHttpFetch", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.Get())
        return Fail("WinHttpOpen");
    ScopedInternet connection(WinHttpConnect(session.Get(), host, parts.nPort, 0));
    if (!connection.Get())
        return Fail("WinHttpConnect");
    DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    ScopedInternet request(WinHttpOpenRequest(connection.Get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request.Get())
        return Fail("WinHttpOpenRequest");
    if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return Fail("WinHttpSendRequest");
    if (!WinHttpReceiveResponse(request.Get(), nullptr))
        return Fail("WinHttpReceiveResponse");

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return Fail("WinHttpQueryHeaders");
    if (status != 200) {
        fprintf(stderr, "status %lu\n", status);
        return false;
    }
    long long length = ContentLength(request.Get());

    HANDLE file = CreateFileA(outPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail("CreateFileA");
    char *piece = static_cast<char *>(malloc(kPiece));
    bool copied = piece ? CopyBody(request.Get(), file, piece, received) : Fail("malloc");
    free(piece);
    CloseHandle(file);
    if (copied && length >= 0 && *received != length) {
        fprintf(stderr, "%lld of %lld bytes\n", *received, length);
        return false;
    }
    return copied;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: WinHttpFetch URL OUTFILE\n");
        return 2;
    }
    DWORD start = GetTickCount();
    long long received = 0;
    bool whole = Fetch(argv[1], argv[2], &received);
    printf("%lld bytes in %.2f s%s\n", received, (GetTickCount() - start) / 1000.0, whole ? "" : " (incomplete)");
    return whole ? 0 : 1;
}
