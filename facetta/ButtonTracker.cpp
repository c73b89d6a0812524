#include "facetta/ButtonTracker.h"

void ButtonTracker::Move(int hitId, bool leftDown)
{
    hoverId_ = hitId;
    if (!leftDown)
        pressedId_ = 0;
}

bool ButtonTracker::Press(int hitId)
{
    hoverId_ = hitId;
    pressedId_ = hitId;
    return hitId != 0;
}

int ButtonTracker::Release(int hitId)
{
    int clicked = pressedId_ != 0 && pressedId_ == hitId ? pressedId_ : 0;
    pressedId_ = 0;
    hoverId_ = hitId;
    return clicked;
}

void ButtonTracker::Leave(bool captured)
{
    hoverId_ = 0;
    if (!captured)
        pressedId_ = 0;
}

void ButtonTracker::Cancel()
{
    hoverId_ = 0;
    pressedId_ = 0;
}

ButtonLook ButtonTracker::LookOf(int id) const
{
    if (id == 0)
        return ButtonNormal;
    if (pressedId_ != 0) {
        // Dragged off its button, a press shows the button raised again.
        return pressedId_ == id && hoverId_ == id ? ButtonPressed : ButtonNormal;
    }
    return hoverId_ == id ? ButtonHover : ButtonNormal;
}
