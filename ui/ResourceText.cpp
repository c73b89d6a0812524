#include "ui/ResourceText.h"

#include "ui/ProcessState.h"

HMODULE ResourceModule()
{
    return gProcess.resourceModule ? gProcess.resourceModule : gProcess.pluginInstance;
}

void LoadResourceText(int id, char *buffer, int bufferSize)
{
    if (LoadStringA(ResourceModule(), id, buffer, bufferSize) <= 0 && bufferSize > 0)
        buffer[0] = '\0';
}
