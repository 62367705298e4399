// The agreement page under Wine: the text box as created, the text's blocks,
// a box that cannot be typed into or tabbed into, and the page's two ends.
#include "tests/wine/installer_fixture.h"

namespace {

const char* const productName = "Wardhaven!";
const char* const blockBreak = "\r\n\r\n";

// The box is created at run time with control id 0.
HWND AgreementBox(HWND page) { return GetDlgItem(page, 0); }

LRESULT SendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &r);
    return static_cast<LRESULT>(r);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

std::vector<std::string> Blocks(const std::string& text) {
    std::vector<std::string> all;
    size_t from = 0;
    for (size_t at; (at = text.find(blockBreak, from)) != std::string::npos; from = at + 4)
        all.push_back(text.substr(from, at - from));
    all.push_back(text.substr(from));
    return all;
}

// Length of the displayed line that starts `offset` characters into the box, and of its neighbours.
struct ShownLine {
    bool startsThere;
    LRESULT length, before, after;
};

ShownLine ShownLineAt(HWND box, size_t offset) {
    LRESULT line = SendTo(box, EM_LINEFROMCHAR, offset);
    LRESULT start = SendTo(box, EM_LINEINDEX, line);
    return {start == static_cast<LRESULT>(offset), SendTo(box, EM_LINELENGTH, start),
            SendTo(box, EM_LINELENGTH, SendTo(box, EM_LINEINDEX, line - 1)),
            SendTo(box, EM_LINELENGTH, SendTo(box, EM_LINEINDEX, line + 1))};
}

}  // namespace

class Agreement : public InstallerTest {
protected:
    HWND Open() {
        Start();
        return run_->WaitWindow("License Agreement");
    }
};

TEST_P(Agreement, TextBoxIsCreatedInPixelsAsAReadOnlyScrollingBox) {
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    HWND box = AgreementBox(page);
    ASSERT_NE(box, nullptr) << "no control with id 0";
    char cls[32] = "";
    GetClassNameA(box, cls, sizeof cls);
    EXPECT_STRCASEEQ(cls, "Edit");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(box, GWL_STYLE)), 0x50200804u);
    EXPECT_TRUE(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    RECT r;
    GetWindowRect(box, &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 380);
    EXPECT_EQ(r.bottom - r.top, 200);
    Screenshot(CurrentTestName());
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(Agreement, TextHasItsBlocksHeadingsAndProductName) {
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    HWND box = AgreementBox(page);
    std::string text = WindowText(box);
    EXPECT_GE(text.size(), 3700u);
    EXPECT_LE(text.size(), 4000u);
    EXPECT_EQ(Count(text, productName), 18u);
    EXPECT_EQ(Count(text, blockBreak), 11u);
    EXPECT_EQ(Count(text, "\r\n"), 22u) << "no line breaks besides the block breaks";
    EXPECT_EQ(Count(text, "  "), 0u) << "the product name is inserted bare";
    EXPECT_NE(text.substr(text.size() - 2), "\r\n") << "no break at the end";

    std::vector<std::string> b = Blocks(text);
    ASSERT_EQ(b.size(), 12u);
    EXPECT_EQ(b[0].back(), ':') << b[0];
    EXPECT_EQ(b[1], "LICENSE TO USE ");
    EXPECT_EQ(b[3], "SOFTWARE MAINTENANCE");
    EXPECT_EQ(b[5], "LIMITED WARRANTY AND DISCLAIMER OF WARRANTY");
    EXPECT_EQ(b[9], "ACKNOWLEDGMENT");
    for (size_t i : {0, 2, 4, 6, 7, 8, 10, 11}) EXPECT_GT(b[i].size(), 60u) << "block " << i + 1 << ": " << b[i];
    EXPECT_NE(b[11].find(productName), std::string::npos) << "the trademark notice names the product";

    // On the screen each heading is a line of its own between two empty lines.
    for (const char* heading : {"LICENSE TO USE ", "SOFTWARE MAINTENANCE", "ACKNOWLEDGMENT"}) {
        ShownLine line = ShownLineAt(box, text.find(heading));
        EXPECT_TRUE(line.startsThere) << heading;
        EXPECT_EQ(line.length, static_cast<LRESULT>(strlen(heading))) << heading;
        EXPECT_EQ(line.before, 0) << heading;
        EXPECT_EQ(line.after, 0) << heading;
    }
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(Agreement, TextCanBeSelectedButNotChanged) {
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    HWND box = AgreementBox(page);
    std::string before = WindowText(box);
    EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & ES_READONLY);

    // A click puts the caret into the box; then everything is selected and typed over.
    PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    PostMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    Settle();
    EXPECT_EQ(FocusedControl(page), box);
    SendTo(box, EM_SETSEL, 0, -1);
    for (char c : std::string("typed"))
        PostMessageA(box, WM_CHAR, static_cast<WPARAM>(c), 1);
    PressKey(page, VK_DELETE);
    PressKey(page, VK_BACK);
    PostMessageA(box, WM_CUT, 0, 0);
    PostMessageA(box, WM_CLEAR, 0, 0);
    Settle();
    LRESULT selection = SendTo(box, EM_GETSEL);
    size_t start = LOWORD(selection), end = HIWORD(selection);
    EXPECT_EQ(end - start, before.size()) << "the selection stays whole";
    EXPECT_EQ(WindowText(box), before);
    EXPECT_EQ(run_->FindWindowNow("License Agreement"), page);
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(Agreement, TabPassesTheTextBoxBy) {
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    HWND box = AgreementBox(page);
    ASSERT_EQ(FocusedControl(page), GetDlgItem(page, IDOK)) << "focus starts on I Agree";
    PressKey(page, VK_TAB);
    Settle();
    EXPECT_EQ(FocusedControl(page), GetDlgItem(page, IDCANCEL)) << "Tab from I Agree goes to Exit";
    for (int i = 0; i < 4; ++i) {
        PressKey(page, VK_TAB);
        Settle();
        EXPECT_NE(FocusedControl(page), box) << "after " << i + 2 << " presses of Tab";
    }
    EscapeAndConfirm(page);
    ExpectTerminated();
}

TEST_P(Agreement, EnterRightAfterOpeningAccepts) {
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    PressEnter(page);
    ASSERT_TRUE(run_->WaitGone(page));
    HWND destination = run_->WaitWindow("Destination Directory");
    ASSERT_NE(destination, nullptr);
    EscapeAndConfirm(destination);
    ExpectTerminated();
}

TEST_P(Agreement, EscapeAsksNoKeepsThePageYesAbandonsDeletingNothing) {
    // Files named like the archive and the main executable beside the installer are not ours.
    const std::string archive = disk_ + "\\Wardhaven._ZX", program = disk_ + "\\Wardhavn.Exe";
    ASSERT_TRUE(WriteFileText(archive, "archive"));
    ASSERT_TRUE(WriteFileText(program, "program"));
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    std::string text = WindowText(AgreementBox(page));
    PressEscape(page);
    HWND box = run_->WaitWindow("Exit Wardhaven!");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "Do you really want to terminate the Setup program?");
    Click(box, IDNO);
    ASSERT_TRUE(run_->WaitGone(box));
    Settle();
    EXPECT_EQ(run_->FindWindowNow("License Agreement"), page);
    EXPECT_EQ(WindowText(AgreementBox(page)), text);
    EscapeAndConfirm(page);
    ExpectTerminated();
    EXPECT_EQ(ReadFileText(archive), "archive");
    EXPECT_EQ(ReadFileText(program), "program");
}

INSTANTIATE_FOR_BOTH_FAMILIES(Agreement);
