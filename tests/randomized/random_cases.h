#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kxtest {

// The seed of a randomized suite: KX_RANDOM_SEED when set (to repeat a failing run), otherwise
// the suite's fixed default. Printed once per suite so that every failure can be replayed.
std::uint64_t RandomSeed(const char* suite, std::uint64_t fixedDefault);

// A deterministic source of random choices for one suite.
class RandomCases {
public:
    RandomCases(const char* suite, std::uint64_t fixedDefault);

    // A whole number in [low, high].
    std::size_t Between(std::size_t low, std::size_t high);
    // True with the given chance in percent.
    bool Percent(unsigned chance);
    // A length in [0, high] that favours short ones: most cases stay cheap, a few reach high.
    std::size_t SkewedLength(std::size_t high);
    template <typename T>
    const T& Pick(const std::vector<T>& items)
    {
        return items[Between(0, items.size() - 1)];
    }

private:
    std::mt19937_64 engine_;
};

// Characters that the platform's linguistic comparison (StrCmpW, lstrcmpW) never ignores,
// never takes as another character, and never joins with a neighbour: printable ASCII, a few
// accented Latin letters, Cyrillic, kana, and samples of Hangul and CJK ideographs. Combining
// marks, format characters, compatibility ideographs, radicals and iteration marks are left out
// on purpose (the comparison takes "Vide" U+0301 "os" as "Vidéos", and "Im" U+3005 "agini" as
// "Immagini").
const std::vector<wchar_t>& SignificantCharacters();
// Characters that the linguistic comparison ignores or folds into a neighbour.
const std::vector<wchar_t>& InvisibleToComparison();

std::wstring FromUtf8(const std::string& text);
std::string DescribeText(const std::wstring& text);

} // namespace kxtest
