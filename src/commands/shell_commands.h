#pragma once

#include <windows.h>

// rundll32 entry points of the device's Open and Install Connector verbs. The command line
// carries the device's identity; everything before its "uuid:" is ignored.
extern "C" {
void CALLBACK ShellCommandOpen(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int showCommand);
void CALLBACK ShellCommandInstallConnect(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int showCommand);
}
