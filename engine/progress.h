// What the two long-running pages share: their message frame, the drawing of
// the red and white bar with its percentage, and the draining of the queue.
//
// A progress page does its whole work inside its own procedure, on message
// 32000, which it posts to itself when it opens; the work drains the queue
// itself (PumpMessages), so Cancel and painting still reach the page.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr UINT startWorkMessage = 32000;

// The frame of both progress pages: caption, set-up, focus on Cancel and the
// start message on WM_INITDIALOG; the work, the tear-down and the end of the
// dialog with keepRunning on 32000; the cancel question on command 2; a
// cleared keepRunning on WM_DESTROY. `dc` is the page's drawing-context slot.
INT_PTR ProgressPageFrame(HWND page, UINT message, WPARAM wParam, HDC& dc, void (*work)(HWND page));

// Gets the page's drawing context into `dc`, measures the bar, makes the pens,
// brushes and font, centres the page and sets keepRunning to 1.
void ProgressSetup(HWND page, HDC& dc);
// Puts the displaced objects back, deletes ours, releases the context.
void ProgressTeardown(HWND page, HDC dc);

enum class Repaint {
    always,             // the first volume: after every block, also above 100 %
    whenChangedTo100,   // later volumes: on a change, up to 100 %
    whenChanged,        // the decoded output
};

// done of total: computes percent and the fill position, paints by `rule`.
void ProgressStep(int32_t done, int32_t total, HDC dc, Repaint rule);
void ProgressPainter(HDC dc, int32_t fillX);

// Dispatches every queued message; WM_QUIT is taken off the queue and dropped.
void PumpMessages(MSG& msg);
