// Facetta.dll's descriptor, exported by ordinal 1: its object is
// the skin engine that draws the floating window.
#include <new>

#include "components/ComponentProvider.h"
#include "facetta/FacettaEngine.h"

extern "C" ComponentDescriptor gFacettaDescriptor;

namespace {

void *__cdecl CreateEngine()
{
    FacettaEngine *engine = new (std::nothrow) FacettaEngine();
    if (!engine)
        return nullptr;
    if (!RegisterInstance(&gFacettaDescriptor, engine)) {
        delete engine;
        return nullptr;
    }
    return static_cast<SkinEngine *>(engine);
}

// Runs under the descriptor's lock: must not release through it.
void __cdecl DestroyEngine(void *object)
{
    delete static_cast<FacettaEngine *>(static_cast<SkinEngine *>(object));
}

}  // namespace

ComponentDescriptor gFacettaDescriptor = {
    0x54544346,  // "FCTT"
    CreateEngine,
    DestroyEngine,
    sizeof(FacettaEngine),
    nullptr,
    0,
};
