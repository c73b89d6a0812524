// Downloads one file through Netquill.dll the way the plug-in does: a probe
// for the length, then N range requests in callback mode whose pieces are
// copied into a mapped file. Usage: NetquillBench URL CONNECTIONS OUTPUT
// Prints the bytes and seconds; exits with 0 when every byte arrived.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "components/ComponentAccess.h"
#include "components/WebRequest.h"

namespace {

struct Segment {
    char *writePos;
    unsigned left;
};

volatile LONG gOutstanding;  // bytes not yet arrived, over all segments
volatile LONG gDeliveries;
HANDLE gDone;

void __stdcall Receive(void *context, const void *bytes, unsigned count)
{
    Segment *segment = static_cast<Segment *>(context);
    InterlockedIncrement(&gDeliveries);
    if (count > segment->left)
        count = segment->left;
    memcpy(segment->writePos, bytes, count);
    segment->writePos += count;
    segment->left -= count;
    if (InterlockedExchangeAdd(&gOutstanding, -static_cast<LONG>(count)) == static_cast<LONG>(count))
        SetEvent(gDone);
}

unsigned ProbeLength(const char *url)
{
    WebRequest *probe = static_cast<WebRequest *>(CreateComponent(HttpLibraryDescriptor()));
    unsigned length = 0;
    if (probe->operations->Open(probe, url, "", nullptr, 0, nullptr, nullptr)) {
        const char *header = probe->operations->GetResponseHeader(probe);
        const char *field = strstr(header, "Content-Length:");
        if (field)
            length = strtoul(field + 15, nullptr, 10);
        probe->operations->Close(probe);
    }
    ReleaseComponent(HttpLibraryDescriptor(), probe);
    return length;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: NetquillBench URL CONNECTIONS OUTPUT\n");
        return 2;
    }
    const char *url = argv[1];
    int connections = atoi(argv[2]);
    DWORD start = GetTickCount();
    unsigned total = ProbeLength(url);
    if (total == 0 || connections < 1 || connections > 5) {
        fprintf(stderr, "no length from %s\n", url);
        return 1;
    }
    HANDLE file = CreateFileA(argv[3], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, total, nullptr);
    char *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    if (!view) {
        fprintf(stderr, "cannot map %s\n", argv[3]);
        return 1;
    }
    gOutstanding = static_cast<LONG>(total);
    gDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    Segment segments[5];
    WebRequest *requests[5] = {};
    unsigned size = total / connections;
    bool opened = true;
    for (int i = 0; i < connections && opened; ++i) {
        unsigned first = i * size;
        unsigned last = i == connections - 1 ? total - 1 : first + size - 1;
        segments[i].writePos = view + first;
        segments[i].left = last - first + 1;
        char range[96];
        sprintf(range, "Range:bytes=%d-%d/%d\r\n", static_cast<int>(first), static_cast<int>(last),
                static_cast<int>(total));
        requests[i] = static_cast<WebRequest *>(CreateComponent(HttpLibraryDescriptor()));
        opened = requests[i]->operations->Open(requests[i], url, "", range, 0, Receive, &segments[i]) != 0;
    }
    bool complete = opened && WaitForSingleObject(gDone, 30 * 60 * 1000) == WAIT_OBJECT_0;
    for (int i = 0; i < connections; ++i) {
        if (!requests[i])
            continue;
        requests[i]->operations->Close(requests[i]);
        ReleaseComponent(HttpLibraryDescriptor(), requests[i]);
    }
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
    CloseHandle(gDone);
    printf("%u bytes over %d connections in %.2f s, %ld deliveries%s\n", total, connections,
           (GetTickCount() - start) / 1000.0, gDeliveries, complete ? "" : " (incomplete)");
    return complete ? 0 : 1;
}
