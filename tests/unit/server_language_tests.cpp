#include "localization/server_language.h"

#include "allocation_faults.h"
#include "import_patch.h"
#include "trace_recorder.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using kx::ShareNameSlot;

constexpr UINT Untouched = 0xDEADBEEF;

// A share-name list as share enumeration leaves it: named slots, then zeroed ones.
class ShareList {
public:
    explicit ShareList(std::vector<std::wstring> names, std::size_t capacity = 256) : slots_(capacity)
    {
        for (std::size_t i = 0; i < names.size(); ++i) {
            names[i].copy(slots_[i].name, kx::ShareNameLength - 1);
        }
        count_ = static_cast<int>(names.size());
    }
    const ShareNameSlot* Slots() const { return &slots_[0].name; }
    ShareNameSlot& Slot(std::size_t i) { return slots_[i].name; }
    int Count() const { return count_; }

private:
    struct NamedSlot {
        ShareNameSlot name = {};
    };
    std::vector<NamedSlot> slots_;
    int count_ = 0;
};

struct Detection {
    kx::LanguageIndex result;
    std::vector<UINT> positions;
};

Detection Detect(const ShareList& list, int count)
{
    for (UINT& position : kx::StandardSharePositions) {
        position = Untouched;
    }
    kx::StandardShareCount = 0;
    kxtest::TraceRecorder::Clear();
    const kx::LanguageIndex result = kx::GetServerLangIndex(list.Slots(), count, kx::StandardShareCount);
    return {result, std::vector<UINT>(kx::StandardSharePositions, kx::StandardSharePositions + kx::StandardShareCount)};
}

Detection Detect(const ShareList& list)
{
    return Detect(list, list.Count());
}

struct OrderingCase {
    const char* what;
    std::vector<std::wstring> names;
    kx::LanguageIndex result;
    std::vector<UINT> positions;
};

const OrderingCase Orderings[] = {
    {"kinds are taken in list order", {L"Music", L"Public", L"Documents"}, 0, {0, 2}},
    {"a German device ending in the English-German Videos",
     {L"Dokumente", L"Musik", L"Bilder", L"TV-Aufzeichnung", L"Videos"},
     0,
     {0, 1, 2, 3, 4}},
    {"the last match decides the language",
     {L"Videos", L"Dokumente", L"Musik", L"Bilder", L"TV-Aufzeichnung"},
     2,
     {0, 1, 2, 3, 4}},
    {"only the first share of a kind counts", {L"Music", L"Musique"}, 0, {0}},
    {"a later share of a found kind does not change the language", {L"Musique", L"Music", L"Public"}, 1, {0}},
    {"lowest language of a shared text wins: Documents", {L"Documents"}, 0, {0}},
    {"lowest language of a shared text wins: Documentos", {L"Documentos"}, 3, {0}},
    {"lowest language of a shared text wins: Musica with accent", {L"M\u00FAsica"}, 3, {0}},
    {"Italian documents share", {L"IT-IT"}, 4, {0}},
    {"Simplified Chinese music share", {L"Z\u97F3\u4E50"}, 9, {0}},
    {"Traditional Chinese recorded TV", {L"Public", L"\u9304\u88FD\u7684\u7BC0\u76EE"}, 10, {1}},
    {"Russian recorded TV",
     {L"\u0417\u0430\u043F\u0438\u0441\u0430\u043D\u043D\u044B\u0435 "
      L"\u0442\u0435\u043B\u0435\u043F\u0435\u0440\u0435\u0434\u0430\u0447\u0438"},
     8,
     {0}},
};

TEST(ServerLanguage, OrderOfNamesDecidesPositionsAndLanguage)
{
    for (const OrderingCase& ordering : Orderings) {
        const Detection found = Detect(ShareList(ordering.names));
        EXPECT_EQ(ordering.result, found.result) << ordering.what;
        EXPECT_EQ(ordering.positions, found.positions) << ordering.what;
    }
}

TEST(ServerLanguage, NamesThatAreNotStandardSharesAreNotTaken)
{
    const std::vector<std::wstring> lists[] = {
        {L"music", L"Documenti", L"MUSIC", L"Music ", L" Music", L"Z", L"../Music", L"Music/x"},
        {L"\u97F3\u4E50", L"IT", L"Public", L""},
        {},
    };
    for (const auto& names : lists) {
        const Detection found = Detect(ShareList(names));
        EXPECT_EQ(-1, found.result);
        EXPECT_EQ(0u, kx::StandardShareCount);
        EXPECT_EQ(Untouched, kx::StandardSharePositions[0]);
        EXPECT_TRUE(kxtest::TraceRecorder::Lines().empty());
    }
}

TEST(ServerLanguage, NoCountMeansNothingIsLookedAt)
{
    const ShareList list({L"Music", L"Documents"});
    for (int count : {0, -1, INT_MIN}) {
        const Detection found = Detect(list, count);
        EXPECT_EQ(-1, found.result) << count;
        EXPECT_EQ(0u, kx::StandardShareCount) << count;
        EXPECT_EQ(Untouched, kx::StandardSharePositions[0]) << count;
        EXPECT_TRUE(kxtest::TraceRecorder::Lines().empty()) << count;
    }
    UINT counter = 0;
    EXPECT_EQ(-1, kx::GetServerLangIndex(nullptr, 3, counter));
    EXPECT_EQ(0u, counter);
}

TEST(ServerLanguage, OnlyTheCountedNamesAreLookedAt)
{
    const Detection found = Detect(ShareList({L"Public", L"Music", L"Documents"}), 2);
    EXPECT_EQ(0, found.result);
    EXPECT_EQ(std::vector<UINT>{1}, found.positions);
}

using StrCmpWFunction = int(WINAPI*)(const wchar_t*, const wchar_t*);
std::vector<const wchar_t*> g_comparedNames;
StrCmpWFunction g_realStrCmpW = nullptr;

int WINAPI RecordingStrCmpW(const wchar_t* name, const wchar_t* text)
{
    g_comparedNames.push_back(name);
    return g_realStrCmpW(name, text);
}

TEST(ServerLanguage, StopsAtTheFifthKindFound)
{
    const ShareList list({L"Public", L"Imagens", L"Music", L"Documents", L"Video", L"TV grabada", L"Musik"});
    g_comparedNames.clear();
    kxtest::ImportPatch compare(kxtest::TestProgramModule(), "shlwapi.dll", "StrCmpW",
                                reinterpret_cast<const void*>(&RecordingStrCmpW));
    ASSERT_TRUE(compare.Installed());
    g_realStrCmpW = compare.Original<StrCmpWFunction>();
    const Detection found = Detect(list);
    EXPECT_EQ(3, found.result);
    EXPECT_EQ((std::vector<UINT>{1, 2, 3, 4, 5}), found.positions);
    ASSERT_FALSE(g_comparedNames.empty());
    EXPECT_EQ(list.Slots()[5], g_comparedNames.back());
}

TEST(ServerLanguage, AllFiveKindsInEveryLanguage)
{
    const kx::LocalizedText* kinds[] = {&kx::ShareRecordedTV, &kx::ShareVideos, &kx::ShareMusic, &kx::SharePictures,
                                        &kx::ShareDocuments};
    for (kx::LanguageIndex language = 0; language < kx::LanguageCount; ++language) {
        std::vector<std::wstring> names{L"Public"};
        for (const kx::LocalizedText* kind : kinds) {
            names.push_back(kind->texts[language]);
        }
        const Detection found = Detect(ShareList(names));
        // The last name is the documents share: French and Portuguese share it with a lower language.
        const kx::LanguageIndex expected = language == 1 ? 0 : language == 7 ? 3 : language;
        EXPECT_EQ(expected, found.result) << "language " << language;
        EXPECT_EQ((std::vector<UINT>{1, 2, 3, 4, 5}), found.positions) << "language " << language;
    }
}

TEST(ServerLanguage, CountsOnFromWhatTheCallerPassesAndNeverPastFive)
{
    const ShareList list({L"Music", L"Documents", L"Videos"});
    for (UINT& position : kx::StandardSharePositions) {
        position = Untouched;
    }
    UINT counter = 3;
    EXPECT_EQ(0, kx::GetServerLangIndex(list.Slots(), list.Count(), counter));
    EXPECT_EQ(5u, counter);
    EXPECT_EQ(0u, kx::StandardSharePositions[3]);
    EXPECT_EQ(1u, kx::StandardSharePositions[4]);

    counter = 5;
    EXPECT_EQ(-1, kx::GetServerLangIndex(list.Slots(), list.Count(), counter));
    EXPECT_EQ(5u, counter);
}

TEST(ServerLanguage, TracesTheLanguageOnlyWhenOneWasFound)
{
    Detect(ShareList({L"Public", L"\u30D3\u30C7\u30AA"}));
    ASSERT_EQ(1u, kxtest::TraceRecorder::Lines().size());
    EXPECT_EQ(L"Server lang index found: 5\r\n", kxtest::TraceRecorder::Lines()[0].text);
    EXPECT_EQ(kx::TraceRoute::FormatOnly, kxtest::TraceRecorder::Lines()[0].route);
}

TEST(ServerLanguage, LongestNamesAreComparedWhole)
{
    ShareList list({L"Public", L"Music"});
    const std::wstring longest(kx::ShareNameLength - 1, L'M');
    longest.copy(list.Slot(0), longest.size());
    const Detection found = Detect(list);
    EXPECT_EQ(std::vector<UINT>{1}, found.positions);
}

TEST(ServerLanguage, UnterminatedSlotIsNotAName)
{
    ShareList list({L"Music", L"Documents"}, 2);
    std::wstring full(L"Documents");
    full.resize(kx::ShareNameLength, L'x');
    full.copy(list.Slot(1), kx::ShareNameLength);
    const Detection found = Detect(list);
    EXPECT_EQ(0, found.result);
    EXPECT_EQ(std::vector<UINT>{0}, found.positions);
}

TEST(ServerLanguage, FullListNeedsNoAllocation)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < 256; ++i) {
        names.push_back(L"share" + std::to_wstring(i));
    }
    names.back() = L"Musik";
    const ShareList list(names);
    kxtest::AllocationFaults faults(kxtest::TestProgramModule());
    UINT counter = 0;
    EXPECT_EQ(2, kx::GetServerLangIndex(list.Slots(), list.Count(), counter));
    EXPECT_EQ(0, faults.Attempts());
}

} // namespace
