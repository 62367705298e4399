// Installs a disk set as a person at the keyboard would, saving a screenshot
// of every page and prompt: the README's run command uses it when there is no
// display to show the installer on.
//
//   demo_install.exe SETUP DISKSET SHOTS
//     SETUP    the installer on the first disk, normally A:\Setup.exe
//     DISKSET  the folder holding the disk1, disk2 and disk3 folders (the
//              run command reads them from the floppy images)
//     SHOTS    host folder for the screenshots (.bmp; the run script makes PNGs)
//              and captions.txt: each screenshot's name, a tab and what it shows
// WH_FAMILY=win98 makes Wine report the 95 family to the installer.
// The disk in drive A: is changed when the installer asks for the next one.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "tests/wine/driver.h"

namespace {

std::string setupPath, diskSet;
int shotNumber = 0;
ScreenImage lastShot;

// The contact sheet's caption of a screenshot.
void NoteCaption(const std::string& name, const std::string& shows) {
    std::FILE* f = std::fopen((ShotsDir() + "\\captions.txt").c_str(), "a");
    if (!f) return;
    std::fprintf(f, "%s\t%s\n", name.c_str(), shows.c_str());
    std::fclose(f);
}

// `what` names the file; `shows` becomes its caption on the contact sheet.
void Shoot(const std::string& what, const std::string& shows, const ScreenImage& screen = CaptureScreen()) {
    char name[160];
    std::snprintf(name, sizeof name, "%02d-%s", ++shotNumber, what.c_str());
    std::string full = name;
    for (char& c : full)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
    SaveScreenshot(full, screen);
    NoteCaption(full, shows);
    lastShot = screen;
}

// The screen once the installer's windows are gone. Its process is reported
// ended before the X server takes its windows away (tens of milliseconds, more
// on a loaded machine), and until then the screen keeps their last frame: the
// picture is taken once the screen has changed and stayed so for half a
// second, or has stayed as it was for two and is not the last page's picture.
ScreenImage ScreenAfterExit() {
    ScreenImage now = CaptureScreen();
    bool changed = false;
    for (int still = 0, waited = 0; waited < 10000; waited += 100) {
        Sleep(100);
        ScreenImage next = CaptureScreen();
        bool same = next.pixels == now.pixels;
        changed = changed || !same;
        still = same ? still + 100 : 0;
        now = std::move(next);
        if (now.pixels != lastShot.pixels && still >= (changed ? 500 : 2000)) break;
    }
    return now;
}

// A page of long work, on its own: the next disk's prompt soon stands in front
// of the joining page, so the screen is taken until something else shows (or
// for a second) and the last picture of the page alone is kept.
void ShootAlone(SetupRun& run, const std::string& caption) {
    ScreenImage alone = CaptureScreen();
    for (int waited = 0; waited < 1000 && run.Running(); waited += 20) {
        Sleep(20);
        ScreenImage now = CaptureScreen();
        std::vector<std::string> captions = run.Captions();
        if (std::any_of(captions.begin(), captions.end(), [&](const std::string& c) { return c != caption; })) break;
        alone = std::move(now);
    }
    Shoot(caption, caption, alone);
}

// The installer's message boxes, by caption; its pages have captions of their own.
bool IsMessageBox(const std::string& caption) { return caption == "Wardhaven!" || caption == "Application Error"; }

// What a window shows, on one line: its caption, and a message box's text.
std::string Shows(HWND w, const std::string& caption) {
    std::string shows = caption, text = IsMessageBox(caption) ? MessageText(w) : "";
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool space = text[i] == '\r' || text[i] == '\n' || text[i] == '\t';
        if (i == 0) shows += ": ";
        if (!space) shows += text[i];
        else if (shows.back() != ' ') shows += ' ';
    }
    return shows;
}

// Takes the disk out of drive A: and puts disk n in.
void InsertDisk(int n) {
    std::string drive = setupPath.substr(0, setupPath.find_last_of('\\'));
    if (!ChangeDisk(drive, diskSet + "\\disk" + std::to_string(n)))
        std::printf("  disk %d could not be put in whole\n", n);
    std::printf("  disk %d is in the drive\n", n);
}

// What a person does on each window, by its caption (and text, for boxes).
void Answer(SetupRun& run, HWND w, const std::string& caption) {
    if (caption == "License Agreement" || caption == "Destination Directory" || caption == "Program Group") {
        PressEnter(w);
    } else if (caption == "Windows Interface") {
        Click(w, IDOK);
    } else if (caption == "Wardhaven!") {
        std::string text = MessageText(w);
        if (text.rfind("Please Insert Disk number ", 0) == 0) {
            InsertDisk(std::atoi(text.c_str() + std::strlen("Please Insert Disk number ")));
            Click(w, IDOK);
        } else {
            // The restart or run question at the end: a demo changes nothing more.
            Click(w, text.find("?") != std::string::npos ? IDNO : IDOK);
        }
    } else if (caption == "Application Error") {
        std::printf("  the installer reported: %s\n", MessageText(w).c_str());
        Click(w, IDOK);
    } else {
        PressEnter(w);
    }
    run.WaitGone(w, 20000);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: demo_install SETUP DISKSET SHOTS\n");
        return 2;
    }
    setupPath = argv[1];
    diskSet = argv[2];
    SetEnvironmentVariableA("WH_SHOTS", argv[3]);
    std::remove((ShotsDir() + "\\captions.txt").c_str());  // a run into the same folder starts afresh
    const char* family = std::getenv("WH_FAMILY");

    SetupRun run(setupPath, family && std::string(family) == "win98" ? Family::win98 : Family::nt);
    std::set<HWND> shown;
    while (run.Running()) {
        std::vector<std::string> captions = run.Captions();
        if (captions.empty()) {
            Sleep(20);
            continue;
        }
        // A message box stands in front of its page: answer it first.
        std::string caption = captions.front();
        HWND w = run.FindWindowNow(caption);
        if (!w) continue;
        bool first = shown.insert(w).second;
        if (caption == "Please Stand By...") {
            if (first) {
                std::printf("%2d %s\n", shotNumber + 1, caption.c_str());
                ShootAlone(run, caption);
            }
            Sleep(200);  // long work: it ends by itself
            continue;
        }
        Settle(300);
        if (first) {
            std::string shows = Shows(w, caption);
            std::printf("%2d %s\n", shotNumber + 1, shows.c_str());
            Shoot(caption, shows);
        }
        if (!first && run.WaitGone(w, 0) == false) {
            std::printf("  \"%s\" does not go away; giving up\n", caption.c_str());
            break;
        }
        Answer(run, w, caption);
    }
    DWORD code = run.WaitExit();
    Shoot("end", "After the installer ended", ScreenAfterExit());
    std::printf("the installer ended with exit code %lu\n", code);
    return static_cast<int>(code);
}
