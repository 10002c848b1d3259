#include "localization/server_language.h"

#include "common/trace.h"

#include <shlwapi.h>

#include <cwchar>

namespace kx {

UINT StandardShareCount = 0;
UINT StandardSharePositions[StandardShareKinds] = {};

namespace {

constexpr LanguageIndex NoLanguage = -1;

// In the order the kinds are tried for each name.
const LocalizedText* const StandardShareNames[StandardShareKinds] = {
    &ShareDocuments, &SharePictures, &ShareMusic, &ShareVideos, &ShareRecordedTV,
};

// A slot without a terminator is not a name; comparing it would read on past the slot.
bool IsTerminated(const ShareNameSlot& slot) noexcept
{
    for (const wchar_t character : slot) {
        if (character == L'\0') {
            return true;
        }
    }
    return false;
}

// The texts a name is compared with, per kind and language. Several languages share one text
// ("Videos" is English, German and Portuguese); a repeat is left out (null), since the text
// already failed to match at the earlier language.
struct CandidateTexts {
    const wchar_t* texts[StandardShareKinds][LanguageCount];
};

CandidateTexts DistinctCandidates() noexcept
{
    CandidateTexts candidates = {};
    for (UINT kind = 0; kind < StandardShareKinds; ++kind) {
        for (LanguageIndex language = 0; language < LanguageCount; ++language) {
            const wchar_t* text = CatalogueText(*StandardShareNames[kind], language);
            bool repeated = false;
            for (LanguageIndex earlier = 0; earlier < language && !repeated; ++earlier) {
                const wchar_t* previous = candidates.texts[kind][earlier];
                repeated = previous != nullptr && std::wcscmp(previous, text) == 0;
            }
            candidates.texts[kind][language] = repeated ? nullptr : text;
        }
    }
    return candidates;
}

// The lowest language whose text the platform takes as equal to name, or -1.
LanguageIndex MatchingLanguage(const wchar_t* name, const wchar_t* const (&texts)[LanguageCount]) noexcept
{
    for (LanguageIndex language = 0; language < LanguageCount; ++language) {
        if (texts[language] != nullptr && ::StrCmpW(name, texts[language]) == 0) {
            return language;
        }
    }
    return NoLanguage;
}

} // namespace

LanguageIndex GetServerLangIndex(const ShareNameSlot* shares, int count, UINT& standardShareCount)
{
    if (shares == nullptr || count <= 0) {
        return NoLanguage;
    }
    LanguageIndex result = NoLanguage;
    const CandidateTexts candidates = DistinctCandidates();
    bool found[StandardShareKinds] = {};
    for (int position = 0; position < count && standardShareCount < StandardShareKinds; ++position) {
        if (!IsTerminated(shares[position])) {
            continue;
        }
        for (UINT kind = 0; kind < StandardShareKinds && standardShareCount < StandardShareKinds; ++kind) {
            if (found[kind]) {
                continue;
            }
            const LanguageIndex language = MatchingLanguage(shares[position], candidates.texts[kind]);
            if (language != NoLanguage) {
                StandardSharePositions[standardShareCount++] = static_cast<UINT>(position);
                found[kind] = true;
                result = language;
            }
        }
    }
    if (result != NoLanguage) {
        TraceLine(L"Server lang index found: %d\r\n", result);
    }
    return result;
}

} // namespace kx
