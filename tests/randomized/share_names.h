#pragma once

#include "random_cases.h"
#include "common/share_name_list.h"

#include <array>
#include <string>
#include <vector>

namespace kxtest {

constexpr int ShareKindCount = 5;
constexpr int ShareLanguageCount = 11;
constexpr std::size_t StoredNameLength = 259;

// The standard share names of the eleven languages, kinds in the order documents, pictures,
// music, videos, recorded TV; languages in the order of the language index.
using StandardNameTable = std::array<std::array<std::wstring, ShareLanguageCount>, ShareKindCount>;
const StandardNameTable& StandardShareNames();

// What detection must find in a list of names.
struct ModelDetection {
    int result = -1;
    std::vector<unsigned> positions;
};

// Kinds in fixed order, languages 0 to 10, the lowest equal language wins within a kind, one
// share per kind, no more than five shares in all; the result is the language of the last
// match. Names are equal when their characters are: the generator only makes names for which
// the platform's comparison agrees (see SignificantCharacters).
ModelDetection ExpectedDetection(const std::vector<std::wstring>& names, unsigned initialCount);

// A standard name (standardPercent in a hundred), else a near miss of one (one letter's case
// changed, one character replaced, dropped or added, a trailing blank) or random text; at most
// maxLength characters.
std::wstring RandomShareName(RandomCases& random, std::size_t maxLength, unsigned standardPercent);
// How many names of one list are standard ones: from none to a third.
unsigned RandomStandardPercent(RandomCases& random);

// A share-name list of fixed slots, all zeros, with one more slot behind the last that a
// correct caller never writes. It is zeros too: a slot that is not empty would itself stop a
// store, and so hide a store past the capacity.
class ShareSlots {
public:
    explicit ShareSlots(std::size_t capacity);

    kx::ShareNameSlot* Slots() { return reinterpret_cast<kx::ShareNameSlot*>(characters_.data()); }
    void Store(std::size_t index, const std::wstring& name);
    std::vector<std::wstring> Names(std::size_t count) const;
    // Whether every slot from first on, the one behind the capacity included, is all zeros.
    bool ZeroFrom(std::size_t first) const;

private:
    std::size_t capacity_;
    std::vector<wchar_t> characters_;
};

std::string DescribeNames(const std::vector<std::wstring>& names);

} // namespace kxtest
