// The component library's side of the descriptor protocol: every object that
// `create` hands out is listed in `instances` with one reference, so that the
// plug-in's release can find, count down and unlink it.
#pragma once

#include "components/ComponentDescriptor.h"

// Lists object with a reference count of 1. Returns false (and lists nothing)
// when the node cannot be allocated.
bool RegisterInstance(ComponentDescriptor *descriptor, void *object);
