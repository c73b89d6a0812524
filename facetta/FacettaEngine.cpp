#include "facetta/FacettaEngine.h"

namespace {

int __thiscall Init(SkinEngine *, SkinQuery *)
{
    return 1;
}

int __thiscall Shutdown(SkinEngine *)
{
    return 1;
}

LRESULT __thiscall HandleMessage(SkinEngine *, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

int __thiscall Spare(SkinEngine *)
{
    return 0;
}

int __thiscall Command(SkinEngine *, int, int)
{
    return 0;
}

int __thiscall SetElementState(SkinEngine *, int, int, int)
{
    return 0;
}

int __thiscall GetElementRect(SkinEngine *, int, RECT *rect)
{
    if (rect)
        SetRectEmpty(rect);
    return 0;
}

int __thiscall RepaintRect(SkinEngine *, const RECT *)
{
    return 0;
}

int __thiscall SelectSkin(SkinEngine *, int)
{
    return 0;
}

const SkinEngineTable kFacettaEngineTable = {
    Init,  Shutdown, HandleMessage, Spare, Spare, Command, Spare, SetElementState, Spare, Spare,
    Spare, Spare,    Spare,         GetElementRect, Spare, Spare, RepaintRect, Spare, SelectSkin,
};

}  // namespace

FacettaEngine::FacettaEngine()
{
    operations = &kFacettaEngineTable;
}

FacettaEngine::~FacettaEngine() = default;
