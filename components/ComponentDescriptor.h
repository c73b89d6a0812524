// The record through which a component library (Facetta.dll, Netquill.dll)
// hands out its objects. Each library exports one by ordinal 1; the plug-in
// creates objects through `create` and gives them back against the reference
// list `instances`, under the spin lock `lockWord`.
#pragma once

#include <stddef.h>
#include <windows.h>

struct InstanceNode {
    void *object;
    LONG refCount;       // references still outstanding; changed atomically
    InstanceNode *next;  // null at the end of the list
};

// Every field the plug-in touches is a pointer-sized word: on 32-bit Windows
// the record is six 32-bit words, on 64-bit Windows the same fields in six
// 64-bit slots (the 32-bit first and fourth fields are padded by the compiler).
struct ComponentDescriptor {
    DWORD signature;  // identifies the library; its first two bytes are never FF 25
    void *(__cdecl *create)(void);
    void(__cdecl *destroy)(void *object);
    SIZE_T objectSize;
    InstanceNode *instances;  // nodes come from LocalAlloc: the releasing side frees them with LocalFree
    LONG lockWord;            // 0 free, 1 held
};

#ifdef _WIN64
static_assert(sizeof(void *) == 8, "a 64-bit build has 64-bit pointers");
#else
static_assert(sizeof(void *) == 4, "the descriptor layout is that of 32-bit Windows");
#endif
static_assert(offsetof(ComponentDescriptor, create) == 1 * sizeof(void *), "create is the second word");
static_assert(offsetof(ComponentDescriptor, destroy) == 2 * sizeof(void *), "destroy is the third word");
static_assert(offsetof(ComponentDescriptor, instances) == 4 * sizeof(void *), "instances is the fifth word");
static_assert(offsetof(ComponentDescriptor, lockWord) == 5 * sizeof(void *), "lockWord is the sixth word");
static_assert(offsetof(InstanceNode, next) == 2 * sizeof(void *), "next is the third word of a node");

// A bare spin on an atomic exchange: the guarded sections are a short list
// walk and at most one destroy call.
inline void AcquireDescriptorLock(ComponentDescriptor *descriptor)
{
    while (InterlockedExchange(&descriptor->lockWord, 1) != 0) {
    }
}

inline void ReleaseDescriptorLock(ComponentDescriptor *descriptor)
{
    InterlockedExchange(&descriptor->lockWord, 0);
}
