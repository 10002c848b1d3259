// Starts the test prefix's background services and its desktop, and holds the desktop from the
// set-up to the shut-down. Wine starts the desktop process for the first program that asks for the
// desktop window, handing it that program's standard output and error, and ends it about a second
// after the last program has left. Started for a test, it keeps the test's output open, and CTest
// waits for that output long after the test has ended; ended between two tests, it is started
// again while the next one runs. Started by the set-up with its output on a file of its own, this
// program is the desktop's first user and its last.

#include "common/unique_handle.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR readyFile, int)
{
    if (::GetDesktopWindow() == nullptr) {
        return 1;
    }
    // The set-up goes on once this file exists: the desktop runs by then.
    if (!kx::unique_hfile(::CreateFileW(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr))) {
        return 1;
    }
    ::Sleep(INFINITE);
    return 0;
}
