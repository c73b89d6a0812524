// Where the floating window goes, as pure functions of rectangles: the work
// area of a monitor (its screen less the taskbar and other docked bars), the
// window's size or rectangle, a point. No window and no monitor is asked
// here; ui/Docking.cpp picks the monitor, asks for its work area and moves
// the window.
#pragma once

#include <windows.h>

enum ScreenEdge { EdgeLeft = 0, EdgeRight = 1, EdgeTop = 2, EdgeBottom = 3 };

// The DOCKSTYLE setting, in the order the Setting dialog lists them: a corner
// of the work area, or the position saved when the window last quit.
enum DockStyle { DockLeftTop = 0, DockLeftBottom = 1, DockRightTop = 2, DockRightBottom = 3, DockAutoSave = 4 };

// The edge of work nearest point, distances taken from the work area's sides
// relative to its width and height. The middle counts as left horizontally
// and top vertically; equal relative distances choose top or bottom.
int EdgeNearestIn(const RECT &work, POINT point);

// The top-left corner that puts a window of size flush against edge of work,
// at position along that edge (not limited to the work area). Any other
// edge gives the work area's top-left corner.
POINT FlushAgainstEdge(const RECT &work, int edge, SIZE size, int position);

// The top-left corner that brings window back inside work: a side past the
// work area's left or top is moved onto it, and one past its right or bottom
// lies on that side instead.
POINT KeptInside(const RECT &work, const RECT &window);

// Where DOCKSTYLE style puts a window of size: for styles 0-3 a corner of
// windowWork (the work area of the monitor the window is on); for style 4
// the saved point, each coordinate outside savedWork (the work area of the
// monitor nearest the point, sides included) replaced by its left or top,
// then moved so that the whole window lies inside savedWork.
// False for any other style: the window stays where it is.
bool DockedPosition(int style, SIZE size, const RECT &windowWork, POINT saved, const RECT &savedWork,
                    POINT *positionOut);
