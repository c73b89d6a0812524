// The skin component's object, made by Facetta.dll: it draws the floating
// window. Its first word points to its table of operations, __thiscall
// methods at fixed positions; positions the plug-in never calls still hold an
// entry. The layout is the binary contract between Ravlix.dll and Facetta.dll.
#pragma once

#include <windows.h>
#include <stddef.h>

struct SkinEngine;
struct SkinQuery;

typedef int(__thiscall *SkinEngineSpare)(SkinEngine *self);

struct SkinEngineTable {
    int(__thiscall *Init)(SkinEngine *self, SkinQuery *query);                           // 0
    int(__thiscall *Shutdown)(SkinEngine *self);                                         // 1
    LRESULT(__thiscall *HandleMessage)(SkinEngine *self, HWND, UINT, WPARAM, LPARAM);    // 2
    SkinEngineSpare spare3;                                                              // 3
    SkinEngineSpare spare4;                                                              // 4
    int(__thiscall *Command)(SkinEngine *self, int commandId, int argument);             // 5
    SkinEngineSpare spare6;                                                              // 6
    int(__thiscall *SetElementState)(SkinEngine *self, int elementId, int value, int redraw);  // 7
    SkinEngineSpare spare8;                                                              // 8
    SkinEngineSpare spare9;                                                              // 9
    SkinEngineSpare spare10;                                                             // 10
    SkinEngineSpare spare11;                                                             // 11
    SkinEngineSpare spare12;                                                             // 12
    int(__thiscall *GetElementRect)(SkinEngine *self, int elementId, RECT *rectOut);     // 13
    SkinEngineSpare spare14;                                                             // 14
    SkinEngineSpare spare15;                                                             // 15
    int(__thiscall *RepaintRect)(SkinEngine *self, const RECT *rect);                    // 16
    SkinEngineSpare spare17;                                                             // 17
    int(__thiscall *SelectSkin)(SkinEngine *self, int selector);                         // 18
};

struct SkinEngine {
    const SkinEngineTable *operations;
};

static_assert(offsetof(SkinEngineTable, Init) == 0 * sizeof(void *), "Init is operation 0");
static_assert(offsetof(SkinEngineTable, Shutdown) == 1 * sizeof(void *), "Shutdown is operation 1");
static_assert(offsetof(SkinEngineTable, HandleMessage) == 2 * sizeof(void *), "HandleMessage is operation 2");
static_assert(offsetof(SkinEngineTable, Command) == 5 * sizeof(void *), "Command is operation 5");
static_assert(offsetof(SkinEngineTable, SetElementState) == 7 * sizeof(void *),
              "SetElementState is operation 7");
static_assert(offsetof(SkinEngineTable, GetElementRect) == 13 * sizeof(void *),
              "GetElementRect is operation 13");
static_assert(offsetof(SkinEngineTable, RepaintRect) == 16 * sizeof(void *), "RepaintRect is operation 16");
static_assert(offsetof(SkinEngineTable, SelectSkin) == 18 * sizeof(void *), "SelectSkin is operation 18");

// Element ids the plug-in drives and the button commands it acts on.
enum SkinElementId {
    ElementPausedState = 51500,
    ElementRunningState = 51501,
    ElementTaskNumber = 51502,
    ElementReceivedText = 51503,
    ElementTotalText = 51504
};

enum SkinCommandId {
    CommandNextFace = 50050,
    CommandPreviousTask = 50052,
    CommandNextTask = 50053,
    CommandDiscardAll = 50065
};

// How Facetta.dll's engine meets the floating window:
// - GetElementRect answers the button ids as well as the elements. A click
//   (press and release over the same button) posts WM_COMMAND with the
//   button's id in wParam and 0 in lParam to the window.
// - The window procedure sees WM_LBUTTONDOWN before the engine. It should
//   not begin a drag when the point lies inside the rectangle of one of the
//   four buttons (GetElementRect of 50050, 50052, 50053, 50065): the engine
//   captures the mouse for the press itself. A procedure that drags anyway
//   still gets the click, since the engine keeps its press through the
//   procedure's ReleaseCapture on WM_LBUTTONUP; only its window moves.
// - RepaintRect sets the face's text colour in the window's context. With
//   CS_OWNDC in the window class that context is the one the plug-in draws
//   its size texts with, so the texts take the skin's colour.
// - A face has its own size (the built-in faces are 70 x 70) and may have an
//   outline: the engine sizes the window to the face and sets its region.
