#include "ui/ProcessState.h"

ProcessState gProcess = {nullptr, 0, nullptr, nullptr, 1, 1, 1};
