#include "engine/progress.h"

#include "engine/progress_arithmetic.h"
#include "pages/conventions.h"
#include "resources/resource.h"
#include "state/context.h"

namespace {

const COLORREF red = RGB(255, 0, 0), white = RGB(255, 255, 255), black = RGB(0, 0, 0);

Edges ScreenEdges(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right, r.bottom};
}

void OpenPage(HWND page, HDC& dc) {
    SetWindowTextA(page, "Please Stand By...");
    ProgressSetup(page, dc);
    SetFocus(GetDlgItem(page, IDCANCEL));
    PostMessageA(page, startWorkMessage, 0, 0);
}

void RunWork(HWND page, HDC dc, void (*work)(HWND)) {
    // A page posting itself a message before its loop first idles may not be
    // shown yet; the work must not start behind an invisible page.
    ShowWindow(page, SW_SHOW);
    UpdateWindow(page);
    work(page);
    ProgressTeardown(page, dc);
    EndDialog(page, keepRunning);
}

}  // namespace

INT_PTR ProgressPageFrame(HWND page, UINT message, WPARAM wParam, HDC& dc, void (*work)(HWND page)) {
    switch (message) {
    case WM_INITDIALOG:
        OpenPage(page, dc);
        break;
    case startWorkMessage:
        RunWork(page, dc, work);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && ConfirmCancel()) keepRunning = 0;
        break;
    case WM_DESTROY:
        keepRunning = 0;
        break;
    }
    return FALSE;
}

void ProgressSetup(HWND page, HDC& dc) {
    dc = GetDC(page);
    Edges frame = ScreenEdges(GetDlgItem(page, IDC_PROGRESS_FRAME)), pg = ScreenEdges(page);
    BarGeometry g = BarInFrame(frame, pg, GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER),
                               GetSystemMetrics(SM_CYCAPTION));
    ctx.barLeft = g.barLeft;
    ctx.barTop = g.barTop;
    ctx.barRight = g.barRight;
    ctx.barBottom = g.barBottom;
    ctx.textX = g.textX;
    ctx.textY = g.textY;
    ctx.barSpan = g.barSpan;
    ctx.redPen = CreatePen(PS_SOLID, 1, red);
    ctx.whitePen = CreatePen(PS_SOLID, 1, white);
    ctx.savedPen = static_cast<HPEN>(SelectObject(dc, ctx.redPen));
    ctx.redBrush = CreateSolidBrush(red);
    ctx.whiteBrush = CreateSolidBrush(white);
    ctx.savedBrush = static_cast<HBRUSH>(SelectObject(dc, ctx.redBrush));
    SetWindowPos(page, HWND_TOP, CentredOffset(ctx.screenWidth, pg.right - pg.left),
                 CentredOffset(ctx.screenHeight, pg.bottom - pg.top), 0, 0, SWP_NOSIZE);
    keepRunning = 1;
    SetBkMode(dc, TRANSPARENT);
    ctx.percentFont = CreateFontA(16, 0, 0, 0, 0, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Arial");
    ctx.savedFont = static_cast<HFONT>(SelectObject(dc, ctx.percentFont));
    SetTextColor(dc, black);
}

void ProgressTeardown(HWND page, HDC dc) {
    SelectObject(dc, ctx.savedFont);
    DeleteObject(ctx.percentFont);
    SelectObject(dc, ctx.savedPen);
    SelectObject(dc, ctx.savedBrush);
    DeleteObject(ctx.redPen);
    DeleteObject(ctx.whitePen);
    DeleteObject(ctx.redBrush);
    DeleteObject(ctx.whiteBrush);
    ReleaseDC(page, dc);
}

void ProgressStep(int32_t done, int32_t total, HDC dc, Repaint rule) {
    ProgressPoint p = ProgressAt(done, total, ctx.barLeft, ctx.barSpan);
    ctx.percent = p.percent;
    bool paint = false;
    switch (rule) {
    case Repaint::always:
        ctx.shownPercent = -1;
        paint = ctx.percent != ctx.shownPercent;
        break;
    case Repaint::whenChangedTo100:
        paint = ctx.percent != ctx.shownPercent && ctx.percent <= 100;
        break;
    case Repaint::whenChanged:
        paint = ctx.percent != ctx.shownPercent;
        break;
    }
    if (paint) ProgressPainter(dc, p.fillX);
}

void ProgressPainter(HDC dc, int32_t fillX) {
    SelectObject(dc, ctx.redBrush);
    SelectObject(dc, ctx.redPen);
    Rectangle(dc, ctx.barLeft, ctx.barTop, fillX, ctx.barBottom);
    ctx.shownPercent = ctx.percent;
    SelectObject(dc, ctx.whiteBrush);
    SelectObject(dc, ctx.whitePen);
    Rectangle(dc, fillX, ctx.barTop, ctx.barRight, ctx.barBottom);
    String text = DecimalText(ctx.percent) + "%";
    TextOutA(dc, ctx.textX, ctx.textY, text.c_str(), static_cast<int>(text.size()));
}

void PumpMessages(MSG& msg) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
