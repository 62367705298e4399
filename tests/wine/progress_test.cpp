// The progress bar on the screen: red up to the fill position, white after
// it, the percentage in black over it; and what reaches a progress page while
// it works.
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

namespace {

// The bar row above the text as the screen shows it while a disk prompt is
// open, the prompt moved aside first. `fraction` < 0: nothing painted yet.
void ExpectJoiningBar(HWND page, HWND prompt, double fraction) {
    SetWindowPos(prompt, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(300);
    ScreenImage screen = CaptureScreen();
    POINT origin{0, 0};
    ClientToScreen(page, &origin);
    Bar bar = MeasureBar(page);
    // Past 100 % the fill stays at the bar's end.
    int y = origin.y + bar.top + 2,
        fill = bar.left + static_cast<int>(std::min(fraction, 1.0) * bar.span + 0.5);
    RECT client;
    GetClientRect(page, &client);
    EXPECT_LT(fill, client.right) << "the end of the bar as painted is out of sight";
    std::string wrong;
    auto expect = [&](int x, bool ok) {
        if (!ok) wrong += " " + std::to_string(x);
    };
    for (int x = bar.left; x < bar.right + 40 && origin.x + x < screen.width; ++x) {
        uint32_t px = screen.At(origin.x + x, y);
        if (fraction < 0) expect(x, x >= bar.right || (px != red && px != white));
        else if (x < std::min(fill, bar.right)) expect(x, px == red);
        else if (x < bar.right) expect(x, px == white);
        else expect(x, px != red);  // nothing of the bar beyond its end
    }
    if (!wrong.empty()) {
        Screenshot(CurrentTestName() + "-bar");
        ADD_FAILURE() << "bar from " << bar.left << " to " << bar.right << ", fill at " << fill
                      << (fraction < 0 ? " (none)" : "") << "; wrong at x" << wrong;
    }
}

}  // namespace

TEST_P(ProgressBar, JoiningBarAtTheDiskPrompts) {
    // Volumes 1 and 2 (never decoded) and the bar at the prompts for disks 2
    // and 3, counted against 3,281,000 bytes.
    const struct {
        const char* what;
        size_t volume1, volume2;
        double atDisk2, atDisk3;
    } cases[] = {
        {"an empty first volume paints nothing", 0, 50000, -1, 50000 / 3281000.0},
        {"exactly the expected size paints 100 %", 3200000, 81000, 3200000 / 3281000.0, 1.0},
        // 102 % after the first volume; 104 % after the second is not painted.
        {"beyond 100 % on the first volume only", 3346620, 65620, 1.02, 1.02},
    };
    StageSmallDiskSet(false);
    DropIntegrityRecord();  // the volumes below are not the set's
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        run_.reset();
        DeleteFileA(VolumeBeside(2).c_str());
        ASSERT_TRUE(WriteFileText(VolumeBeside(1), NoiseBytes(c.volume1, 31)));
        PassQuestionPages();
        HWND prompt = run_->WaitWindow("Wardhaven!");
        ASSERT_NE(prompt, nullptr);
        HWND page = run_->FindWindowNow("Please Stand By...");
        ASSERT_NE(page, nullptr);
        ExpectJoiningBar(page, prompt, c.atDisk2);
        ASSERT_TRUE(WriteFileText(VolumeBeside(2), NoiseBytes(c.volume2, 32)));
        Click(prompt, IDOK);
        run_->WaitGone(prompt);
        prompt = run_->WaitWindow("Wardhaven!");
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(MessageText(prompt), "Please Insert Disk number 3");
        ExpectJoiningBar(page, prompt, c.atDisk3);
        Click(prompt, IDCANCEL);
        run_->WaitGone(prompt);
        ExpectTerminated();
    }
}

class ProgressFrame : public EngineTest {};

TEST_P(ProgressFrame, OnlyTheSpaceBarOnCancelAndTheCloseBoxAskWhileJoining) {
    // Keys reach the focused Cancel button directly, not through the dialog
    // manager: Enter and Escape do nothing, the space bar presses the button.
    const struct {
        const char* what;
        void (*act)(HWND);
        bool asks;
    } actions[] = {
        {"Enter", PressEnter, false},
        {"Escape", PressEscape, false},
        {"the space bar", [](HWND page) { PressKey(page, VK_SPACE); }, true},
        {"the close box", CloseBox, true},
        // The question has no owner: the button still takes a click while it is open.
        {"Cancel twice, one question", [](HWND page) { Click(page, IDCANCEL); Click(page, IDCANCEL); }, true},
    };
    StageSmallDiskSet(false);
    // Enough to copy for the whole scenario; never decoded.
    ASSERT_TRUE(WriteZeros(VolumeBeside(1), 256 << 20));
    PassQuestionPages();
    HWND page = WaitProgress(joiningLabel);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(FocusedControl(page), GetDlgItem(page, IDCANCEL));
    for (const auto& a : actions) {
        SCOPED_TRACE(a.what);
        a.act(page);
        if (a.asks) {
            HWND question = run_->WaitWindow("Exit Wardhaven!", 5000);
            ASSERT_NE(question, nullptr);
            Click(question, IDNO);
            ASSERT_TRUE(run_->WaitGone(question));
        } else {
            Settle(300);
            EXPECT_EQ(run_->FindWindowNow("Exit Wardhaven!"), nullptr);
        }
        // The copy goes on.
        uint64_t copied = FileSize(InstalledFile("Wardhaven._ZX"));
        Settle(100);
        EXPECT_GT(FileSize(InstalledFile("Wardhaven._ZX")), copied);
        EXPECT_EQ(run_->Captions(), std::vector<std::string>{"Please Stand By..."});
    }
    CancelProgressPage(page);
    ExpectTerminated();
    DeleteFileA(VolumeBeside(1).c_str());
}

INSTANTIATE_FOR_BOTH_FAMILIES(ProgressFrame);
