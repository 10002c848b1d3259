#include "localization/localized_text.h"

#include <windows.h>

namespace kx {

namespace {

// The locale queries answer into buffers of this many characters.
constexpr int LocaleNameLength = 85;

enum : LanguageIndex {
    English = 0,
    SimplifiedChinese = 9,
    TraditionalChinese = 10,
};

// Exact, case-sensitive and over the whole text: "EN", "e" and "eng" all differ from "en".
bool SameName(const wchar_t* name, const wchar_t* expected) noexcept
{
    for (;; ++name, ++expected) {
        if (*name != *expected) {
            return false;
        }
        if (*expected == L'\0') {
            return true;
        }
    }
}

// Languages whose index does not depend on the country, in the order they are tried.
struct LanguageName {
    const wchar_t* name;
    LanguageIndex index;
};
constexpr LanguageName CountryFreeLanguages[] = {
    {L"en", 0}, {L"fr", 1}, {L"de", 2}, {L"es", 3}, {L"it", 4}, {L"ja", 5}, {L"ko", 6}, {L"pt", 7}, {L"ru", 8},
};

// Chinese is written with traditional characters in these regions, simplified elsewhere.
bool UsesTraditionalChinese(const wchar_t* countryName) noexcept
{
    return SameName(countryName, L"TW") || SameName(countryName, L"HK") || SameName(countryName, L"MO");
}

// The working text after one query: the answer when the query succeeded, else the default.
const wchar_t* QueryLocaleName(LCID locale, LCTYPE what, wchar_t (&buffer)[LocaleNameLength],
                               const wchar_t* fallback) noexcept
{
    if (::GetLocaleInfoW(locale, what, buffer, LocaleNameLength) == 0) {
        return fallback;
    }
    buffer[LocaleNameLength - 1] = L'\0';
    return buffer;
}

} // namespace

LanguageIndex LanguageIndexFromNames(const wchar_t* languageName, const wchar_t* countryName)
{
    if (languageName == nullptr) {
        return English;
    }
    for (const LanguageName& language : CountryFreeLanguages) {
        if (SameName(languageName, language.name)) {
            return language.index;
        }
    }
    if (!SameName(languageName, L"zh")) {
        return English;
    }
    return countryName != nullptr && UsesTraditionalChinese(countryName) ? TraditionalChinese : SimplifiedChinese;
}

LanguageIndex GetLanguageIndex()
{
    const LCID locale = ::GetSystemDefaultUILanguage();
    wchar_t country[LocaleNameLength] = {};
    wchar_t language[LocaleNameLength] = {};
    // Both queries are always made, country first, whatever the language turns out to be.
    const wchar_t* countryName = QueryLocaleName(locale, LOCALE_SISO3166CTRYNAME, country, L"US");
    const wchar_t* languageName = QueryLocaleName(locale, LOCALE_SISO639LANGNAME, language, L"en");
    return LanguageIndexFromNames(languageName, countryName);
}

} // namespace kx
