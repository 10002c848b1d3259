#pragma once

#include "import_patch.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace kxtest {

// One RegCreateKeyExW call as the code under test made it.
struct KeyCreation {
    HKEY root;
    std::wstring path;
    DWORD reserved;
    bool hasClass;
    DWORD options;
    REGSAM access;
    bool hasSecurity;
    bool hasDisposition;
};

// While it lives, the registry calls of the test program's module are counted and passed on,
// key creations are recorded, and the ones a test names fail with the error it names.
// One instance at a time.
class RegistryCallLog {
public:
    RegistryCallLog();
    ~RegistryCallLog();
    RegistryCallLog(const RegistryCallLog&) = delete;
    RegistryCallLog& operator=(const RegistryCallLog&) = delete;

    // Creating, or deleting, the key at this path below HKEY_CLASSES_ROOT fails with error.
    void FailCreation(const std::wstring& path, LONG error = ERROR_ACCESS_DENIED);
    void FailDeletion(const std::wstring& path, LONG error);
    // Every creation and deletion below HKEY_CLASSES_ROOT fails, as without the rights to it.
    void DenyClassesRoot();

    bool Installed() const;
    const std::vector<KeyCreation>& Creations() const;
    // Calls of any patched registry function, failed ones included.
    int Calls() const;

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

} // namespace kxtest
