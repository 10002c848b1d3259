#include "coinstaller/registration/registry_tree.h"

#include "common/bounded_text.h"
#include "common/unique_handle.h"

#include <cwchar>

namespace kx {

namespace {

// The path's length, or RegistryTextLength when the buffer holds no terminator.
std::size_t TerminatedLength(const RegistryPathBuffer& path) noexcept
{
    std::size_t length = 0;
    while (length < RegistryTextLength && path[length] != L'\0') {
        ++length;
    }
    return length;
}

// Ends the path in a separator and answers where subkey names go, or 0 when not even a
// separator and one character of a name would fit.
std::size_t AddSeparator(RegistryPathBuffer& path, std::size_t length) noexcept
{
    if (path[length - 1] == L'\\') {
        return length;
    }
    if (length + 2 >= RegistryTextLength) {
        return 0;
    }
    path[length] = L'\\';
    path[length + 1] = L'\0';
    return length + 1;
}

// Deletes the subkeys of key one by one, always the first that remains, naming each by its
// full path below root, and answers the first failure. Stops at a subkey that cannot be deleted,
// at one whose path would not fit (a cut path could name a different key), and at one that is
// still first after it was reported deleted, so that a key which enumerates but cannot be
// reached by its path is never visited twice; the key's own deletion then names the failure.
// "Still first" means the very same name: a linguistic comparison would take distinct names for
// equal (one made only of a joiner equals the empty text, "a" plus a soft hyphen equals "a") and
// leave the rest of a foreign subtree behind.
LONG DeleteSubkeys(HKEY root, HKEY key, RegistryPathBuffer& path, std::size_t nameStart)
{
    wchar_t name[SubkeyNameLength];
    wchar_t previousName[SubkeyNameLength] = L"";
    for (;;) {
        DWORD nameLength = SubkeyNameLength;
        FILETIME lastWrite;
        const LONG listed = ::RegEnumKeyExW(key, 0, name, &nameLength, nullptr, nullptr, nullptr, &lastWrite);
        if (listed != ERROR_SUCCESS) {
            return listed == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : listed;
        }
        if (std::wcscmp(name, previousName) == 0) {
            path[nameStart] = L'\0';
            return ERROR_SUCCESS;
        }
        if (!BoundedCopy(path + nameStart, RegistryTextLength - nameStart, name)) {
            path[nameStart] = L'\0';
            return ERROR_FILENAME_EXCED_RANGE;
        }
        const LONG deleted = DeleteRegistrySubtree(root, path);
        if (deleted != ERROR_SUCCESS) {
            return deleted;
        }
        BoundedCopy(previousName, name);
    }
}

} // namespace

LONG DeleteRegistryTree(HKEY root, const wchar_t* path)
{
    RegistryPathBuffer buffer;
    if (!BoundedCopy(buffer, path)) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    return DeleteRegistrySubtree(root, buffer);
}

// The first attempt fails whenever the key has subkeys, so its error names nothing. A key that
// is gone in the end counts as deleted whatever failed on the way.
LONG DeleteRegistrySubtree(HKEY root, RegistryPathBuffer& path)
{
    const std::size_t length = TerminatedLength(path);
    if (length == RegistryTextLength) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    // An empty path or one that starts with a separator could name root itself.
    if (length == 0 || path[0] == L'\\') {
        return ERROR_INVALID_PARAMETER;
    }
    if (::RegDeleteKeyW(root, path) == ERROR_SUCCESS) {
        return ERROR_SUCCESS;
    }
    unique_hkey key;
    const LONG opened = ::RegOpenKeyExW(root, path, 0, KEY_READ, key.put());
    if (opened != ERROR_SUCCESS) {
        key.release();
        return opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
    }
    LONG failure = ERROR_FILENAME_EXCED_RANGE;
    const std::size_t nameStart = AddSeparator(path, length);
    if (nameStart != 0) {
        failure = DeleteSubkeys(root, key.get(), path, nameStart);
        path[nameStart - 1] = L'\0';
    }
    key.reset();
    const LONG deleted = ::RegDeleteKeyW(root, path);
    return deleted == ERROR_SUCCESS || failure == ERROR_SUCCESS ? deleted : failure;
}

} // namespace kx
