#include "localization/localized_text.h"

namespace kx {

const wchar_t* CatalogueText(const LocalizedText& entry, LanguageIndex index) noexcept
{
    // Taken as unsigned, every negative index lands above the last language too.
    const auto slot = static_cast<unsigned int>(index);
    if (slot >= static_cast<unsigned int>(LanguageCount) || entry.texts[slot][0] == L'\0') {
        return entry.texts[0];
    }
    return entry.texts[slot];
}

CountedString GetLocalizedText(const LocalizedText& entry, LanguageIndex index)
{
    return CountedString::Make(CatalogueText(entry, index));
}

CountedString GetUIText(const LocalizedText& entry)
{
    return GetLocalizedText(entry, GetLanguageIndex());
}

// One accessor a line: each names the catalogue entry it reads.
// clang-format off
CountedString OpenCaption() { return GetUIText(TextOpen); }
CountedString MountCaption() { return GetUIText(TextMount); }
CountedString InstallConnectorCaption() { return GetUIText(TextInstallConnector); }
CountedString OpenMediaPlayerCaption() { return GetUIText(TextOpenMediaPlayer); }
CountedString SharesColumnHeader() { return GetUIText(TextSharesColumn); }
CountedString StatusColumnHeader() { return GetUIText(TextStatusColumn); }
CountedString SelectSharesLabel() { return GetUIText(TextSelectShares); }
CountedString NoStandardSharesWarning() { return GetUIText(TextNoStandardShares); }
CountedString MountFailedStatus() { return GetUIText(TextMountFailed); }
CountedString MountSuccessfulStatus() { return GetUIText(TextMountSuccessful); }
CountedString CloseButtonCaption() { return GetUIText(TextClose); }

CountedString DocumentsShareName(LanguageIndex index) { return GetLocalizedText(ShareDocuments, index); }
CountedString PicturesShareName(LanguageIndex index) { return GetLocalizedText(SharePictures, index); }
CountedString MusicShareName(LanguageIndex index) { return GetLocalizedText(ShareMusic, index); }
CountedString VideosShareName(LanguageIndex index) { return GetLocalizedText(ShareVideos, index); }
CountedString RecordedTVShareName(LanguageIndex index) { return GetLocalizedText(ShareRecordedTV, index); }
// clang-format on

} // namespace kx
