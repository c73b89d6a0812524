#include "components/ComponentAccess.h"

#include <string.h>

ComponentDescriptor *ResolveDescriptor(const void *address)
{
    const unsigned char *bytes = static_cast<const unsigned char *>(address);
    if (bytes[0] == 0xFF && bytes[1] == 0x25) {
        // An indirect jump through the import cell: follow one level, never more.
        void *const *cell;
#ifdef _WIN64
        // jmp qword ptr [rip + disp32]: the cell lies disp32 bytes past the
        // end of the six-byte instruction.
        INT32 displacement;
        memcpy(&displacement, bytes + 2, sizeof(displacement));
        cell = reinterpret_cast<void *const *>(bytes + 6 + displacement);
#else
        // jmp dword ptr [cell]: the cell's absolute address.
        memcpy(&cell, bytes + 2, sizeof(cell));
#endif
        return static_cast<ComponentDescriptor *>(*cell);
    }
    return static_cast<ComponentDescriptor *>(const_cast<void *>(address));
}

void *CreateComponent(const void *descriptorAddress)
{
    if (!descriptorAddress)
        return nullptr;
    ComponentDescriptor *descriptor = ResolveDescriptor(descriptorAddress);
    if (!descriptor->create)
        return nullptr;
    return descriptor->create();
}

void ReleaseComponent(const void *descriptorAddress, void *object)
{
    if (!descriptorAddress)
        return;
    ComponentDescriptor *descriptor = ResolveDescriptor(descriptorAddress);
    AcquireDescriptorLock(descriptor);

    InstanceNode *previous = nullptr;
    InstanceNode *node = descriptor->instances;
    while (node && node->object != object) {
        previous = node;
        node = node->next;
    }

    bool destroy = true;
    if (node) {
        if (InterlockedDecrement(&node->refCount) != 0) {
            destroy = false;  // other references keep the object alive
        } else {
            if (previous)
                previous->next = node->next;
            else
                descriptor->instances = node->next;
            LocalFree(node);
        }
    }
    if (destroy && descriptor->destroy)
        descriptor->destroy(object);

    ReleaseDescriptorLock(descriptor);
}
