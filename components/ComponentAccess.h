// The plug-in's side of the component protocol: finding a descriptor behind an
// import address, creating objects and giving references back.
#pragma once

#include "components/ComponentDescriptor.h"

// The address under which a descriptor is imported is the linker's jump stub
// through the import cell, which holds the descriptor: FF 25 <address of the
// cell> on x86, FF 25 <cell minus the end of the stub> (RIP-relative) on x64.
// Any other address is taken to be the descriptor itself.
ComponentDescriptor *ResolveDescriptor(const void *address);

// A new object from the descriptor's create, or null.
void *CreateComponent(const void *descriptorAddress);

// Gives one reference to object back: the last one unlinks its node and
// destroys the object; an object the list does not know is destroyed at once.
void ReleaseComponent(const void *descriptorAddress, void *object);

// The two component libraries, as imported by ordinal 1.
const void *SkinLibraryDescriptor();
const void *HttpLibraryDescriptor();
