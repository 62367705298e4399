// The installer's entry point: prepare, run the pages, clean up. An error
// ends the process where it is raised, through the runtime's report.
#include <windows.h>

#include "setup/page_sequence.h"
#include "setup/startup.h"
#include "state/context.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    PrepareRun(instance);
    RunPages();
    if (ctx.aborted) AbandonCleanup();
    FinalCleanup();
    return 0;
}
