#include "backdrop/backdrop.h"

#include "backdrop/gradient.h"
#include "setup/context.h"

namespace {

Rgb toRgb(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }
COLORREF toColour(Rgb c) { return RGB(c.r, c.g, c.b); }

void fillSolid(HDC dc, const RECT& area, Rgb colour) {
    HBRUSH brush = CreateSolidBrush(toColour(colour));
    FillRect(dc, &area, brush);
    DeleteObject(brush);
}

// One brush per row; the colour moves one step every `band` rows (band may be
// 0 on a screen with fewer rows than steps: then it moves on every row).
void paintGradient(HDC dc) {
    Rgb colour = toRgb(product.gradientTop), target = toRgb(product.gradientBottom);
    int steps = GradientSteps(colour, target);
    if (steps == 0) {
        RECT all = {0, 0, ctx.screenWidth, ctx.screenHeight};
        fillSolid(dc, all, colour);
        return;
    }
    int band = ctx.screenHeight / steps, counter = 0;
    for (int y = 0; y < ctx.screenHeight; ++y) {
        RECT row = {0, y, ctx.screenWidth, y + 1};
        fillSolid(dc, row, colour);
        if (++counter >= band) {
            counter = 0;
            colour = StepToward(colour, target);
        }
    }
}

void paintTitle(HDC dc) {
    HFONT font = CreateFontA(44, 0, 0, 0, 900, TRUE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, "Times New Roman");
    HGDIOBJ previous = SelectObject(dc, font);
    const std::string& title = product.installTitle;
    SetTextColor(dc, toColour(ShadowFor(toRgb(product.titleColour))));
    TextOutA(dc, 24, 28, title.c_str(), static_cast<int>(title.size()));
    SetTextColor(dc, product.titleColour);
    TextOutA(dc, 22, 25, title.c_str(), static_cast<int>(title.size()));
    SelectObject(dc, previous);
    DeleteObject(font);
}

void paintLogo(HDC dc) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, ctx.logoBitmap);
    BitBlt(dc, ctx.screenWidth / 2 - 102, ctx.screenHeight - 72, 204, 66, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

// Drawn in the title colour, which paintTitle left selected.
void paintNotice(HDC dc) {
    HFONT font = CreateFontA(12, 0, 0, 0, 900, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Small");
    HGDIOBJ previous = SelectObject(dc, font);
    const std::string& notice = product.noticeLine;
    TextOutA(dc, ctx.screenWidth - 200, ctx.screenHeight - 20, notice.c_str(), static_cast<int>(notice.size()));
    SelectObject(dc, previous);
    DeleteObject(font);
}

}  // namespace

void PaintBackdrop() {
    // The window DC, not a paint DC: the whole screen is redrawn every time.
    HDC dc = GetDC(ctx.mainWindow);
    paintGradient(dc);
    SetBkMode(dc, TRANSPARENT);
    paintTitle(dc);
    paintLogo(dc);
    paintNotice(dc);
    ReleaseDC(ctx.mainWindow, dc);
}

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
    case WM_DESTROY:
        PostMessageA(window, WM_QUIT, 0, 0);
        break;
    case WM_PAINT:
        PaintBackdrop();
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
