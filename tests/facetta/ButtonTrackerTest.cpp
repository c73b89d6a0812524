// Hover and press bookkeeping without a window, including the order in which
// the plug-in's drag makes the messages arrive.
#include <gtest/gtest.h>

#include "facetta/ButtonTracker.h"

namespace {

constexpr int kPrevious = 50052;
constexpr int kNext = 50053;

TEST(ButtonTracker, HoverFollowsThePointer)
{
    ButtonTracker tracker;
    EXPECT_EQ(ButtonNormal, tracker.LookOf(kNext));
    tracker.Move(kNext, false);
    EXPECT_EQ(ButtonHover, tracker.LookOf(kNext));
    EXPECT_EQ(ButtonNormal, tracker.LookOf(kPrevious));
    tracker.Move(0, false);
    EXPECT_EQ(ButtonNormal, tracker.LookOf(kNext));
    EXPECT_EQ(ButtonNormal, tracker.LookOf(0));
}

TEST(ButtonTracker, PressAndReleaseOnTheSameButtonIsAClick)
{
    ButtonTracker tracker;
    EXPECT_FALSE(tracker.Press(0));
    EXPECT_EQ(0, tracker.Release(kNext));
    EXPECT_TRUE(tracker.Press(kNext));
    EXPECT_EQ(ButtonPressed, tracker.LookOf(kNext));
    EXPECT_EQ(kNext, tracker.Release(kNext));
    EXPECT_FALSE(tracker.Pressing());
    EXPECT_EQ(ButtonHover, tracker.LookOf(kNext));
}

TEST(ButtonTracker, ReleaseOffTheButtonIsNoClick)
{
    ButtonTracker tracker;
    tracker.Press(kNext);
    tracker.Move(0, true);
    // Dragged off, the button shows raised; back on, pressed again.
    EXPECT_EQ(ButtonNormal, tracker.LookOf(kNext));
    tracker.Move(kNext, true);
    EXPECT_EQ(ButtonPressed, tracker.LookOf(kNext));
    tracker.Move(kPrevious, true);
    EXPECT_EQ(ButtonNormal, tracker.LookOf(kPrevious));
    EXPECT_EQ(0, tracker.Release(kPrevious));
    EXPECT_EQ(0, tracker.Release(kNext));
}

TEST(ButtonTracker, LeavingWhileCapturedKeepsThePress)
{
    ButtonTracker tracker;
    tracker.Press(kNext);
    tracker.Leave(true);
    EXPECT_TRUE(tracker.Pressing());
    EXPECT_EQ(kNext, tracker.Release(kNext));

    tracker.Press(kNext);
    tracker.Leave(false);
    EXPECT_FALSE(tracker.Pressing());
    EXPECT_EQ(0, tracker.Release(kNext));
}

TEST(ButtonTracker, AStalePressOrACancelEndsThePress)
{
    ButtonTracker tracker;
    tracker.Press(kNext);
    tracker.Move(kNext, false);  // the button went up elsewhere
    EXPECT_EQ(ButtonHover, tracker.LookOf(kNext));
    EXPECT_EQ(0, tracker.Release(kNext));

    tracker.Press(kNext);
    tracker.Cancel();
    EXPECT_EQ(ButtonNormal, tracker.LookOf(kNext));
    EXPECT_EQ(0, tracker.Release(kNext));
}

}  // namespace
