#include "common/bounded_text.h"
#include "localization/localized_text.h"

#include "import_patch.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct NamesCase {
    const wchar_t* language;
    const wchar_t* country;
    kx::LanguageIndex expected;
};

// One line per language or per kind of near miss.
// clang-format off
const NamesCase LanguageTable[] = {
    {L"en", L"US", 0}, {L"en", L"GB", 0}, {L"en", L"AU", 0},
    {L"fr", L"FR", 1}, {L"fr", L"CA", 1},
    {L"de", L"DE", 2}, {L"de", L"CH", 2},
    {L"es", L"ES", 3}, {L"es", L"MX", 3},
    {L"it", L"IT", 4},
    {L"ja", L"JP", 5},
    {L"ko", L"KR", 6},
    {L"pt", L"BR", 7}, {L"pt", L"PT", 7},
    {L"ru", L"RU", 8},
    {L"zh", L"CN", 9}, {L"zh", L"SG", 9},
    {L"zh", L"TW", 10}, {L"zh", L"HK", 10}, {L"zh", L"MO", 10},
};

const NamesCase OtherNames[] = {
    // Languages outside the eleven.
    {L"nl", L"NL", 0}, {L"sv", L"SE", 0}, {L"ar", L"SA", 0},
    // Whole-text, case-sensitive comparison of the language name.
    {L"EN", L"US", 0}, {L"FR", L"FR", 0}, {L"De", L"DE", 0}, {L"ZH", L"TW", 0},
    {L"f", L"FR", 0}, {L"fra", L"FR", 0}, {L"fil", L"PH", 0}, {L"frx", L"FR", 0}, {L"zho", L"TW", 0},
    {L"", L"US", 0},
    // The country only counts for Chinese, and only as an exact name.
    {L"zh", L"tw", 9}, {L"zh", L"Tw", 9}, {L"zh", L"TWN", 9}, {L"zh", L"T", 9}, {L"zh", L"", 9},
    {L"zh", L"US", 9}, {L"ja", L"TW", 5},
};
// clang-format on

void ExpectMapping(const NamesCase& names)
{
    EXPECT_EQ(names.expected, kx::LanguageIndexFromNames(names.language, names.country))
        << kxtest::ToUtf8(names.language) << "-" << kxtest::ToUtf8(names.country);
}

TEST(LanguageIndexFromNames, EveryTabledLanguageAndRegion)
{
    for (const NamesCase& names : LanguageTable) {
        ExpectMapping(names);
    }
}

TEST(LanguageIndexFromNames, OtherNamesFallBackToEnglishOrSimplifiedChinese)
{
    for (const NamesCase& names : OtherNames) {
        ExpectMapping(names);
    }
}

TEST(LanguageIndexFromNames, MissingNamesAreAnsweredWithoutFault)
{
    EXPECT_EQ(0, kx::LanguageIndexFromNames(nullptr, L"TW"));
    EXPECT_EQ(9, kx::LanguageIndexFromNames(L"zh", nullptr));
}

// The platform as the code under test sees it, with a chosen UI language and locale answers.
struct FakeLocale {
    LANGID uiLanguage = 0;
    const wchar_t* country = nullptr; // null: the query fails
    const wchar_t* language = nullptr; // null: the query fails
    std::vector<LCTYPE> queries;
    std::vector<LCID> locales;
    std::vector<int> capacities;
    int uiLanguageCalls = 0;
};
FakeLocale* g_fake = nullptr;

LANGID WINAPI FakeGetSystemDefaultUILanguage()
{
    ++g_fake->uiLanguageCalls;
    return g_fake->uiLanguage;
}

int WINAPI FakeGetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR buffer, int capacity)
{
    g_fake->queries.push_back(type);
    g_fake->locales.push_back(locale);
    g_fake->capacities.push_back(capacity);
    const wchar_t* answer = type == LOCALE_SISO3166CTRYNAME  ? g_fake->country
                            : type == LOCALE_SISO639LANGNAME ? g_fake->language
                                                             : nullptr;
    if (answer == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    kx::BoundedCopy(buffer, static_cast<std::size_t>(capacity), answer);
    return ::lstrlenW(buffer) + 1;
}

class PatchedLocale : public ::testing::Test {
protected:
    void SetUp() override { g_fake = &fake_; }
    void TearDown() override { g_fake = nullptr; }

    void Answer(LANGID uiLanguage, const wchar_t* country, const wchar_t* language)
    {
        fake_.uiLanguage = uiLanguage;
        fake_.country = country;
        fake_.language = language;
    }

    kx::LanguageIndex Run()
    {
        kxtest::ImportPatch uiLanguage(kxtest::TestProgramModule(), "kernel32.dll", "GetSystemDefaultUILanguage",
                                       reinterpret_cast<const void*>(&FakeGetSystemDefaultUILanguage));
        kxtest::ImportPatch localeInfo(kxtest::TestProgramModule(), "kernel32.dll", "GetLocaleInfoW",
                                       reinterpret_cast<const void*>(&FakeGetLocaleInfoW));
        EXPECT_TRUE(uiLanguage.Installed());
        EXPECT_TRUE(localeInfo.Installed());
        return kx::GetLanguageIndex();
    }

    FakeLocale fake_;
};

TEST_F(PatchedLocale, AsksForTheCountryThenTheLanguageOfTheUiLanguage)
{
    Answer(0x0C04, L"HK", L"zh");
    EXPECT_EQ(10, Run());
    EXPECT_EQ(1, fake_.uiLanguageCalls);
    EXPECT_EQ((std::vector<LCTYPE>{LOCALE_SISO3166CTRYNAME, LOCALE_SISO639LANGNAME}), fake_.queries);
    EXPECT_EQ((std::vector<LCID>{0x0C04, 0x0C04}), fake_.locales);
    EXPECT_EQ((std::vector<int>{85, 85}), fake_.capacities);
}

TEST_F(PatchedLocale, EveryLookupAsksAgain)
{
    Answer(0x0407, L"DE", L"de");
    EXPECT_EQ(2, Run());
    fake_.language = L"ru";
    EXPECT_EQ(8, Run());
    EXPECT_EQ(2, fake_.uiLanguageCalls);
    EXPECT_EQ(4u, fake_.queries.size());
}

TEST_F(PatchedLocale, FailedCountryQueryMeansUnitedStates)
{
    Answer(0x0404, nullptr, L"zh");
    EXPECT_EQ(9, Run());
    EXPECT_EQ(2u, fake_.queries.size());
}

TEST_F(PatchedLocale, FailedLanguageQueryMeansEnglish)
{
    Answer(0x0404, L"TW", nullptr);
    EXPECT_EQ(0, Run());
}

TEST_F(PatchedLocale, EmptyAnswersReplaceTheDefaults)
{
    Answer(0x0404, L"", L"zh");
    EXPECT_EQ(9, Run());
    Answer(0x0407, L"DE", L"");
    EXPECT_EQ(0, Run());
}

TEST_F(PatchedLocale, UiTextFollowsTheLanguageOfTheMoment)
{
    Answer(0x040C, L"FR", L"fr");
    kxtest::ImportPatch uiLanguage(kxtest::TestProgramModule(), "kernel32.dll", "GetSystemDefaultUILanguage",
                                   reinterpret_cast<const void*>(&FakeGetSystemDefaultUILanguage));
    kxtest::ImportPatch localeInfo(kxtest::TestProgramModule(), "kernel32.dll", "GetLocaleInfoW",
                                   reinterpret_cast<const void*>(&FakeGetLocaleInfoW));
    EXPECT_STREQ(L"Partages", kx::SharesColumnHeader().Text());
    fake_.language = L"nl";
    EXPECT_STREQ(L"Shares", kx::SharesColumnHeader().Text());
    fake_.language = L"zh";
    fake_.country = L"MO";
    EXPECT_STREQ(L"Close", kx::CloseButtonCaption().Text());
    EXPECT_STREQ(L"\u639B\u63A5", kx::MountCaption().Text());
}

// Run once per UI language with LC_ALL set for the Wine process and the index it should give.
TEST(SystemUiLanguage, GivesTheExpectedIndex)
{
    const std::wstring expected = kxtest::EnvironmentText(L"KX_EXPECTED_LANGUAGE_INDEX");
    if (expected.empty()) {
        GTEST_SKIP() << "KX_EXPECTED_LANGUAGE_INDEX is not set";
    }
    EXPECT_EQ(std::stoi(expected), kx::GetLanguageIndex())
        << "LC_ALL=" << kxtest::ToUtf8(kxtest::EnvironmentText(L"LC_ALL"));
}

using UiAccessor = kx::CountedString (*)();

TEST(SystemUiLanguage, EveryUiAccessorUsesIt)
{
    const struct {
        UiAccessor accessor;
        const kx::LocalizedText* entry;
    } accessors[] = {
        {kx::OpenCaption, &kx::TextOpen},
        {kx::MountCaption, &kx::TextMount},
        {kx::InstallConnectorCaption, &kx::TextInstallConnector},
        {kx::OpenMediaPlayerCaption, &kx::TextOpenMediaPlayer},
        {kx::SharesColumnHeader, &kx::TextSharesColumn},
        {kx::StatusColumnHeader, &kx::TextStatusColumn},
        {kx::SelectSharesLabel, &kx::TextSelectShares},
        {kx::NoStandardSharesWarning, &kx::TextNoStandardShares},
        {kx::MountFailedStatus, &kx::TextMountFailed},
        {kx::MountSuccessfulStatus, &kx::TextMountSuccessful},
        {kx::CloseButtonCaption, &kx::TextClose},
    };
    const kx::LanguageIndex language = kx::GetLanguageIndex();
    for (const auto& ui : accessors) {
        EXPECT_STREQ(kx::GetLocalizedText(*ui.entry, language).Text(), ui.accessor().Text());
        EXPECT_STREQ(kx::GetLocalizedText(*ui.entry, language).Text(), kx::GetUIText(*ui.entry).Text());
    }
}

} // namespace
