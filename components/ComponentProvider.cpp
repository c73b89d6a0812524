#include "components/ComponentProvider.h"

bool RegisterInstance(ComponentDescriptor *descriptor, void *object)
{
    // LocalAlloc, because the releasing side frees nodes with LocalFree.
    InstanceNode *node = static_cast<InstanceNode *>(LocalAlloc(LMEM_FIXED, sizeof(InstanceNode)));
    if (!node)
        return false;
    node->object = object;
    node->refCount = 1;
    AcquireDescriptorLock(descriptor);
    node->next = descriptor->instances;
    descriptor->instances = node;
    ReleaseDescriptorLock(descriptor);
    return true;
}
