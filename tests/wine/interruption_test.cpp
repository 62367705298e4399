// Cut off at any moment: an installation or an uninstallation ended with
// TerminateProcess just before one of its changes to a file or the registry
// (or at its last message), then run again to its end, leaves what a run that
// was never cut off leaves. The points come from a seeded schedule over every
// phase of one uninterrupted run, counted under the same watch: WH_KILL_POINTS
// sets the points of each row (more than a run has changes: every change),
// WH_KILL_SEED the seed, and WH_KILL_LIST=1 lists every change of a row; the
// seed is printed, and each point with the change it comes before, so that a
// failure can be replayed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "resources/resource.h"
#include "tests/wine/change_watch.h"
#include "tests/wine/installer_fixture.h"
#include "tests/wine/link_probe.h"

namespace {

const char uninstallEntry[] = "Software\\microsoft\\windows\\currentversion\\uninstall\\Wardhaven!";
const char runOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string systemTaskManager = "Windows' own task manager";
const char lastMessage[] = "last message";
const char inProfileWrite[] = "within the system's SYSTEM.INI write";

// Which program is cut off, where the product goes, and the points it gets
// unless WH_KILL_POINTS says otherwise. An uninstallation on C: comes after
// the restart (the moved Task Manager is restored), one on D: before it (the
// waiting moves and the staged copy are taken back).
struct Row {
    bool uninstall;
    bool driveD;
    int points;
};
const Row rows[] = {{false, false, 30}, {false, true, 30}, {true, false, 12}, {true, true, 12}};

struct Point {
    int change;  // the change it comes before; -1: at the last message
    std::string phase;
};

int EnvNumber(const char* name, int fallback) {
    char text[32] = "";
    return GetEnvironmentVariableA(name, text, sizeof text) ? atoi(text) : fallback;
}

bool SamePath(const std::string& a, const std::string& b) { return Lower(ShortPathOf(a)) == Lower(ShortPathOf(b)); }

// Both records of what the next start moves, as (destination, source): the
// lines of WinInit.Ini, and the NT family's list without its marks. Wine
// carries out both, whatever the family.
using Moves = std::vector<std::pair<std::string, std::string>>;
Moves WaitingMoves(bool list) {
    Moves moves;
    if (list) {
        std::vector<std::string> s = PendingRenames();
        auto plain = [](std::string p) {
            return p.substr(p.rfind("\\??\\", 1) == std::string::npos ? 0 : p.find('?') + 3);
        };
        for (size_t i = 0; i < s.size(); i += 2)
            moves.push_back({i + 1 < s.size() ? plain(s[i + 1]) : "", plain(s[i])});
        return moves;
    }
    std::istringstream lines(ReadFileText(WinInitPath()));
    for (std::string line; std::getline(lines, line);) {
        size_t equals = line.find('=');
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (equals != std::string::npos) moves.push_back({line.substr(0, equals), line.substr(equals + 1)});
    }
    return moves;
}

std::string Fingerprint(const std::string& bytes) {
    uint32_t h = 2166136261u;
    for (unsigned char c : bytes)
        h = (h ^ c) * 16777619u;
    char text[32];
    snprintf(text, sizeof text, "%zu bytes %08x", bytes.size(), h);
    return text;
}

}  // namespace

class Interruption : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        StageDiskSet(product_, "8000,8000", true);
    }
    void TearDown() override {
        Reset();
        RemoveTree("D:\\WHKILL");
        DeleteFileA((WindowsDir() + "\\TaskMan.Exe").c_str());
        InstallerTest::TearDown();
    }

    bool Nt() const { return GetParam() != Family::win98; }

    std::string ShellValue() const {
        if (Nt()) return LogonShellValue();
        char value[MAX_PATH] = "";
        GetPrivateProfileStringA("Boot", "Shell", "(none)", value, sizeof value, SystemIniPath().c_str());
        return value;
    }

    // Nothing left of an earlier point but an earlier version's file, which
    // the installation sets aside while it places its own; the system's own
    // Task Manager in place.
    void Reset() {
        run_.reset();
        RemoveTree(installDir_);
        RemoveTree("D:\\WHKILL");
        MakeDirs(installDir_);
        ASSERT_TRUE(WriteFileText(InstalledFile("Tips.Txt"), "an earlier version's tips"));
        for (const char* name : {"TaskMan.Exe", "TaskMang.Exe", "TaskMan.$$$", "TaskMan.$$1", "wininit.bak",
                                 "WinInit.Ini", "WinInit.$$$", "WhOther.Dll", "WhOther.$$$", "Wardhavn.Jnl"})
            DeleteFileA((WindowsDir() + "\\" + name).c_str());
        saved_.Restore();
        RestoreRegValue(HKEY_LOCAL_MACHINE, runOnce, "Wardhaven! folder", RegValue());
        ASSERT_TRUE(WriteFileText(WindowsDir() + "\\TaskMan.Exe", systemTaskManager));
    }

    // Runs the installer, or the installation's uninstaller, to its end as a
    // person would: every page answered with both options chosen, the restart
    // and the run declined; the uninstaller's question answered Yes. Ended at
    // its last message instead when `killThere`. Returns the uninstaller's last message.
    std::string Run(bool uninstall, ChangeWatch* watch, bool killThere) {
        run_.reset(new SetupRun(uninstall ? InstalledFile("UnInstal.Exe") : setupPath_, GetParam(), "", watch));
        std::string last;
        for (DWORD start = GetTickCount(); run_->Running(); Sleep(10)) {
            if (GetTickCount() - start > 60000) {
                Screenshot(CurrentTestName() + "-stuck");
                ADD_FAILURE() << "still running after a minute; open dialogs: "
                              << testing::PrintToString(run_->Captions());
                run_->Kill();
            }
            HWND w = nullptr;
            if ((w = run_->FindWindowNow("License Agreement")) || (w = run_->FindWindowNow("Program Group"))) {
                PressEnter(w);
            } else if ((w = run_->FindWindowNow("Destination Directory"))) {
                SetItemText(w, IDC_DESTINATION_EDIT, installDir_);
                PressEnter(w);
            } else if ((w = run_->FindWindowNow("Windows Interface"))) {
                for (int box : {IDC_TASK_MANAGER_BOX, IDC_SHELL_BOX})
                    if (!IsChecked(w, box)) Click(w, box);
                Settle(50);
                Click(w, IDOK);
            } else if ((w = run_->FindWindowNow("Wardhaven!")) || (w = run_->FindWindowNow("Application Error"))) {
                std::string text = MessageText(w);
                bool question = text.find("Do you") == 0, restart = text.find("Reboot Windows?") != std::string::npos;
                if (WindowText(w) == "Application Error") ADD_FAILURE() << text;
                if (!question && !restart) last = text;
                if (killThere && (restart || (uninstall && !question)))
                    run_->Kill();
                else
                    Click(w, question && uninstall ? IDYES : GetDlgItem(w, IDNO) ? IDNO : IDOK);
            }
            if (w) run_->WaitGone(w);
        }
        run_->WaitExit();
        return last;
    }

    // What each change of an uninterrupted run belongs to, in its order.
    std::vector<std::string> Phases(const std::vector<Change>& changes, bool uninstall) const {
        std::vector<std::string> phases;
        std::string phase = uninstall ? "restore" : "start";
        uint32_t joined = 0;
        for (const Change& c : changes) {
            std::string path = Lower(c.target), name = path.substr(path.find_last_of('\\') + 1);
            bool archive = name == "wardhaven._zx", main = name == "wardhavn.exe" || name == "wardhavn.$$$";
            bool ours = path.rfind(Lower(installDir_), 0) == 0 || path.rfind(Lower(WindowsHelpDir()), 0) == 0;
            if (uninstall && (ours || name.find(".lnk") != std::string::npos)) phase = "removal";
            if (!uninstall && archive && (phase == "start" || phase.rfind("join", 0) == 0)) {
                phase = "join disk " + std::to_string(joined < 8000 ? 1 : joined < 16000 ? 2 : 3);
                joined += c.call == "write" ? c.size : 0;
            }
            if (main && phase.rfind("join", 0) == 0) phase = "decode";
            if (phase == "place" && !ours) phase = "complete";
            // The system's profile call rewrites SYSTEM.INI whole: one step of the program.
            bool profile = name == "system.ini" && !phases.empty() && Lower(changes[phases.size() - 1].target) == path;
            phases.push_back(profile ? inProfileWrite : phase);
            // The archive's deletion ends the decoding.
            if (archive && phase == "decode") phase = "place";
        }
        return phases;
    }

    // A random change of each phase in turn (the last message one of them),
    // until `count` are taken or none is left; in the order of the run.
    static std::vector<Point> Schedule(const std::vector<std::string>& phases, size_t count, unsigned seed) {
        std::mt19937 random(seed);
        std::map<std::string, std::vector<int>> left;
        for (size_t i = 0; i < phases.size(); ++i)
            if (phases[i] != inProfileWrite) left[phases[i]].push_back(static_cast<int>(i));
        left[lastMessage].push_back(-1);
        std::vector<Point> points;
        while (points.size() < count && !left.empty())
            for (auto it = left.begin(); it != left.end() && points.size() < count;) {
                std::vector<int>& changes = it->second;
                size_t pick = random() % changes.size();
                points.push_back({changes[pick], it->first});
                changes.erase(changes.begin() + pick);
                it = changes.empty() ? left.erase(it) : std::next(it);
            }
        std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
            return static_cast<unsigned>(a.change) < static_cast<unsigned>(b.change);
        });
        return points;
    }

    // Before a restart: nothing queued names a file that is not there, the
    // system's Task Manager never goes aside without a move onto its place
    // after it, and the shell names a file that is in place.
    void ExpectSafeToRestart() {
        std::string system = WindowsDir() + "\\TaskMan.Exe", saved = WindowsDir() + "\\TaskMang.Exe";
        for (bool list : {false, true}) {
            bool aside = false;
            for (const auto& [to, from] : WaitingMoves(list)) {
                EXPECT_TRUE(FileExists(from) || DirExists(from)) << "queued: " << to << "=" << from;
                if (SamePath(from, system) && SamePath(to, saved)) aside = true;
                if (SamePath(to, system) && FileExists(from)) aside = false;
            }
            EXPECT_FALSE(aside) << "the system's Task Manager would go aside alone" << (list ? " (NT list)" : "");
        }
        // A name without a folder is the system's own, found in the Windows folder.
        std::string shell = ShellValue();
        bool quoted = shell[0] == '"';
        std::string program = shell.substr(quoted, shell.find('"', 1) - quoted);
        if (program.find('\\') == std::string::npos) program = WindowsDir() + "\\" + program;
        if (shell != shell_) {
            EXPECT_TRUE(FileExists(program)) << "the shell names " << shell;
        }
    }

    void ExpectNothingQueuedTwice() {
        for (bool list : {false, true}) {
            std::set<std::string> seen;
            for (const auto& [to, from] : WaitingMoves(list))
                EXPECT_TRUE(seen.insert(Lower(to + "=" + from)).second) << "queued twice: " << to << "=" << from;
        }
    }

    // What the run has left, after the restart: files, Task Managers, settings, shortcuts, waiting moves.
    std::string Result() {
        std::ostringstream r;
        for (const std::string& name : FilesIn(installDir_))
            r << "folder " << name << ": " << Fingerprint(ReadFileText(InstalledFile(name))) << "\n";
        for (const std::string& name : FilesIn(WindowsDir()))
            if (Lower(name).rfind("taskman", 0) == 0 || Lower(name).rfind("whother", 0) == 0)
                r << "windows " << name << ": " << Fingerprint(ReadFileText(WindowsDir() + "\\" + name)) << "\n";
        r << "entry: " << RegText(ReadRegValue(HKEY_LOCAL_MACHINE, uninstallEntry, "UnInstallString"))
          << "\nshell: " << ShellValue() << "\n";
        for (const std::string& name : FilesIn(ProgramsDir()))
            if (std::find(saved_.programs.begin(), saved_.programs.end(), name) == saved_.programs.end())
                r << "shortcut " << name << "\n";
        r << "waiting: " << ReadFileText(WinInitPath()) << PendingRenames().size() << "\n";
        return r.str();
    }

    // Another program's move waiting for the next start: whatever is cut off, it stays.
    void QueueOtherProgramsMove() {
        std::string w = WindowsDir(), text = ReadFileText(WinInitPath());
        ASSERT_TRUE(WriteFileText(w + "\\WhOther.$$$", "another program's"));
        ASSERT_TRUE(WriteFileText(
            WinInitPath(), (text.empty() ? "[Rename]\r\n" : text) + w + "\\WhOther.Dll=" + w + "\\WhOther.$$$\r\n"));
    }

    // Installed as in the rows above, and the user's own files beside it: one edited, one added.
    void PrepareUninstallation(const Row& row) {
        Run(false, nullptr, false);
        if (!row.driveD) CarryOutRestart();
        ASSERT_TRUE(WriteFileText(InstalledFile("ReadMe.Txt"), ReadFileText(InstalledFile("ReadMe.Txt")) + "my notes"));
        ASSERT_TRUE(WriteFileText(InstalledFile("Notes.Txt"), "the user's own"));
    }

    std::vector<ProductFile> product_ = {Shipped("Wardhavn.Exe"), Shipped("TaskMan.Exe"), Shipped("UnInstal.Exe"),
                                         Shipped("ReadMe.Txt"), Shipped("Tips.Txt")};
    std::string shell_;  // the shell setting before any installation
};

TEST_P(Interruption, KilledAtAnyPointAndRunAgainEndsWhole) {
    unsigned seed = static_cast<unsigned>(EnvNumber("WH_KILL_SEED", 2026));
    int count = EnvNumber("WH_KILL_POINTS", 0);
    printf("seed %u (WH_KILL_SEED), points per row %s (WH_KILL_POINTS)\n", seed,
           count ? std::to_string(count).c_str() : "30 or 12");
    std::string scratchDir = scratch_;
    CharUpperA(&scratchDir[0]);
    shell_ = ShellValue();
    for (const Row& row : rows) {
        size_t index = &row - rows;
        installDir_ = row.driveD ? "D:\\WHKILL\\WARDHAVEN" : scratchDir + "\\WARDHAVEN";
        std::string name =
            std::string(row.uninstall ? "uninstaller" : "installer") + (row.driveD ? " on D:" : " on C:");
        // The run never cut off: its changes, and what it leaves.
        Reset();
        if (row.uninstall) PrepareUninstallation(row);
        QueueOtherProgramsMove();
        ChangeWatch census;
        std::string message = Run(row.uninstall, &census, false);
        std::vector<Change> changes = census.Changes();
        std::vector<std::string> phases = Phases(changes, row.uninstall);
        if (EnvNumber("WH_KILL_LIST", 0))
            for (size_t i = 0; i < changes.size(); ++i)
                printf("    %zu %s: %s %s\n", i, phases[i].c_str(), changes[i].call.c_str(), changes[i].target.c_str());
        CarryOutRestart();
        std::string whole = Result();
        std::vector<Point> points =
            Schedule(phases, count > 0 ? count : row.points, seed + static_cast<unsigned>(index));
        printf("%s %s: %zu changes, seed %u\n", FamilyName(GetParam()), name.c_str(), changes.size(),
               seed + static_cast<unsigned>(index));
        std::map<std::string, std::pair<int, int>> tally;  // phase -> points, whole
        for (const Point& p : points) {
            const Change* c = p.change >= 0 ? &changes[p.change] : nullptr;
            std::string where =
                name + ", " + p.phase +
                (c ? ", before change " + std::to_string(p.change) + " (" + c->call + " " + c->target + ")" : "");
            printf("  %s\n", where.c_str());
            SCOPED_TRACE(where);
            int failures = testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
            Reset();
            if (row.uninstall) PrepareUninstallation(row);
            QueueOtherProgramsMove();
            ChangeWatch watch(p.change);
            Run(row.uninstall, &watch, p.change < 0);
            EXPECT_EQ(run_->WaitExit(), ChangeWatch::killedExitCode) << "not cut off";
            ExpectSafeToRestart();
            std::string second = Run(row.uninstall, nullptr, false);
            ExpectNothingQueuedTwice();
            CarryOutRestart();
            EXPECT_EQ(Result(), whole);
            // Cut off at its last message, the uninstallation was done: the second run finds nothing installed.
            if (row.uninstall) {
                EXPECT_EQ(Lower(second), Lower(p.change < 0 ? "Wardhaven! is not installed in " + installDir_ +
                                                                  "; nothing has been removed."
                                                            : message));
            }
            tally[p.phase].first++;
            tally[p.phase].second +=
                testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() == failures;
        }
        for (const auto& [phase, counts] : tally)
            printf("  %s, %s: %d points, %d whole\n", name.c_str(), phase.c_str(), counts.first, counts.second);
    }
}

INSTANTIATE_FOR_BOTH_FAMILIES(Interruption);
