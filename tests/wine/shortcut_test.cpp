// The program group shortcut, made in this process with the installer's own
// step and read back through the shell link object and the file's bytes.
#include <gtest/gtest.h>

#include <thread>

#include "runtime/system_dlls.h"
#include "state/context.h"
#include "system/shortcut.h"
#include "tests/string_print.h"
#include "tests/wine/driver.h"
#include "tests/wine/link_probe.h"
#include "tests/wine/registry_probe.h"

namespace {

const char shellFolders[] = "Software\\microsoft\\windows\\currentversion\\explorer\\Shell Folders";

// Names of the files in `dir` that start with `prefix` (case-insensitive).
std::vector<std::string> FilesStartingWith(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\" + prefix + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

class ShortcutStep : public testing::Test {
protected:
    void SetUp() override {
        scratch_ = ScratchDir(CurrentTestName());
        installDir_ = scratch_ + "\\Inst";
        MakeDirs(installDir_);
        ASSERT_TRUE(WriteFileText(installDir_ + "\\Wardhavn.Exe", "MZ"));
        SetCurrentDirectoryA(installDir_.c_str());  // as the destination page leaves it
        savedGroup_ = product.groupName;
        savedMain_ = product.mainExecutable;
        savedPrograms_ = ReadRegValue(HKEY_CURRENT_USER, shellFolders, "Programs");
        programs_ = ProgramsDir();
        ASSERT_FALSE(programs_.empty());
        ctx.installDir = installDir_.c_str();
    }
    void TearDown() override {
        SetCurrentDirectoryA("C:\\");
        product.groupName = savedGroup_;
        product.mainExecutable = savedMain_;
        ctx.installDir.clear();
        RestoreRegValue(HKEY_CURRENT_USER, shellFolders, "Programs", savedPrograms_);
        for (const std::string& f : made_) DeleteFileA(f.c_str());
    }

    // Runs the step for `group` and answers the box in which it reports a failure:
    // its text, or "" without one. A shortcut it makes is removed after the test.
    std::string Reported(const std::string& group, const std::string& folder) {
        std::string text;
        std::thread answer([&text] {
            HWND box = nullptr;
            for (int ms = 0; ms < 3000 && !(box = FindWindowA("#32770", "Wardhaven!")); ms += 20) Sleep(20);
            if (box) text = MessageText(box), PostMessageA(box, WM_COMMAND, IDOK, 0);
        });
        MakeFor(group, folder);
        answer.join();
        return text;
    }
    // Runs the step for `group`; the shortcut it should make is removed after the test.
    std::string MakeFor(const std::string& group, const std::string& folder) {
        product.groupName = group.c_str();
        std::string path = folder + "\\" + group + ".LNK";
        made_.push_back(path);
        MakeProgramShortcut();
        return path;
    }

    std::string scratch_, installDir_, programs_;
    String savedGroup_, savedMain_;
    RegValue savedPrograms_;
    std::vector<std::string> made_;
};

}  // namespace

TEST_F(ShortcutStep, FiveLetterGroupGivesThatNameAndLnkInTheProgramsFolder) {
    std::string path = MakeFor("Games", programs_);
    EXPECT_EQ(FilesStartingWith(programs_, "Games"), std::vector<std::string>{"Games.LNK"});
    LinkFile link = ReadLinkFile(path);
    ASSERT_TRUE(link.loaded) << path;
    EXPECT_EQ(link.target, installDir_ + "\\Wardhavn.Exe");
    EXPECT_EQ(link.workingDir, installDir_);
    EXPECT_EQ(link.showCommand, static_cast<uint32_t>(SW_SHOWNORMAL));
    EXPECT_EQ(product.groupName, "Games.LNK") << "the name keeps its extension for the rest of the run";
    EXPECT_TRUE(FilesStartingWith(installDir_, "Games").empty());
}

TEST_F(ShortcutStep, StagedExecutableShortcutNamesTheFileTheRestartPutsInPlace) {
    ASSERT_TRUE(WriteFileText(installDir_ + "\\Wardhavn.$$$", "MZ"));
    product.mainExecutable = "Wardhavn.$$$";
    LinkFile link = ReadLinkFile(MakeFor("Stage", programs_));
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, installDir_ + "\\Wardhavn.Exe");
    EXPECT_EQ(product.mainExecutable, "Wardhavn.$$$") << "only the shortcut uses the unstaged name";
}

TEST_F(ShortcutStep, EmptyGroupNameGivesAFileNamedDotLnk) {
    std::string path = MakeFor("", programs_);
    EXPECT_EQ(path, programs_ + "\\.LNK");
    EXPECT_TRUE(ReadLinkFile(path).loaded);
    EXPECT_EQ(product.groupName, ".LNK");
}

TEST_F(ShortcutStep, NameAFileCannotCarryMakesNothingAndIsReported) {
    EXPECT_EQ(Reported("Bad<Na>me", programs_), "The shortcut " + programs_ + "\\Bad<Na>me.LNK could not be made.");
    EXPECT_TRUE(FilesStartingWith(programs_, "Bad").empty());
    EXPECT_TRUE(FilesStartingWith(installDir_, "Bad").empty());
    EXPECT_EQ(product.groupName, "Bad<Na>me.LNK");
}

TEST_F(ShortcutStep, ExistingShortcutOfTheSameNameIsOverwritten) {
    std::string path = programs_ + "\\Games.LNK";
    ASSERT_TRUE(WriteFileText(path, "not a shortcut"));
    MakeFor("Games", programs_);
    LinkFile link = ReadLinkFile(path);
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, installDir_ + "\\Wardhavn.Exe");
}

TEST_F(ShortcutStep, ProgramsValueOfTheRegistryIsWhereTheShortcutGoes) {
    std::string menu = scratch_ + "\\Menu";
    MakeDirs(menu);
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, shellFolders, "Programs", REG_SZ, menu + std::string(1, '\0')));
    std::string path = MakeFor("Games", menu);
    EXPECT_TRUE(ReadLinkFile(path).loaded);
}

TEST_F(ShortcutStep, WithoutTheProgramsValueTheShellsOwnFolderIsUsed) {
    RestoreRegValue(HKEY_CURRENT_USER, shellFolders, "Programs", RegValue());
    ASSERT_FALSE(ReadRegValue(HKEY_CURRENT_USER, shellFolders, "Programs").present);
    std::string path = MakeFor("Games", programs_);
    EXPECT_TRUE(ReadLinkFile(path).loaded) << "not in " << programs_;
    EXPECT_TRUE(FilesStartingWith(installDir_, "Games").empty()) << "no stray shortcut in the current directory";
}

TEST_F(ShortcutStep, PathTooLongForTheWideBufferIsNotSavedCut) {
    std::string menu = scratch_ + "\\Menu";
    MakeDirs(menu);
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, shellFolders, "Programs", REG_SZ, menu + std::string(1, '\0')));
    std::string group(250 - menu.size(), 'G');  // 255 characters with the backslash and ".LNK"
    EXPECT_NE(Reported(group, menu), "");
    EXPECT_TRUE(FilesStartingWith(menu, "G").empty()) << "a cut name would be another file";

    group.resize(group.size() - 1);  // 254: just fits
    std::string path = MakeFor(group, menu);
    EXPECT_EQ(path.size(), 254u);
    EXPECT_TRUE(ReadLinkFile(path).loaded);
}

// Where the system cannot limit the search (95 to an unpatched 7; Wine always
// can), the guard loads the usual victims from the system directory at once.
TEST(DllGuard, WithoutASearchLimitTheUsualVictimsComeFromTheSystemDirectory) {
    const char* const spread[] = {"SETUPAPI", "OLEACC", "WINMM"};  // early, middle and late in its table
    for (const char* name : spread) ASSERT_EQ(GetModuleHandleA(name), nullptr) << name << " is loaded already";
    LoadUsualDllsFromSystemDirectory();
    char system[MAX_PATH], path[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    for (const char* name : spread) {
        GetModuleFileNameA(GetModuleHandleA(name), path, MAX_PATH);
        EXPECT_EQ(std::string(CharUpperA(path)), CharUpperA(system) + ("\\" + std::string(name) + ".DLL"));
    }
}
