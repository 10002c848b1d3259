// Random share-name lists through server language detection, directly and after enumeration
// by the stand-in network provider, checked against models written from the detection and
// enumeration rules.

#include "localization/server_language.h"
#include "random_cases.h"
#include "share_names.h"
#include "simulated_network.h"
#include "test_environment.h"
#include "utilities/utilities.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using kxtest::RandomCases;

constexpr std::size_t LongestList = 300;
constexpr UINT MountListCapacity = 256;

struct Detected {
    int result;
    std::vector<unsigned> positions;
};

Detected Detect(const kx::ShareNameSlot* slots, int count, unsigned initialCount)
{
    std::fill(std::begin(kx::StandardSharePositions), std::end(kx::StandardSharePositions), 0xDEADBEEFu);
    kx::StandardShareCount = initialCount;
    const int result = kx::GetServerLangIndex(slots, count, kx::StandardShareCount);
    std::vector<unsigned> positions;
    for (unsigned index = initialCount; index < kx::StandardShareCount && index < kx::StandardShareKinds; ++index) {
        positions.push_back(kx::StandardSharePositions[index]);
    }
    EXPECT_LE(kx::StandardShareCount, kx::StandardShareKinds);
    return {result, positions};
}

void ExpectDetectionAsModelled(const Detected& detected, const kxtest::ModelDetection& expected,
                               const std::vector<std::wstring>& names)
{
    ASSERT_EQ(expected.positions, detected.positions) << kxtest::DescribeNames(names);
    ASSERT_EQ(expected.result, detected.result) << kxtest::DescribeNames(names);
}

// The generator relies on the platform comparison telling its near misses from the standard
// names: no character it adds is ignored or folded, and neither case nor a trailing blank is.
TEST(RandomShareNames, EveryNearMissTheGeneratorCanMakeIsAMissForTheComparison)
{
    for (const auto& kind : kxtest::StandardShareNames()) {
        for (const auto& name : kind) {
            EXPECT_NE(0, ::StrCmpW((name + L" ").c_str(), name.c_str()));
            for (std::size_t position = 0; position < name.size(); ++position) {
                std::wstring dropped = name;
                dropped.erase(position, 1);
                EXPECT_NE(0, ::StrCmpW(dropped.c_str(), name.c_str())) << kxtest::DescribeText(dropped);
                for (const wchar_t character : kxtest::SignificantCharacters()) {
                    std::wstring replaced = name;
                    replaced[position] = character;
                    std::wstring added = name;
                    added.insert(position, 1, character);
                    EXPECT_EQ(replaced == name, ::StrCmpW(replaced.c_str(), name.c_str()) == 0)
                        << kxtest::DescribeText(replaced);
                    EXPECT_NE(0, ::StrCmpW(added.c_str(), name.c_str())) << kxtest::DescribeText(added);
                }
            }
        }
    }
}

// Why the generator keeps to those characters: the comparison is linguistic, so these texts,
// which differ from a standard name, are recognised as it.
TEST(RandomShareNames, TheComparisonTakesSomeOtherTextsForStandardNames)
{
    const std::vector<std::pair<std::wstring, int>> lookalikes = {
        {L"Vide\u0301os", 1}, // a combining accent: the French videos share
        {L"Im\u3005agini", 4}, // an iteration mark repeats the letter before it
        {L"Mu\u00ADsic", 0}, // a soft hyphen is ignored
        {L"Mu\u200Dsic", 0}, // so is a zero-width joiner
    };
    for (const auto& [name, language] : lookalikes) {
        kx::ShareNameSlot slot = {};
        name.copy(slot, kx::ShareNameLength - 1);
        EXPECT_EQ(language, Detect(&slot, 1, 0).result) << kxtest::DescribeText(name);
    }
}

TEST(RandomShareNames, DetectionEqualsTheModelsForEveryList)
{
    RandomCases random("RandomShareNames", 0x5EED0002);
    constexpr int ListCount = 4000;
    int recognised = 0;
    for (int listNumber = 0; listNumber < ListCount; ++listNumber) {
        const std::size_t length = random.Percent(80) ? random.Between(0, 40) : random.Between(0, LongestList);
        const unsigned standardPercent = kxtest::RandomStandardPercent(random);
        std::vector<std::wstring> names;
        kxtest::ShareSlots slots(length);
        for (std::size_t index = 0; index < length; ++index) {
            names.push_back(kxtest::RandomShareName(random, kx::ShareNameLength - 1, standardPercent));
            slots.Store(index, names.back());
        }
        const unsigned initialCount = random.Percent(90) ? 0 : static_cast<unsigned>(random.Between(0, 5));
        SCOPED_TRACE("list " + std::to_string(listNumber) + " of " + std::to_string(length) +
                     " names, count starting at " + std::to_string(initialCount));
        const kxtest::ModelDetection expected = kxtest::ExpectedDetection(names, initialCount);
        ExpectDetectionAsModelled(Detect(slots.Slots(), static_cast<int>(length), initialCount), expected, names);
        recognised += expected.result >= 0 ? 1 : 0;
    }
    EXPECT_GT(recognised, ListCount / 4);
    EXPECT_LT(recognised, ListCount * 9 / 10);
}

// ---- Through enumeration by the stand-in provider ----

// One entry the provider reports, and the share name that enumeration must store for it
// (none for entries that are not shares, have no remote name, or end in a separator).
struct ProviderEntry {
    std::wstring line;
    bool stored = false;
    std::wstring storedName;
};

// What enumeration stores of a remote name: the text after its last backslash, cut to 259.
ProviderEntry ShareEntry(std::wstring line, const std::wstring& remoteName)
{
    const std::size_t separator = remoteName.rfind(L'\\');
    const std::wstring name = separator == std::wstring::npos ? remoteName : remoteName.substr(separator + 1);
    return {std::move(line), !name.empty(), name.substr(0, kxtest::StoredNameLength)};
}

ProviderEntry Skipped(std::wstring line)
{
    return {std::move(line), false, {}};
}

ProviderEntry RandomProviderEntry(RandomCases& random, const std::wstring& host, unsigned standardPercent)
{
    const std::wstring unc = L"\\\\" + host + L"\\";
    const std::size_t choice = random.Between(0, 99);
    if (choice < 84) {
        std::wstring name =
            kxtest::RandomShareName(random, random.Percent(97) ? kxtest::StoredNameLength : 300, standardPercent);
        if (name[0] == L'|') {
            name.insert(0, 1, L'x'); // a leading bar would make the line a raw entry
        }
        return ShareEntry(name, unc + name);
    }
    if (choice < 89) {
        // A share whose remote name has more separators, or none at all.
        const std::wstring remote = random.Percent(50)
                                        ? unc + L"a\\" + kxtest::RandomShareName(random, 40, standardPercent)
                                        : kxtest::RandomShareName(random, 40, standardPercent);
        return ShareEntry(L"|3|" + remote, remote);
    }
    if (choice < 94) {
        // Not a share (a domain, server, generic or folder entry): skipped.
        static const std::vector<std::wstring> displayTypes = {L"0", L"1", L"2", L"4", L"5", L"6"};
        return Skipped(L"|" + random.Pick(displayTypes) + L"|" + unc + L"Music");
    }
    if (choice < 97) {
        return Skipped(L"|3"); // a share without a remote name
    }
    return Skipped(L"Music\\"); // \\host\Music\ names no share after its last separator
}

// The names that enumeration must store, with the capacity of the mount command's list.
std::vector<std::wstring> ExpectedStoredNames(const std::vector<ProviderEntry>& entries)
{
    std::vector<std::wstring> stored;
    for (const auto& entry : entries) {
        if (entry.stored && stored.size() < MountListCapacity) {
            stored.push_back(entry.storedName);
        }
    }
    return stored;
}

TEST(RandomShareHosts, EnumerationAndDetectionEqualTheModelsForEveryHost)
{
    ASSERT_TRUE(kxtest::StandInMprLoaded()) << "run with WINEDLLOVERRIDES=mpr=n";
    RandomCases random("RandomShareHosts", 0x5EED0003);
    constexpr int HostCount = 1500;
    const std::wstring host = kxtest::UniqueName(L"rnd");
    int fullLists = 0;
    int recognised = 0;
    for (int hostNumber = 0; hostNumber < HostCount; ++hostNumber) {
        const std::size_t length = random.Percent(60) ? random.Between(0, 40) : random.Between(0, LongestList);
        const unsigned standardPercent = kxtest::RandomStandardPercent(random);
        std::vector<ProviderEntry> entries;
        std::vector<std::wstring> lines;
        for (std::size_t index = 0; index < length; ++index) {
            entries.push_back(RandomProviderEntry(random, host, standardPercent));
            lines.push_back(entries.back().line);
        }
        kxtest::SimulatedShareHost device(host, lines);
        device.SetNumber(kxsim::HostBatchSizeValue, random.Percent(50) ? 0 : static_cast<DWORD>(random.Between(1, 40)));
        const std::vector<std::wstring> expectedNames = ExpectedStoredNames(entries);
        SCOPED_TRACE("host " + std::to_string(hostNumber) + " with " + std::to_string(length) + " entries");

        kxtest::ShareSlots slots(MountListCapacity);
        UINT count = 0;
        ASSERT_EQ(1, kx::CUtilities::GetDeviceShares(device.Unc().c_str(), &count, MountListCapacity, slots.Slots()));
        const std::vector<std::wstring> storedNames = slots.Names(count);
        ASSERT_EQ(expectedNames, storedNames) << kxtest::DescribeNames(storedNames);
        ASSERT_TRUE(slots.ZeroFrom(count));

        const kxtest::ModelDetection expected = kxtest::ExpectedDetection(expectedNames, 0);
        ExpectDetectionAsModelled(Detect(slots.Slots(), static_cast<int>(count), 0), expected, storedNames);
        fullLists += count == MountListCapacity ? 1 : 0;
        recognised += expected.result >= 0 ? 1 : 0;
    }
    EXPECT_EQ(0, kxtest::StandInOpenEnumerations());
    // The full-list rule and both outcomes of detection must each be reached often enough.
    EXPECT_GT(fullLists, HostCount / 100);
    EXPECT_GT(recognised, HostCount / 4);
    EXPECT_LT(recognised, HostCount * 9 / 10);
}

} // namespace
