#pragma once

#include <windows.h>

// Registration without a co-installer, for an installer that places the library anywhere:
// "regsvr32 /n /i" writes both Network Explorer trees naming the library where it lies, and
// "regsvr32 /n /u /i" deletes them. S_OK or the failing HRESULT, which carries the Win32 error
// that stopped it; a failed installation leaves both trees as they were before it. A library
// whose path has MAX_PATH characters or more registers nothing and answers
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE). The text of /i:text is not used.
extern "C" HRESULT WINAPI DllInstall(BOOL install, PCWSTR commandLine);
