// Skins a designer ships as a folder under the skins folder: a description
// "skin.ini" and BMP pictures beside it.
//
//   [Skin]
//   Faces=2                      ; 1..8 sections [Face1], [Face2], ...
//
//   [Face1]
//   Background=night.bmp         ; the face, buttons drawn normal; its size is the window's
//   Hover=night-hover.bmp        ; optional: the same face with every button hovered
//   Pressed=night-pressed.bmp    ; optional: ... with every button pressed
//   TextColor=140,245,180        ; optional: colour of the plug-in's size texts
//   ColorKey=255,0,255           ; optional: background pixels of this colour are not part of the window
//   Element51500=22,4,12,13,paused.bmp   ; left,top,width,height[,strip]
//   Element51503=15,22,49,13             ; a text area has no strip
//   Button50052=4,53,16,13               ; left,top,width,height
//
// Element ids come from the host's element range, button ids (the commands
// the buttons send) from its button range; others are not read. A strip
// holds the element's frames side by side, one per value: value v shows frame
// v, values beyond the last frame show the last. Pictures lie in the skin's
// own folder. Anything missing or malformed fails the whole skin, so that the
// engine shows its built-in one instead of half a skin.
//
// For larger display scales a face may ship pictures drawn at that scale, in
// a section named after the face and the percent (125, 150, 175, 200, 250 or
// 300); the layout stays that of [Face1], scaled:
//
//   [Face1.200]
//   Background=night-200.bmp     ; the face's size times 2
//   Hover=night-hover-200.bmp    ; optional, as are the strips:
//   Element51500=paused-200.bmp  ; frames of the scaled element's size
//
// Engines that do not know these sections pass them over.
#pragma once

#include <memory>

#include "facetta/SkinFace.h"

struct SkinIdRanges {
    int buttonFirst = 50050;
    int buttonLast = 50115;
    int elementFirst = 51500;
    int elementLast = 51504;
};

// folder ends with a backslash; percent is the display scale the faces are
// laid out and drawn at (100 at 96 DPI). Null when the skin cannot be used.
std::unique_ptr<Skin> LoadFileSkin(const char *folder, const SkinIdRanges &ranges, int percent);
