// The progress bar on the screen: red up to the fill position, white after
// it, the percentage in black over it.
#include <algorithm>

#include "resources/resource.h"
#include "tests/wine/engine_scenario.h"

namespace {

// The bar in the page's client coordinates, measured as the page measures it:
// from the window rectangles of the frame control and the page, less the
// border and caption metrics (and 4 pixels at the right and bottom).
struct Bar {
    int left, top, right, bottom, span, textX, textY;
};

Bar MeasureBar(HWND page) {
    RECT frame, pg;
    GetWindowRect(GetDlgItem(page, IDC_PROGRESS_FRAME), &frame);
    GetWindowRect(page, &pg);
    int cx = GetSystemMetrics(SM_CXBORDER), cy = GetSystemMetrics(SM_CYBORDER), cap = GetSystemMetrics(SM_CYCAPTION);
    Bar b;
    b.left = frame.left - pg.left - cx;
    b.top = frame.top - pg.top - cap - cy;
    b.right = frame.right - pg.left - cx - 4;
    b.bottom = frame.bottom - pg.top - cap - cy - 4;
    b.span = b.right - b.left + 1;
    b.textX = b.left + (b.right - b.left) / 2 - 10;
    b.textY = b.top + (b.bottom - b.top) / 2 - 8;
    return b;
}

const uint32_t red = 0xFF0000, white = 0xFFFFFF;

// Black text, perhaps smoothed at its edges.
bool IsDark(uint32_t px) { return (px >> 16 & 0xFF) < 0x60 && (px >> 8 & 0xFF) < 0x60 && (px & 0xFF) < 0x60; }

}  // namespace

class ProgressBar : public EngineTest {};

TEST_P(ProgressBar, SevenPercentAfterTheFirstVolume) {
    // 229,670 of the 3,281,000 bytes counted as 100 %: exactly 7 %.
    product_[0].content = NoiseBytes(240000, 12);
    StageDiskSet(product_, "229670,5000", false);
    ASSERT_EQ(ReadFileText(VolumeBeside(1)).size(), 229670u);
    PassQuestionPages();
    HWND prompt = run_->WaitWindow("Wardhaven!");
    ASSERT_NE(prompt, nullptr);
    HWND page = run_->FindWindowNow("Please Stand By...");
    ASSERT_NE(page, nullptr);
    // The prompt is centred over the page: moved aside, it shows the bar as
    // painted (the page keeps its pixels; nothing repaints the bar).
    SetWindowPos(prompt, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(300);
    Screenshot(CurrentTestName());
    ScreenImage screen = CaptureScreen();
    POINT origin{0, 0};
    ClientToScreen(page, &origin);
    Bar bar = MeasureBar(page);
    int fill = bar.left + static_cast<int>(0.07 * bar.span + 0.5);
    int y = origin.y + bar.top + 2;  // above the text
    auto at = [&](int x, int yy) { return screen.At(origin.x + x, yy); };
    for (int x = bar.left; x < fill; ++x) EXPECT_EQ(at(x, y), red) << "x " << x << ", fill at " << fill;
    for (int x = fill; x < bar.right; ++x) EXPECT_EQ(at(x, y), white) << "x " << x << ", fill at " << fill;
    EXPECT_NE(at(bar.left - 1, y), red);
    // "7%" in 16-pixel Arial from textX: two glyphs, narrower than "70%" would be.
    int dark = 0, first = 1 << 30, last = -1;
    for (int ty = bar.textY; ty < bar.textY + 16; ++ty)
        for (int tx = bar.textX - 10; tx < bar.textX + 50; ++tx)
            if (IsDark(at(tx, origin.y + ty))) {
                ++dark;
                first = std::min(first, tx);
                last = std::max(last, tx);
            }
    EXPECT_GT(dark, 15) << "the percentage text";
    EXPECT_GE(first, bar.textX) << "the text starts at textX";
    EXPECT_LE(last - first + 1, 20) << "wider than \"7%\"";
    EXPECT_GE(last - first + 1, 9) << "narrower than \"7%\"";
    InsertVolume(2);
    InsertVolume(3);
    Click(prompt, IDOK);
    ASSERT_NE(WaitProgress(unpackingLabel), nullptr);
    FinishInstallation();
    ExpectInstalled(installDir_, product_);
}

INSTANTIATE_FOR_BOTH_FAMILIES(ProgressBar);
