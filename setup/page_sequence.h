// The fixed order of the six pages, what each result means, and the two ends
// of a run: the abandon clean-up and the final clean-up.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/text.h"

// Runs the page from its named template, owned by the backdrop. False when the
// template cannot be found or loaded; otherwise `result` is the page's result.
bool ShowPage(const char* templateName, DLGPROC page, int32_t& result);

void RunPages();

// Deletes the archive, the main executable and the files this run added,
// within a confirmed installation directory only, and tells the user the
// installation was terminated: because of `failure` when one is given.
void AbandonCleanup(const String& failure = String());

// Closes WinInit.Ini unless the restart already did, frees the work buffers.
void FinalCleanup();
