// Random foreign subtrees under both Network Explorer keys, then interface installation and
// removal through the co-installer entry, checked against a model of the deletion rules: the
// end state of both keys equals the model's, and nothing outside them changes.

#include "coinstaller/entry/coinstaller_entry.h"
#include "network_explorer_expectations.h"
#include "random_cases.h"
#include "registry_snapshot.h"
#include "registry_tree_model.h"
#include "test_environment.h"

#include "common/unique_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using kxtest::DescribeDifference;
using kxtest::Flattened;
using kxtest::Node;
using kxtest::OrderFault;
using kxtest::PathBufferLength;
using kxtest::RandomCases;
using kxtest::ReadKey;
using kxtest::RegistrySnapshot;
using kxtest::RegistryValue;
using kxtest::RemoveAsModelled;
using kxtest::SameKeyName;
using kxtest::SameSnapshot;
using kxtest::WriteTableAsModelled;

constexpr int CaseCount = 400;

// Created relative to the parent's handle, so that trees deeper than any path buffer can be made.
void CreateNode(HKEY parent, const Node& node)
{
    kx::unique_hkey key;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(parent, node.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr))
        << kxtest::DescribeText(node.name);
    for (const auto& [name, value] : node.values) {
        ::RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, value.type, value.data.data(),
                         static_cast<DWORD>(value.data.size()));
    }
    for (const auto& child : node.children) {
        CreateNode(key.get(), child);
    }
}

void DeleteKeyTree(HKEY root, const std::wstring& path)
{
    ::RegDeleteTreeW(root, path.c_str());
    ::RegDeleteKeyW(root, path.c_str());
}

// ---- Random trees ----

const std::vector<std::wstring> TabledNames = {L"DefaultIcon",       L"shell",  L"Open", L"Mount", L"InstallConnect",
                                               L"Open Media Player", L"command"};

std::wstring RandomText(RandomCases& random, std::size_t length)
{
    std::wstring text;
    while (text.size() < length) {
        const wchar_t character = random.Percent(3) ? random.Pick(kxtest::InvisibleToComparison())
                                                    : random.Pick(kxtest::SignificantCharacters());
        text += character == L'\\' ? L'/' : character;
    }
    return text;
}

// Key names leave out the characters between the capital and the small letters ("[" to "`"):
// where they sort relative to letters depends on whether the registry folds case to capitals
// (Windows) or to small letters (Wine), and the model needs the enumeration order.
std::wstring RandomKeyText(RandomCases& random, std::size_t length)
{
    std::wstring text = RandomText(random, length);
    for (auto& character : text) {
        character = character >= L'[' && character <= L'`' ? L'-' : character;
    }
    return text;
}

std::wstring RandomKeyName(RandomCases& random)
{
    if (random.Percent(25)) {
        return random.Pick(TabledNames);
    }
    const std::size_t choice = random.Between(0, 99);
    return RandomKeyText(random, choice < 90   ? random.Between(1, 12)
                                 : choice < 97 ? random.Between(13, 100)
                                               : random.Between(101, 255));
}

RegistryValue RandomValue(RandomCases& random)
{
    switch (random.Between(0, 2)) {
    case 0:
        return kxtest::StringValue(RandomText(random, random.Between(0, 30)));
    case 1: {
        const DWORD number = static_cast<DWORD>(random.Between(0, 0xFFFFFFFF));
        const auto* bytes = reinterpret_cast<const BYTE*>(&number);
        return RegistryValue{REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(number))};
    }
    default: {
        std::vector<BYTE> bytes(random.Between(0, 16));
        for (auto& byte : bytes) {
            byte = static_cast<BYTE>(random.Between(0, 255));
        }
        return RegistryValue{REG_BINARY, bytes};
    }
    }
}

Node RandomNode(RandomCases& random, std::wstring name, int depth)
{
    Node node{std::move(name), {}, {}};
    for (std::size_t count = random.Between(0, 2); count > 0; --count) {
        const std::wstring valueName = random.Percent(30)   ? L""
                                       : random.Percent(20) ? L"MUIVerb"
                                                            : RandomText(random, 6);
        node.values[valueName] = RandomValue(random);
    }
    const std::size_t width = depth >= 5 ? 0 : random.Between(0, depth == 0 ? 4 : 2);
    for (std::size_t index = 0; index < width; ++index) {
        node.children.push_back(RandomNode(random, RandomKeyName(random), depth + 1));
    }
    return node;
}

// A chain of long names whose paths end near the end of the buffer (on either side of it), with
// short subkeys below, for the rules at the buffer's end.
Node BoundaryChain(RandomCases& random, std::size_t basePathLength)
{
    constexpr std::size_t LongestName = 255;
    const std::size_t target = random.Between(PathBufferLength - 5, PathBufferLength + 1);
    const std::size_t first =
        std::max<std::size_t>(random.Between(200, LongestName), target - basePathLength - 2 - LongestName);
    const std::size_t second = target - basePathLength - 2 - first;
    Node leaf = RandomNode(random, RandomKeyText(random, second), 4);
    if (random.Percent(70)) {
        leaf.children.push_back(Node{RandomKeyText(random, random.Between(1, 3)), {}, {}});
    }
    return Node{RandomKeyText(random, first), {}, {leaf}};
}

struct DeviceKey {
    std::wstring path;
    std::optional<Node> model;
};

void PlantForeignTree(RandomCases& random, DeviceKey& key)
{
    DeleteKeyTree(HKEY_CLASSES_ROOT, key.path);
    if (random.Percent(15)) {
        return; // the key is not there at all
    }
    Node top = RandomNode(random, L"", random.Percent(50) ? 0 : 3);
    if (random.Percent(8)) {
        top.children.push_back(BoundaryChain(random, key.path.size()));
    }
    kx::unique_hkey created;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, created.put(), nullptr));
    for (const auto& [name, value] : top.values) {
        ::RegSetValueExW(created.get(), name.empty() ? nullptr : name.c_str(), 0, value.type, value.data.data(),
                         static_cast<DWORD>(value.data.size()));
    }
    for (const auto& child : top.children) {
        CreateNode(created.get(), child);
    }
    // The registry decides the names (case-insensitive duplicates merge); the model relies on
    // its order, the one in which it also enumerates the keys that installation adds.
    key.model = ReadKey(key.path);
    ASSERT_TRUE(key.model);
    ASSERT_EQ("", OrderFault(*key.model));
}

// ---- Outside the two keys ----

const wchar_t PluginsPath[] = L"NetworkExplorerPlugins";

// Keys whose names come close to the device keys' and keys of the same names under another
// root: deleting them would mean the deletion matched too loosely or used the wrong root.
class Decoys {
public:
    Decoys() : otherRoot_(L"Software\\KxTest\\" + kxtest::UniqueName(L"randomized-")) {}
    ~Decoys()
    {
        for (const auto& name : siblingNames_) {
            DeleteKeyTree(HKEY_CLASSES_ROOT, std::wstring(PluginsPath) + L"\\" + name);
        }
        DeleteKeyTree(HKEY_CURRENT_USER, otherRoot_);
    }
    Decoys(const Decoys&) = delete;
    Decoys& operator=(const Decoys&) = delete;

    void Plant()
    {
        const std::vector<std::wstring> tree = {L"DefaultIcon", L"shell\\Open\\command", L"shell\\Mount"};
        for (const auto& name : siblingNames_) {
            kxtest::CreateKeys(HKEY_CLASSES_ROOT, std::wstring(PluginsPath) + L"\\" + name, tree);
        }
        kxtest::CreateKeys(HKEY_CURRENT_USER, otherRoot_ + L"\\" + kxtest::ExpectedHardwareIdKeyPath, tree);
        kxtest::CreateKeys(HKEY_CURRENT_USER, otherRoot_ + L"\\" + kxtest::ExpectedDeviceTypeKeyPath, tree);
    }

    // Everything below NetworkExplorerPlugins but the two device keys, and the other root.
    RegistrySnapshot Outside() const
    {
        RegistrySnapshot outside;
        const std::wstring hardwareId = kxtest::ExpectedHardwareIdKeyPath + std::wstring(PluginsPath).size() + 1;
        const std::wstring deviceType = kxtest::ExpectedDeviceTypeKeyPath + std::wstring(PluginsPath).size() + 1;
        for (auto& [path, values] : kxtest::TakeRegistrySnapshot(HKEY_CLASSES_ROOT, PluginsPath)) {
            const std::wstring top = path.substr(0, path.find(L'\\'));
            if (!SameKeyName(top, hardwareId) && !SameKeyName(top, deviceType)) {
                outside[L"HKCR\\" + path] = values;
            }
        }
        for (auto& [path, values] : kxtest::TakeRegistrySnapshot(HKEY_CURRENT_USER, otherRoot_)) {
            outside[L"HKCU\\" + path] = values;
        }
        return outside;
    }

private:
    std::wstring otherRoot_;
    const std::vector<std::wstring> siblingNames_ = {L"VEN_011A&DEV_0080&REV_0", L"VEN_011A&DEV_0080&REV_01x",
                                                     L"VEN_011A&DEV_0080&REV_01 ",
                                                     L"urn:corvanta-com:device:NetworkAttachedStorage:VNTRTZ7",
                                                     L"urn:corvanta-com:device:NetworkAttachedStorage:VNTRTZ71.old"};
};

std::vector<std::wstring> ClassesRootNames()
{
    std::vector<std::wstring> names;
    wchar_t name[256 + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = ARRAYSIZE(name);
        if (::RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name);
    }
}

void ExpectKeyAsModelled(const DeviceKey& key, const char* stage)
{
    const RegistrySnapshot expected = Flattened(key.model);
    const RegistrySnapshot actual = kxtest::TakeRegistrySnapshot(HKEY_CLASSES_ROOT, key.path);
    ASSERT_TRUE(SameSnapshot(expected, actual)) << stage << ", " << kxtest::DescribeText(key.path) << "\n"
                                                << DescribeDifference(expected, actual);
}

TEST(RandomForeignSubtrees, InstallationAndRemovalLeaveWhatTheModelSays)
{
    RandomCases random("RandomForeignSubtrees", 0x5EED0004);
    Decoys decoys;
    decoys.Plant();
    const std::vector<std::wstring> classesBefore = ClassesRootNames();
    const RegistrySnapshot outsideBefore = decoys.Outside();
    const RegistrySnapshot hardwareIdTable = kxtest::ExpectedHardwareIdTree();
    const RegistrySnapshot deviceTypeTable = kxtest::ExpectedDeviceTypeTree(kxtest::ExpectedCaptions());
    int partlyRemoved = 0;
    std::size_t plantedKeys = 0;
    for (int caseNumber = 0; caseNumber < CaseCount; ++caseNumber) {
        SCOPED_TRACE("case " + std::to_string(caseNumber));
        DeviceKey deviceType{kxtest::ExpectedDeviceTypeKeyPath, std::nullopt};
        DeviceKey hardwareId{kxtest::ExpectedHardwareIdKeyPath, std::nullopt};
        ASSERT_NO_FATAL_FAILURE(PlantForeignTree(random, deviceType));
        ASSERT_NO_FATAL_FAILURE(PlantForeignTree(random, hardwareId));
        const std::size_t plantedNow = Flattened(deviceType.model).size() + Flattened(hardwareId.model).size();
        const auto entry = random.Percent(50) ? &CoDeviceInstall : &TarnoD;

        ASSERT_EQ(static_cast<DWORD>(NO_ERROR), entry(DIF_INSTALLINTERFACES, INVALID_HANDLE_VALUE, nullptr, nullptr));
        RemoveAsModelled(deviceType.model, deviceType.path.size());
        RemoveAsModelled(hardwareId.model, hardwareId.path.size());
        WriteTableAsModelled(hardwareId.model, hardwareIdTable);
        WriteTableAsModelled(deviceType.model, deviceTypeTable);
        ASSERT_NO_FATAL_FAILURE(ExpectKeyAsModelled(deviceType, "after installation"));
        ASSERT_NO_FATAL_FAILURE(ExpectKeyAsModelled(hardwareId, "after installation"));

        ASSERT_EQ(static_cast<DWORD>(NO_ERROR), entry(DIF_REMOVE, INVALID_HANDLE_VALUE, nullptr, nullptr));
        RemoveAsModelled(deviceType.model, deviceType.path.size());
        RemoveAsModelled(hardwareId.model, hardwareId.path.size());
        ASSERT_NO_FATAL_FAILURE(ExpectKeyAsModelled(deviceType, "after removal"));
        ASSERT_NO_FATAL_FAILURE(ExpectKeyAsModelled(hardwareId, "after removal"));
        partlyRemoved += deviceType.model || hardwareId.model ? 1 : 0;
        plantedKeys += plantedNow;

        ASSERT_TRUE(SameSnapshot(outsideBefore, decoys.Outside()))
            << DescribeDifference(outsideBefore, decoys.Outside());
    }
    kxtest::DeleteNetworkExplorerKeys();
    EXPECT_EQ(classesBefore, ClassesRootNames());
    // Most trees fit the path buffer and are removed whole; some must not, or the rule at the
    // buffer's end goes untested.
    std::printf("%zu foreign keys planted; %d cases left keys behind\n", plantedKeys, partlyRemoved);
    EXPECT_GT(partlyRemoved, 0);
    EXPECT_LT(partlyRemoved, CaseCount / 5);
}

} // namespace
