// The operation table of FacettaEngine: __thiscall entries at the positions
// the plug-in calls, each handing over to the engine's member of that name.
#include "facetta/FacettaEngine.h"

namespace {

FacettaEngine *Engine(SkinEngine *self)
{
    return static_cast<FacettaEngine *>(self);
}

int __thiscall InitOperation(SkinEngine *self, SkinQuery *query)
{
    return Engine(self)->Init(query);
}

int __thiscall ShutdownOperation(SkinEngine *self)
{
    return Engine(self)->Shutdown();
}

LRESULT __thiscall HandleMessageOperation(SkinEngine *self, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Engine(self)->HandleMessage(window, message, wParam, lParam);
}

// The positions the plug-in never calls.
int __thiscall SpareOperation(SkinEngine *)
{
    return 0;
}

int __thiscall CommandOperation(SkinEngine *self, int commandId, int argument)
{
    return Engine(self)->Command(commandId, argument);
}

int __thiscall SetElementStateOperation(SkinEngine *self, int elementId, int value, int redraw)
{
    return Engine(self)->SetElementState(elementId, value, redraw);
}

int __thiscall GetElementRectOperation(SkinEngine *self, int elementId, RECT *rect)
{
    return Engine(self)->GetElementRect(elementId, rect);
}

int __thiscall RepaintRectOperation(SkinEngine *self, const RECT *rect)
{
    return Engine(self)->RepaintRect(rect);
}

int __thiscall SelectSkinOperation(SkinEngine *self, int selector)
{
    return Engine(self)->SelectSkin(selector);
}

const SkinEngineTable kOperations = {
    InitOperation,           ShutdownOperation,  HandleMessageOperation, SpareOperation,
    SpareOperation,          CommandOperation,   SpareOperation,         SetElementStateOperation,
    SpareOperation,          SpareOperation,     SpareOperation,         SpareOperation,
    SpareOperation,          GetElementRectOperation, SpareOperation,    SpareOperation,
    RepaintRectOperation,    SpareOperation,     SelectSkinOperation,
};

}  // namespace

const SkinEngineTable *FacettaEngineOperations()
{
    return &kOperations;
}
