#include "plugin/ProcessState.h"

ProcessState gProcess = {nullptr, 0, nullptr, nullptr, 1, 1, 1, 0};
