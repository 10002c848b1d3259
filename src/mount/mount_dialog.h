#pragma once

#include "common/counted_string.h"

#include <windows.h>

// rundll32 entry point of the device's Mount verb: offers the device's standard shares in a
// small dialog and maps the ticked ones to drive letters that the system picks.
extern "C" void CALLBACK ShellCommandMount(HWND hwnd, HINSTANCE hinst, LPSTR commandLine, int showCommand);

namespace kx {

// The dialog's title, and how a second Mount command recognises an open dialog.
constexpr wchar_t MountDialogTitle[] = L"KX Vantorel TZ7100";

// The host of the device whose dialog is open; released when the Mount command ends.
extern CountedString MountHostName;

// Process-wide dialog flags: set to 1, cleared only when a new Mount command starts.
extern LONG DialogLoopExit;
extern LONG MountPassDone;
extern LONG CloseOnError;

INT_PTR CALLBACK MountDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What the single-instance check looks for: any top-level window but our own dialog whose
// title is exactly MountDialogTitle.
struct MountDialogSearch {
    HWND ownDialog;
    HWND foundWindow;
    LONG found;
};
BOOL CALLBACK FindOpenMountDialog(HWND window, LPARAM searchRecord);

// Clears the flags for a new command.
void ResetMountDialogState() noexcept;

} // namespace kx
