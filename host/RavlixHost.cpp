// A small host: loads Ravlix.dll from its own folder through the public
// header's six exports, creates a controller, hands over the URL given on the
// command line and releases the controller again.
#include <stdio.h>
#include <windows.h>

#include "Ravlix.h"

namespace {

template <typename Function>
bool Resolve(HMODULE module, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    if (!function)
        printf("Ravlix.dll does not export %s\n", name);
    return function != nullptr;
}

}  // namespace

int main(int argc, char **argv)
{
    HMODULE module = LoadLibraryA("Ravlix.dll");
    if (!module) {
        printf("cannot load Ravlix.dll (error %lu)\n", GetLastError());
        return 1;
    }
    decltype(&CreateDownload) create;
    decltype(&StartDownload) start;
    decltype(&ReleaseDownload) release;
    if (!Resolve(module, "CreateDownload", create) || !Resolve(module, "StartDownload", start) ||
        !Resolve(module, "ReleaseDownload", release))
        return 1;

    DownloadController *controller = create();
    if (!controller) {
        printf("CreateDownload failed\n");
        return 1;
    }
    printf("controller created\n");
    if (argc > 1)
        printf("StartDownload %s: code %d\n", argv[1], start(controller, argv[1], "", nullptr, 5));
    release(controller);
    printf("controller released\n");
    FreeLibrary(module);
    return 0;
}
