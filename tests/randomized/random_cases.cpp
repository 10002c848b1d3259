#include "random_cases.h"

#include "test_environment.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace kxtest {

std::uint64_t RandomSeed(const char* suite, std::uint64_t fixedDefault)
{
    const std::wstring text = EnvironmentText(L"KX_RANDOM_SEED");
    const std::uint64_t seed = text.empty() ? fixedDefault : std::wcstoull(text.c_str(), nullptr, 0);
    std::printf("%s: random seed %llu (set KX_RANDOM_SEED=%llu to repeat)\n", suite,
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    return seed;
}

RandomCases::RandomCases(const char* suite, std::uint64_t fixedDefault) : engine_(RandomSeed(suite, fixedDefault)) {}

std::size_t RandomCases::Between(std::size_t low, std::size_t high)
{
    // The engine's raw output keeps sequences equal across standard libraries; the
    // distributions of <random> are not specified bit for bit.
    const std::uint64_t span = static_cast<std::uint64_t>(high - low) + 1;
    return low + static_cast<std::size_t>(span == 0 ? engine_() : engine_() % span);
}

bool RandomCases::Percent(unsigned chance)
{
    return Between(0, 99) < chance;
}

std::size_t RandomCases::SkewedLength(std::size_t high)
{
    switch (Between(0, 3)) {
    case 0:
        return Between(0, high < 16 ? high : 16);
    case 1:
        return Between(0, high < 300 ? high : 300);
    case 2:
        return Between(0, high < 5000 ? high : 5000);
    default:
        return Between(0, high);
    }
}

namespace {

void AddRange(std::vector<wchar_t>& characters, wchar_t first, wchar_t last, unsigned step = 1)
{
    for (unsigned character = first; character <= last; character += step) {
        characters.push_back(static_cast<wchar_t>(character));
    }
}

std::vector<wchar_t> MakeSignificantCharacters()
{
    std::vector<wchar_t> characters;
    AddRange(characters, 0x20, 0x7E);
    for (const wchar_t accented : std::wstring(L"\u00E0\u00E1\u00E7\u00E8\u00E9\u00ED\u00F1\u00F3\u00F6\u00FA\u00FC"
                                               L"\u00C9\u00D6\u00DC")) {
        characters.push_back(accented);
    }
    AddRange(characters, 0x0410, 0x044F); // Cyrillic capitals and small letters
    AddRange(characters, 0x3041, 0x3093); // hiragana, without the iteration marks
    AddRange(characters, 0x30A1, 0x30F6); // katakana, without the prolonged sound mark
    AddRange(characters, 0xAC00, 0xD7A3, 97); // Hangul syllables, a sample
    AddRange(characters, 0x4E00, 0x9FA5, 89); // CJK unified ideographs, a sample
    return characters;
}

} // namespace

const std::vector<wchar_t>& SignificantCharacters()
{
    static const std::vector<wchar_t> characters = MakeSignificantCharacters();
    return characters;
}

const std::vector<wchar_t>& InvisibleToComparison()
{
    // Soft hyphen, combining acute, zero-width joiners and marks, word joiner, variation
    // selector, byte order mark, ideographic iteration mark.
    static const std::vector<wchar_t> characters = {0x00AD, 0x0301, 0x200C, 0x200D, 0x200E,
                                                    0x2060, 0xFE0F, 0xFEFF, 0x3005};
    return characters;
}

std::wstring FromUtf8(const std::string& text)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string DescribeText(const std::wstring& text)
{
    std::string shown = "\"";
    for (const wchar_t character : text) {
        if (character >= 0x20 && character < 0x7F && character != L'"' && character != L'\\') {
            shown += static_cast<char>(character);
        } else {
            constexpr char digits[] = "0123456789ABCDEF";
            shown += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                shown += digits[(static_cast<unsigned>(character) >> shift) & 0xF];
            }
        }
    }
    return shown + "\"";
}

} // namespace kxtest
