// The installer's entry point: prepare, run the pages, clean up. An error that
// escapes ends the process through the runtime's report, with no clean-up.
#include <windows.h>

#include "runtime/error_report.h"
#include "setup/context.h"
#include "setup/page_sequence.h"
#include "setup/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        PrepareRun(instance);
        RunPages();
        if (ctx.aborted) AbandonCleanup();
        FinalCleanup();
    } catch (const Exception& e) {
        reportUnhandledError(e);
    } catch (const std::exception& e) {
        reportUnhandledError(e);
    }
    return 0;
}
