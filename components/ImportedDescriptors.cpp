#include "components/ComponentAccess.h"

// Both libraries export their descriptor by ordinal 1 only; the import
// libraries give the two imports these names. Declared without dllimport, each
// name resolves to the linker's jump stub, which ResolveDescriptor follows.
extern "C" const unsigned char FacettaDescriptor[];
extern "C" const unsigned char NetquillDescriptor[];

const void *SkinLibraryDescriptor()
{
    return FacettaDescriptor;
}

const void *HttpLibraryDescriptor()
{
    return NetquillDescriptor;
}
