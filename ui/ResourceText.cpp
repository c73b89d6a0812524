#include "ui/ResourceText.h"

#include <windows.h>

#include "plugin/ProcessState.h"

void LoadResourceText(int id, char *buffer, int bufferSize)
{
    HMODULE module = gProcess.resourceModule ? gProcess.resourceModule : gProcess.pluginInstance;
    if (LoadStringA(module, id, buffer, bufferSize) <= 0 && bufferSize > 0)
        buffer[0] = '\0';
}
