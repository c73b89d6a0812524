// Hover and press on the skin's buttons, apart from any window: the engine
// feeds it the button under the pointer (0 for none) with each mouse event
// and redraws the buttons whose look changed.
//
// The plug-in handles the left button before the engine sees it and may have
// captured the mouse for a drag of its own and released that capture again
// (which arrives as WM_CAPTURECHANGED before the engine's WM_LBUTTONUP). A
// press therefore ends only with a release, a cancel, or evidence that the
// button went up elsewhere, never with a mere change of capture.
#pragma once

#include "facetta/SkinFace.h"

class ButtonTracker {
public:
    // The pointer moved over hitId; leftDown tells whether the left button is
    // still held. A press whose button went up outside the window ends here.
    void Move(int hitId, bool leftDown);

    // The left button went down over hitId. True when that is a button: the
    // caller captures the mouse so that it sees the release.
    bool Press(int hitId);

    // The left button went up over hitId. Returns the id of the clicked
    // button (pressed and released over the same button), else 0.
    int Release(int hitId);

    // The pointer left the window. Without the capture, a running press can
    // no longer be finished and is dropped.
    void Leave(bool captured);

    // Forgets hover and press (WM_CANCELMODE, capture taken by another
    // window, a new face).
    void Cancel();

    bool Pressing() const { return pressedId_ != 0; }
    ButtonLook LookOf(int id) const;

private:
    int hoverId_ = 0;
    int pressedId_ = 0;
};
