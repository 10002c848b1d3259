#pragma once

#include <windows.h>

// rundll32 entry point of the device's Mount verb: offers the device's standard shares in a
// small dialog and maps the ticked ones to drive letters that the system picks.
extern "C" void CALLBACK ShellCommandMount(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int showCommand);
