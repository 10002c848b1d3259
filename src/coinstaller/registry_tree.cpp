#include "coinstaller/registry_tree.h"

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
// full path below root. Stops at a subkey that cannot be deleted, at one whose path would not
// fit (a cut path could name a different key), and at one that is still first after it was
// reported deleted, so that a key which enumerates but cannot be reached by its path is never
// visited twice. "Still first" means the very same name: a linguistic comparison would take
// distinct names for equal (one made only of a joiner equals the empty text, "a" plus a soft
// hyphen equals "a") and leave the rest of a foreign subtree behind.
void DeleteSubkeys(HKEY root, HKEY key, RegistryPathBuffer& path, std::size_t nameStart)
{
    wchar_t name[SubkeyNameLength];
    wchar_t previousName[SubkeyNameLength] = L"";
    for (;;) {
        DWORD nameLength = SubkeyNameLength;
        FILETIME lastWrite;
        if (::RegEnumKeyExW(key, 0, name, &nameLength, nullptr, nullptr, nullptr, &lastWrite) != ERROR_SUCCESS) {
            return;
        }
        if (std::wcscmp(name, previousName) == 0 ||
            !BoundedCopy(path + nameStart, RegistryTextLength - nameStart, name)) {
            path[nameStart] = L'\0';
            return;
        }
        if (!DeleteRegistrySubtree(root, path)) {
            return;
        }
        BoundedCopy(previousName, name);
    }
}

} // namespace

bool DeleteRegistryTree(HKEY root, const wchar_t* path)
{
    RegistryPathBuffer buffer;
    BoundedCopy(buffer, path);
    return DeleteRegistrySubtree(root, buffer);
}

bool DeleteRegistrySubtree(HKEY root, RegistryPathBuffer& path)
{
    const std::size_t length = TerminatedLength(path);
    // An empty path or one that starts with a separator could name root itself.
    if (length == 0 || length == RegistryTextLength || path[0] == L'\\') {
        return false;
    }
    if (::RegDeleteKeyW(root, path) == ERROR_SUCCESS) {
        return true;
    }
    unique_hkey key;
    const LONG opened = ::RegOpenKeyExW(root, path, 0, KEY_READ, key.put());
    if (opened != ERROR_SUCCESS) {
        key.release();
        return opened == ERROR_FILE_NOT_FOUND;
    }
    const std::size_t nameStart = AddSeparator(path, length);
    if (nameStart != 0) {
        DeleteSubkeys(root, key.get(), path, nameStart);
        path[nameStart - 1] = L'\0';
    }
    key.reset();
    return ::RegDeleteKeyW(root, path) == ERROR_SUCCESS;
}

} // namespace kx
