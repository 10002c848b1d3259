#pragma once

// One line per call into the stand-in, for tests to assert what the caller passed.

#include <windows.h>

#include <string>

namespace kxsim {

// NULL, or the text in double quotes.
std::wstring LogText(const wchar_t* text);
// NULL, or every field of the record.
std::wstring LogResource(const NETRESOURCEW* resource);
std::wstring LogHex(DWORD value);

// Appends line to the file named by KXSIM_MPR_LOG; nothing when it is unset.
void AppendCallLog(const std::wstring& line);

} // namespace kxsim
