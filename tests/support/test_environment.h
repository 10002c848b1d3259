#pragma once

#include "common/unique_handle.h"

#include <windows.h>

#include <string>

namespace kxtest {

// A variable of the process environment (Wine hands the Unix environment on); "" when unset.
std::wstring EnvironmentText(const wchar_t* name);
// /work/build/x becomes Z:\work\build\x; a Windows path is returned as it is.
std::wstring ToWindowsPath(const std::wstring& path);

// The built library as it lies in the build tree.
std::wstring ProductDllPath();
// A folder the prefix set-up made for files that tests write (logs of the simulated device).
std::wstring WorkDirectory();
// A name no other test process of this run uses: prefix, process id and a counter.
std::wstring UniqueName(const std::wstring& prefix);

// Starts commandLine and returns its process at once; null when it could not be started.
kx::unique_handle StartProcess(const std::wstring& commandLine);
// Starts commandLine, waits at most timeoutMs (then ends it) and returns its exit code, or ~0u
// on failure.
DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs);

struct ProcessOutput {
    DWORD exitCode;
    std::string text;
};
// As RunProcess, with the program's standard output and error collected (through a file).
ProcessOutput RunProcessCapturingOutput(const std::wstring& commandLine, DWORD timeoutMs);
// The UTF-8 text of a file once it holds at least one line, or "" after timeoutMs.
std::string WaitForFileText(const std::wstring& path, DWORD timeoutMs);
std::string ReadFileText(const std::wstring& path);

std::string ToUtf8(const std::wstring& text);

} // namespace kxtest
