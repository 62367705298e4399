#include "backdrop/backdrop.h"

#include "backdrop/gradient.h"
#include "runtime/guards.h"
#include "runtime/system_dlls.h"
#include "state/context.h"

namespace {

Rgb ToRgb(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }
COLORREF ToColour(Rgb c) { return RGB(c.r, c.g, c.b); }

void FillSolid(HDC dc, const RECT& area, Rgb colour) {
    GdiObject<HBRUSH> brush(CreateSolidBrush(ToColour(colour)));
    FillRect(dc, &area, brush.Get());
}

// One brush per row; the colour moves one step every `band` rows (band may be
// 0 on a screen with fewer rows than steps: then it moves on every row).
void PaintGradient(HDC dc) {
    Rgb colour = ToRgb(product.gradientTop), target = ToRgb(product.gradientBottom);
    int steps = GradientSteps(colour, target);
    if (steps == 0) {
        RECT all = {0, 0, ctx.screenWidth, ctx.screenHeight};
        FillSolid(dc, all, colour);
        return;
    }
    int band = ctx.screenHeight / steps, counter = 0;
    for (int y = 0; y < ctx.screenHeight; ++y) {
        RECT row = {0, y, ctx.screenWidth, y + 1};
        FillSolid(dc, row, colour);
        if (++counter >= band) {
            counter = 0;
            colour = StepToward(colour, target);
        }
    }
}

void DrawLine(HDC dc, int x, int y, const String& text) {
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void PaintTitle(HDC dc) {
    GdiObject<HFONT> font(CreateFontA(44, 0, 0, 0, 900, TRUE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Times New Roman"));
    SelectedObject selected(dc, font.Get());
    SetTextColor(dc, ToColour(ShadowFor(ToRgb(product.titleColour))));
    DrawLine(dc, 24, 28, product.installTitle);
    SetTextColor(dc, product.titleColour);
    DrawLine(dc, 22, 25, product.installTitle);
}

void PaintLogo(HDC dc) {
    MemoryDC memory(dc);
    SelectedObject selected(memory.Get(), ctx.logoBitmap);
    BitBlt(dc, ctx.screenWidth / 2 - 102, ctx.screenHeight - 72, 204, 66, memory.Get(), 0, 0, SRCCOPY);
}

// 200 pixels left of the right edge, or as far left as a wider line needs to
// end on the screen (where another font stands in for "Small"). Looked up,
// not imported: the import list does not carry the measuring call.
int NoticeLeft(HDC dc, const String& text) {
    typedef BOOL(WINAPI * TextExtent)(HDC, LPCSTR, int, LPSIZE);
    TextExtent measure = LoadedFunction<TextExtent>("GDI32", "GetTextExtentPoint32A");
    SIZE size = {200, 0};
    if (measure) measure(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return ctx.screenWidth - (size.cx > 200 ? size.cx : 200);
}

// Drawn in the title colour, which PaintTitle left selected.
void PaintNotice(HDC dc) {
    GdiObject<HFONT> font(CreateFontA(12, 0, 0, 0, 900, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Small"));
    SelectedObject selected(dc, font.Get());
    DrawLine(dc, NoticeLeft(dc, product.noticeLine), ctx.screenHeight - 20, product.noticeLine);
}

}  // namespace

void PaintBackdrop() {
    // The window DC, not a paint DC: the whole screen is redrawn every time.
    WindowDC dc(ctx.mainWindow);
    PaintGradient(dc.Get());
    SetBkMode(dc.Get(), TRANSPARENT);
    PaintTitle(dc.Get());
    PaintLogo(dc.Get());
    PaintNotice(dc.Get());
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
