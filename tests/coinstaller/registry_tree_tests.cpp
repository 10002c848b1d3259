#include "coinstaller/registration/registry_tree.h"
#include "common/bounded_text.h"
#include "common/unique_handle.h"
#include "import_patch.h"
#include "registry_snapshot.h"

#include <gtest/gtest.h>

#include <string>

using kxtest::KeyExists;
using kxtest::ScratchKey;
using kxtest::TakeRegistrySnapshot;

namespace {

template <typename Function>
Function RealAdvapiFunction(const char* name)
{
    return kxtest::RealFunction<Function>(L"advapi32.dll", name);
}

// One key whose deletion a test makes fail (with an error that names no missing right, so that
// a report of that error stands out), and the calls the code under test made.
struct RegistryFaults {
    std::wstring undeletablePath;
    std::wstring unopenablePath;
    int deleteCallsOnUndeletable = 0;
    int enumerations = 0;
    int enumerationLimit = 1000;
    LSTATUS enumerationResult = ERROR_SUCCESS;
};
RegistryFaults g_faults;

LSTATUS WINAPI DeleteKeyWithFault(HKEY root, LPCWSTR path)
{
    if (::lstrcmpiW(path, g_faults.undeletablePath.c_str()) == 0) {
        ++g_faults.deleteCallsOnUndeletable;
        return ERROR_CANTWRITE;
    }
    return RealAdvapiFunction<decltype(&::RegDeleteKeyW)>("RegDeleteKeyW")(root, path);
}

LSTATUS WINAPI OpenKeyWithFault(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    if (::lstrcmpiW(path, g_faults.unopenablePath.c_str()) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return RealAdvapiFunction<decltype(&::RegOpenKeyExW)>("RegOpenKeyExW")(root, path, options, access, key);
}

LSTATUS WINAPI EnumKeyWithFault(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                                LPWSTR className, LPDWORD classLength, PFILETIME lastWrite)
{
    // A bound, so that a loop over the same subkey fails the test instead of hanging it.
    if (++g_faults.enumerations > g_faults.enumerationLimit) {
        return ERROR_NO_MORE_ITEMS;
    }
    if (g_faults.enumerationResult != ERROR_SUCCESS) {
        return g_faults.enumerationResult;
    }
    return RealAdvapiFunction<decltype(&::RegEnumKeyExW)>("RegEnumKeyExW")(key, index, name, nameLength, reserved,
                                                                           className, classLength, lastWrite);
}

class PatchedRegistry {
public:
    explicit PatchedRegistry(const RegistryFaults& faults)
        : deleteKey_(kxtest::TestProgramModule(), "ADVAPI32.dll", "RegDeleteKeyW",
                     reinterpret_cast<const void*>(&DeleteKeyWithFault)),
          openKey_(kxtest::TestProgramModule(), "ADVAPI32.dll", "RegOpenKeyExW",
                   reinterpret_cast<const void*>(&OpenKeyWithFault)),
          enumKey_(kxtest::TestProgramModule(), "ADVAPI32.dll", "RegEnumKeyExW",
                   reinterpret_cast<const void*>(&EnumKeyWithFault))
    {
        g_faults = faults;
        EXPECT_TRUE(deleteKey_.Installed() && openKey_.Installed() && enumKey_.Installed());
    }
    ~PatchedRegistry() { g_faults = RegistryFaults(); }

private:
    kxtest::ImportPatch deleteKey_;
    kxtest::ImportPatch openKey_;
    kxtest::ImportPatch enumKey_;
};

// Deletes path under the given faults; returns the result and what the faulty registry counted.
struct FaultyDeletion {
    LONG status;
    RegistryFaults counted;
};

FaultyDeletion DeleteWithFaults(const RegistryFaults& faults, const std::wstring& path)
{
    PatchedRegistry patch(faults);
    const LONG status = kx::DeleteRegistryTree(HKEY_CURRENT_USER, path.c_str());
    return {status, g_faults};
}

// The path buffer of the recursion with guard characters behind it.
struct GuardedPath {
    kx::RegistryPathBuffer path;
    wchar_t guard[8];

    explicit GuardedPath(const std::wstring& text)
    {
        kx::BoundedCopy(path, text.c_str());
        for (auto& character : guard) {
            character = L'#';
        }
    }
    bool GuardIntact() const
    {
        for (wchar_t character : guard) {
            if (character != L'#') {
                return false;
            }
        }
        return true;
    }
};

TEST(DeleteRegistryTree, AbsentKeyCountsAsGoneAndNothingChanges)
{
    ScratchKey scratch;
    kxtest::CreateKeys(HKEY_CURRENT_USER, scratch.Path(), {L"", L"present", L"present\\child"});
    const auto before = TakeRegistrySnapshot(HKEY_CURRENT_USER, scratch.Path());
    EXPECT_EQ(ERROR_SUCCESS, kx::DeleteRegistryTree(HKEY_CURRENT_USER, scratch.Below(L"absent").c_str()));
    EXPECT_EQ(ERROR_SUCCESS, kx::DeleteRegistryTree(HKEY_CURRENT_USER, scratch.Below(L"absent\\deeper").c_str()));
    EXPECT_EQ(kxtest::DescribeSnapshot(before),
              kxtest::DescribeSnapshot(TakeRegistrySnapshot(HKEY_CURRENT_USER, scratch.Path())));
}

TEST(DeleteRegistryTree, RemovesEveryLevelAndLeavesTheParentAndSiblings)
{
    ScratchKey scratch;
    kxtest::CreateKeys(
        HKEY_CURRENT_USER, scratch.Path(),
        {L"", L"tree", L"tree\\a", L"tree\\a\\b", L"tree\\a\\b\\c", L"tree\\d", L"tree\\e\\f", L"treeSibling"});
    EXPECT_EQ(ERROR_SUCCESS, kx::DeleteRegistryTree(HKEY_CURRENT_USER, scratch.Below(L"tree").c_str()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"tree")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"treeSibling")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch.Path()));
}

// Key names that a linguistic comparison takes as equal to each other, or to the empty text,
// are still distinct keys and must all go.
TEST(DeleteRegistryTree, RemovesSubkeysWhoseNamesDifferOnlyInIgnorableCharacters)
{
    ScratchKey scratch;
    kxtest::CreateKeys(HKEY_CURRENT_USER, scratch.Path(),
                       {L"tree\\\u200D", L"tree\\a", L"tree\\a\u00AD", L"tree\\a\u00AD\u200C\\b"});
    EXPECT_EQ(ERROR_SUCCESS, kx::DeleteRegistryTree(HKEY_CURRENT_USER, scratch.Below(L"tree").c_str()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"tree")));
}

TEST(DeleteRegistryTree, PathsThatCouldNameTheRootDeleteNothing)
{
    ScratchKey scratch;
    kxtest::CreateKeys(HKEY_CURRENT_USER, scratch.Path(), {L"", L"child", L"child\\grandchild"});
    kx::unique_hkey root;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, scratch.Path().c_str(), 0, KEY_ALL_ACCESS, root.put()));
    const wchar_t* const paths[] = {nullptr, L"", L"\\", L"\\child"};
    for (const wchar_t* path : paths) {
        EXPECT_EQ(ERROR_INVALID_PARAMETER, kx::DeleteRegistryTree(root.get(), path)) << (path ? path : L"(null)");
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"child\\grandchild")));
}

TEST(DeleteRegistrySubtree, LeavesThePathAsOnEntryLessATrailingSeparator)
{
    ScratchKey scratch;
    const struct {
        std::wstring entry;
        std::wstring onReturn;
    } cases[] = {
        {scratch.Below(L"one"), scratch.Below(L"one")},
        {scratch.Below(L"two") + L"\\", scratch.Below(L"two")},
    };
    kxtest::CreateKeys(HKEY_CURRENT_USER, scratch.Path(), {L"one\\x\\y", L"two\\x\\y"});
    for (const auto& test : cases) {
        GuardedPath buffer(test.entry);
        EXPECT_EQ(ERROR_SUCCESS, kx::DeleteRegistrySubtree(HKEY_CURRENT_USER, buffer.path));
        EXPECT_EQ(test.onReturn, std::wstring(buffer.path));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, test.onReturn));
    }
}

TEST(DeleteRegistryTree, StopsAtTheFirstSubkeyThatCannotBeDeletedWithoutRetrying)
{
    ScratchKey scratch;
    kxtest::CreateKeys(HKEY_CURRENT_USER, scratch.Path(), {L"tree\\1", L"tree\\2", L"tree\\3"});
    RegistryFaults faults;
    faults.undeletablePath = scratch.Below(L"tree\\2");
    const FaultyDeletion result = DeleteWithFaults(faults, scratch.Below(L"tree"));
    EXPECT_EQ(ERROR_CANTWRITE, result.status);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"tree\\1")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"tree\\2")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"tree\\3")));
    // Once on the way in and once after its (absent) subkeys; the parent does not try again.
    EXPECT_EQ(2, result.counted.deleteCallsOnUndeletable);
}

TEST(DeleteRegistryTree, ASubkeyNameLongerThanTheNameBufferEndsTheDeletion)
{
    ScratchKey scratch;
    kxtest::CreateKeys(HKEY_CURRENT_USER, scratch.Path(), {L"tree\\child"});
    RegistryFaults faults;
    faults.enumerationResult = ERROR_MORE_DATA;
    const FaultyDeletion result = DeleteWithFaults(faults, scratch.Below(L"tree"));
    EXPECT_EQ(ERROR_MORE_DATA, result.status);
    EXPECT_EQ(1, result.counted.enumerations);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"tree\\child")));
}

TEST(DeleteRegistryTree, ASubkeyStillFirstAfterItsDeletionIsNotVisitedAgain)
{
    ScratchKey scratch;
    kxtest::CreateKeys(HKEY_CURRENT_USER, scratch.Path(), {L"tree\\ghost", L"tree\\later"});
    RegistryFaults faults;
    faults.undeletablePath = scratch.Below(L"tree\\ghost");
    faults.unopenablePath = scratch.Below(L"tree\\ghost");
    faults.enumerationLimit = 50;
    const FaultyDeletion result = DeleteWithFaults(faults, scratch.Below(L"tree"));
    // The parent's own deletion names the failure: it still has subkeys.
    EXPECT_EQ(ERROR_ACCESS_DENIED, result.status);
    EXPECT_EQ(2, result.counted.enumerations);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch.Below(L"tree\\later")));
}

std::wstring Name(size_t length, wchar_t fill)
{
    return std::wstring(length, fill);
}

// A chain of long key names below the scratch key whose deepest key's full path is
// deepestLength characters long.
std::wstring DeepChain(const ScratchKey& scratch, size_t deepestLength)
{
    std::wstring path = scratch.Below(Name(200, L'a')) + L"\\" + Name(200, L'b');
    path += L"\\" + Name(deepestLength - path.size() - 1, L'c');
    return path;
}

// Paths of up to 519 characters fit the 520-character buffer with their terminator; a longer
// one is refused, and a subkey whose path would be longer is treated like one that cannot be
// deleted: nothing is written past the buffer, the deletion stops there and says why.
TEST(DeleteRegistrySubtree, ASubkeyPathLongerThanTheBufferStopsTheDeletionSafely)
{
    const struct {
        size_t deepestLength;
        LONG status;
    } cases[] = {{519, ERROR_SUCCESS}, {520, ERROR_FILENAME_EXCED_RANGE}, {600, ERROR_FILENAME_EXCED_RANGE}};
    for (const auto& test : cases) {
        ScratchKey scratch;
        const std::wstring deepest = DeepChain(scratch, test.deepestLength);
        ASSERT_EQ(test.deepestLength, deepest.size());
        kxtest::CreateKeys(HKEY_CURRENT_USER, L"", {deepest});
        // Cut to the buffer, a path below the deepest key would name that key itself.
        EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, kx::DeleteRegistryTree(HKEY_CURRENT_USER, (deepest + L"\\x").c_str()));
        ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, deepest));
        const std::wstring top = scratch.Below(Name(200, L'a'));
        GuardedPath buffer(top);
        EXPECT_EQ(test.status, kx::DeleteRegistrySubtree(HKEY_CURRENT_USER, buffer.path)) << test.deepestLength;
        EXPECT_EQ(test.status != ERROR_SUCCESS, KeyExists(HKEY_CURRENT_USER, deepest)) << test.deepestLength;
        EXPECT_EQ(top, std::wstring(buffer.path));
        EXPECT_TRUE(buffer.GuardIntact());
    }
}

TEST(DeleteRegistrySubtree, AKeyWithoutRoomForASeparatorKeepsItsSubkeys)
{
    const struct {
        size_t parentLength;
        LONG status;
    } cases[] = {{517, ERROR_SUCCESS}, {518, ERROR_FILENAME_EXCED_RANGE}};
    for (const auto& test : cases) {
        ScratchKey scratch;
        const std::wstring parent = DeepChain(scratch, test.parentLength);
        kxtest::CreateKeys(HKEY_CURRENT_USER, L"", {parent + L"\\x"});
        GuardedPath buffer(parent);
        EXPECT_EQ(test.status, kx::DeleteRegistrySubtree(HKEY_CURRENT_USER, buffer.path)) << test.parentLength;
        EXPECT_EQ(test.status != ERROR_SUCCESS, KeyExists(HKEY_CURRENT_USER, parent + L"\\x")) << test.parentLength;
        EXPECT_EQ(parent, std::wstring(buffer.path));
        EXPECT_TRUE(buffer.GuardIntact());
    }
}

TEST(DeleteRegistrySubtree, ABufferWithoutTerminatorIsRefused)
{
    GuardedPath buffer(L"");
    for (auto& character : buffer.path) {
        character = L'k';
    }
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, kx::DeleteRegistrySubtree(HKEY_CURRENT_USER, buffer.path));
    EXPECT_TRUE(buffer.GuardIntact());
}

} // namespace
