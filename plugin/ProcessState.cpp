#include "plugin/ProcessState.h"

ProcessState gProcess;
