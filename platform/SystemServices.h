// Services of the desktop: the beep, the screen's size and the browser.
#pragma once

#include "Forms.h"

// Sounds the desktop's default beep.
void MessageBeep(unsigned type);

enum TSystemMetric { SM_CXSCREEN = 0, SM_CYSCREEN = 1 };
// Width or height of the primary screen in pixels, read afresh each call.
int GetSystemMetrics(int metric);

inline constexpr int SW_SHOW = 5;
// Opens `file` (a web address) with the user's default handler for it; the
// verb is "OPEN". Returns a value above 32 when the handler was started.
// Parameters and folder are not used for addresses.
long ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters, const char* folder,
                   int showCommand);
