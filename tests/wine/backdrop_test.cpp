// The backdrop's pixels, read back from the screen while the first page is open.
#include "tests/wine/installer_fixture.h"

namespace {

// Blue of row y: one step every (height div 255) rows, every row on a screen
// with fewer rows than steps, black once the 255 steps are done.
int ExpectedBlue(int y, int height) {
    int band = height / 255;
    int steps = band == 0 ? y : y / band;
    return steps >= 255 ? 0 : 255 - steps;
}

// The "LOGO" bitmap as stored in the installer, as 0x00RRGGBB rows.
std::vector<uint32_t> LogoPixels(const std::string& exe) {
    std::vector<uint32_t> px(204 * 66);
    HMODULE m = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HBITMAP bmp = m ? static_cast<HBITMAP>(LoadImageA(m, "LOGO", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)) : nullptr;
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
    if (m) FreeLibrary(m);
    return px;
}

}  // namespace

class Backdrop : public InstallerTest {};

TEST_P(Backdrop, GradientTitleAndLogo) {
    SetupRun& run = Start();
    HWND page = run.WaitWindow("License Agreement");
    ASSERT_NE(page, nullptr);
    Settle(300);
    ScreenImage screen = CaptureScreen();
    Screenshot(CurrentTestName());
    const int w = screen.width, h = screen.height;

    // Column 5 is left of the title, the page and the logo on every row.
    int wrongRows = 0;
    for (int y = 0; y < h; ++y) {
        uint32_t want = static_cast<uint32_t>(ExpectedBlue(y, h));
        uint32_t got = screen.At(5, y);
        if (got != want && wrongRows++ < 5)
            ADD_FAILURE() << "row " << y << " of " << h << ": colour " << std::hex << got << ", want " << want;
    }
    EXPECT_EQ(wrongRows, 0);

    // The yellow title with a black shadow (a dark title would get a white one).
    int yellow = 0, black = 0;
    for (int y = 25; y < 80; ++y)
        for (int x = 22; x < 300; ++x) {
            yellow += screen.At(x, y) == 0xFFFF00;
            black += screen.At(x, y) == 0x000000;
        }
    EXPECT_GT(yellow, 500) << "title pixels";
    EXPECT_GT(black, 200) << "shadow pixels";

    // The logo, pixel for pixel, centred with its lower edge 6 pixels above the bottom.
    std::vector<uint32_t> logo = LogoPixels(setupPath_);
    int left = w / 2 - 102, top = h - 72, wrongLogo = 0;
    for (int y = 0; y < 66; ++y)
        for (int x = 0; x < 204; ++x)
            wrongLogo += screen.At(left + x, top + y) != logo[y * 204 + x];
    EXPECT_EQ(wrongLogo, 0) << "logo pixels differ at (" << left << ", " << top << ")";
    EXPECT_EQ(screen.At(left - 1, top + 10), static_cast<uint32_t>(ExpectedBlue(top + 10, h)));

    EscapeAndConfirm(page);
    ExpectTerminated();
}

INSTANTIATE_TEST_SUITE_P(Nt, Backdrop, testing::Values(Family::nt), FamilyParamName);
