// The backdrop's pixels, read back from the screen while the first page is
// open and moved off the screen. The same scenarios run on screens of three
// sizes (see CMakeLists.txt), one of them fewer rows high than the gradient
// has steps.
#include <algorithm>
#include <cstring>

#include "tests/wine/installer_fixture.h"

namespace {

// Blue of row y: one step every (height div 255) rows, every row on a screen
// with fewer rows than steps, black once the 255 steps are done.
int ExpectedBlue(int y, int height) {
    int band = height / 255;
    int steps = band == 0 ? y : y / band;
    return steps >= 255 ? 0 : 255 - steps;
}

// The logo the installer's packed copy is made from (lzh_tests checks that
// copy against it), read by the system, as 0x00RRGGBB rows.
std::vector<uint32_t> LogoPixels() {
    std::vector<uint32_t> px(204 * 66);
    HBITMAP bmp = static_cast<HBITMAP>(
        LoadImageA(nullptr, WH_SOURCE_LOGO, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (bmp) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = 204;
        bi.bmiHeader.biHeight = -66;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        HDC dc = GetDC(nullptr);
        GetDIBits(dc, bmp, 0, 66, px.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        DeleteObject(bmp);
        for (uint32_t& p : px) p &= 0x00FFFFFF;
    }
    return px;
}

const uint32_t yellow = 0xFFFF00;

// The product's colours as the installer stores them: gradient top (blue),
// bottom (black), title (yellow), followed by the disk count.
const uint32_t productColours[] = {0x00FF0000, 0x00000000, 0x0000FFFF, 3};

// A copy of the installer painting its gradient from `top` to `bottom`.
bool SetGradientColours(const std::string& exe, COLORREF top, COLORREF bottom) {
    std::string image = ReadFileText(exe), key(reinterpret_cast<const char*>(productColours), sizeof productColours);
    size_t at = image.find(key);
    if (at == std::string::npos || image.find(key, at + 1) != std::string::npos) return false;
    memcpy(&image[at], &top, 4);
    memcpy(&image[at + 4], &bottom, 4);
    return WriteFileText(exe, image);
}

}  // namespace

class Backdrop : public InstallerTest {
protected:
    // The backdrop as painted behind the first page, with that page moved off
    // the screen (on a small screen it covers it all).
    ScreenImage ShowBackdrop() {
        HWND page = Start().WaitWindow("License Agreement");
        if (!page) return {};
        page_ = page;
        SetWindowPos(page, nullptr, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Settle(300);
        Screenshot(CurrentTestName());
        return CaptureScreen();
    }
    void Leave() {
        EscapeAndConfirm(page_);
        ExpectTerminated();
    }
    HWND page_ = nullptr;
};

TEST_P(Backdrop, GradientTitleLogoAndNotice) {
    ScreenImage screen = ShowBackdrop();
    ASSERT_NE(page_, nullptr);
    const int w = screen.width, h = screen.height;

    // Column 5 is left of the title and the logo on every row.
    int wrongRows = 0;
    for (int y = 0; y < h; ++y) {
        uint32_t want = static_cast<uint32_t>(ExpectedBlue(y, h));
        uint32_t got = screen.At(5, y);
        if (got != want && wrongRows++ < 5)
            ADD_FAILURE() << "row " << y << " of " << h << ": colour " << std::hex << got << ", want " << want;
    }
    EXPECT_EQ(wrongRows, 0);

    // The yellow title with a black shadow (a dark title would get a white one).
    int title = 0, black = 0;
    for (int y = 25; y < 80; ++y)
        for (int x = 22; x < 300; ++x) {
            title += screen.At(x, y) == yellow;
            black += screen.At(x, y) == 0x000000;
        }
    EXPECT_GT(title, 500) << "title pixels";
    EXPECT_GT(black, 200) << "shadow pixels";

    // The logo, pixel for pixel, centred with its lower edge 6 pixels above the
    // bottom; on a narrow screen the notice is drawn over its lower rows.
    std::vector<uint32_t> logo = LogoPixels();
    int left = w / 2 - 102, top = h - 72, wrongLogo = 0;
    bool noticeClearOfLogo = w - 200 >= left + 204;
    for (int y = 0; y < (noticeClearOfLogo ? 66 : 52); ++y)
        for (int x = 0; x < 204; ++x)
            wrongLogo += screen.At(left + x, top + y) != logo[y * 204 + x];
    EXPECT_EQ(wrongLogo, 0) << "logo pixels differ at (" << left << ", " << top << ")";
    EXPECT_EQ(screen.At(left - 1, top + 10), static_cast<uint32_t>(ExpectedBlue(top + 10, h)));

    // The notice in the title's colour, 12 pixels high from 200 left of the right
    // edge (further left when wider, to end on the screen) and 20 above the bottom.
    if (noticeClearOfLogo) {
        int notice = 0, minX = w, minY = h, maxY = 0;
        for (int y = top; y < h; ++y)
            for (int x = left + 204; x < w; ++x)
                if (screen.At(x, y) == yellow) {
                    ++notice;
                    minX = std::min(minX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
        EXPECT_GT(notice, 100) << "notice pixels";
        SIZE size{};  // its width in the small bold font, as this prefix draws it
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, CreateFontA(12, 0, 0, 0, 900, 0, 0, 0, 0, 0, 0, 0, 0, "Small"));
        GetTextExtentPoint32A(dc, "(c) Wardhaven Software Foundation", 33, &size);
        DeleteObject(SelectObject(dc, old));
        ReleaseDC(nullptr, dc);
        EXPECT_GE(minX, w - std::max(200L, size.cx));
        EXPECT_LE(minX, w - std::max(200L, size.cx) + 3) << "the notice starts at its x";
        EXPECT_GE(minY, h - 20);
        EXPECT_LT(maxY, h - 8);
    }
    Leave();
}

TEST_P(Backdrop, EqualTopAndBottomColoursFillTheScreenWithOne) {
    const COLORREF colour = RGB(0x20, 0x80, 0x40);
    ASSERT_TRUE(SetGradientColours(setupPath_, colour, colour));
    ScreenImage screen = ShowBackdrop();
    ASSERT_NE(page_, nullptr);
    // The left column, a row above the title and one below the logo and the notice.
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < screen.height; ++y) points.emplace_back(5, y);
    for (int x = 0; x < screen.width; ++x) points.emplace_back(x, 5), points.emplace_back(x, screen.height - 3);
    int wrong = 0;
    for (auto [x, y] : points)
        if (screen.At(x, y) != 0x208040 && wrong++ < 5)
            ADD_FAILURE() << "(" << x << ", " << y << "): colour " << std::hex << screen.At(x, y) << ", want 208040";
    EXPECT_EQ(wrong, 0);
    Leave();
}

INSTANTIATE_TEST_SUITE_P(Nt, Backdrop, testing::Values(Family::nt), FamilyParamName);
