#pragma once

#include "common/counted_string.h"

namespace kx {

// One of the eleven UI languages: 0 English, 1 French, 2 German, 3 Spanish, 4 Italian,
// 5 Japanese, 6 Korean, 7 Portuguese, 8 Russian, 9 Simplified Chinese, 10 Traditional Chinese.
using LanguageIndex = int;
constexpr int LanguageCount = 11;

// The system's default UI language as a LanguageIndex, asked anew on every call.
LanguageIndex GetLanguageIndex();
// The mapping behind it, from an ISO 639 language name and an ISO 3166 country name.
LanguageIndex LanguageIndexFromNames(const wchar_t* languageName, const wchar_t* countryName);

// One catalogue entry: a text per language; an empty text means "use the English one".
struct LocalizedText {
    const wchar_t* texts[LanguageCount];
};

// The constant text behind GetLocalizedText, for callers that only compare it and need no
// copy. Never null.
const wchar_t* CatalogueText(const LocalizedText& entry, LanguageIndex index) noexcept;
// The entry's text in the given language (English for an index outside 0..10 or an empty
// slot), as a new string the caller owns.
CountedString GetLocalizedText(const LocalizedText& entry, LanguageIndex index);
// The entry's text in the current UI language.
CountedString GetUIText(const LocalizedText& entry);

extern const LocalizedText TextOpen;
extern const LocalizedText TextMount;
extern const LocalizedText TextInstallConnector;
extern const LocalizedText TextOpenMediaPlayer;
extern const LocalizedText ShareDocuments;
extern const LocalizedText SharePictures;
extern const LocalizedText ShareMusic;
extern const LocalizedText ShareVideos;
extern const LocalizedText ShareRecordedTV;
extern const LocalizedText TextSharesColumn;
extern const LocalizedText TextStatusColumn;
extern const LocalizedText TextSelectShares;
extern const LocalizedText TextNoStandardShares;
extern const LocalizedText TextMountFailed;
extern const LocalizedText TextMountSuccessful;
extern const LocalizedText TextClose;

// Accessors, one per entry: UI-language entries take no argument, share names take the language.
CountedString OpenCaption();
CountedString MountCaption();
CountedString InstallConnectorCaption();
CountedString OpenMediaPlayerCaption();
CountedString SharesColumnHeader();
CountedString StatusColumnHeader();
CountedString SelectSharesLabel();
CountedString NoStandardSharesWarning();
CountedString MountFailedStatus();
CountedString MountSuccessfulStatus();
CountedString CloseButtonCaption();
CountedString DocumentsShareName(LanguageIndex index);
CountedString PicturesShareName(LanguageIndex index);
CountedString MusicShareName(LanguageIndex index);
CountedString VideosShareName(LanguageIndex index);
CountedString RecordedTVShareName(LanguageIndex index);

} // namespace kx
