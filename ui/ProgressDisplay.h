// The floating window's view of one task at a time: its received and total
// size, redrawn ten times a second, and the task number, rotated every three
// seconds.
#pragma once

#include <windows.h>

const UINT_PTR kRepaintTimer = 13090;
const UINT_PTR kRotationTimer = 17459;
// Rewrites the resume records of running tasks, so that a host that is killed
// loses at most a few seconds of data.
const UINT_PTR kResumeRefreshTimer = 21829;

// Starts the timers and shows the window.
void StartDisplay(HWND window);

// Kills every timer StartDisplay started (and 21828, which nothing starts).
void StopDisplay(HWND window);

// The repaint tick: draws the displayed task's sizes into the skin's two text
// rectangles. Returns 1: the window procedure's result for WM_TIMER, which
// the skin engine is not asked for.
int DrawSizes(HWND window);

// The rotation timer's procedure: moves DisplayedTask over 1..n and back,
// n being how many slots hold a task.
void CALLBACK RotateDisplayedTask(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Sets the skin's task number and state elements for DisplayedTask.
void RefreshElementStates();

// Downloads of this size or more show both their sizes in "%dMb": in
// thousands, their sizes would need more digits than the skins' text boxes
// hold (the built-in one fits eight characters).
const ULONGLONG kMegabyteTotal = 1ull << 31;

// bytes of a download of totalBytes: "%db" up to 1000 bytes, else "%dKb"
// (thousands, rounded down); "%dMb" (millions, rounded down) for any bytes
// when totalBytes is kMegabyteTotal or more.
void WindowSizeText(ULONGLONG bytes, ULONGLONG totalBytes, char *out, int outSize);
