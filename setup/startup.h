// The run's preparation, before the first page: buffers, screen size, the
// backdrop window, the logo, the Windows directory and WinInit.Ini.
#pragma once

#include <windows.h>

void PrepareRun(HINSTANCE instance);
