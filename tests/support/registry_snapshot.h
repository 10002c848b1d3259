#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace kxtest {

struct RegistryValue {
    DWORD type;
    std::vector<BYTE> data;
};

// Every key of a tree by its path relative to the tree's top ("" is the top itself), each
// with its values by name ("" is the unnamed value). Empty when the top does not exist.
using RegistrySnapshot = std::map<std::wstring, std::map<std::wstring, RegistryValue>>;

RegistrySnapshot TakeRegistrySnapshot(HKEY root, const std::wstring& path);
// One line per key and per value (name, type, byte count, text), for readable comparisons.
std::wstring DescribeSnapshot(const RegistrySnapshot& snapshot);
bool KeyExists(HKEY root, const std::wstring& path);

// A REG_SZ value as the registry holds it: the UTF-16 text and its terminating NUL.
RegistryValue StringValue(const std::wstring& text);

// Creates the keys of paths below root (relative paths, parents first or not) and gives each
// an unnamed value with its own name, so that the tree is not trivially empty.
void CreateKeys(HKEY root, const std::wstring& base, const std::vector<std::wstring>& paths);

// A key of its own below HKEY_CURRENT_USER for one test, deleted with everything below it
// when the test ends.
class ScratchKey {
public:
    ScratchKey();
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring Below(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

} // namespace kxtest
