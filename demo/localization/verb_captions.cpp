// Prints the captions of the Network Explorer verbs as the library registers them for the
// current UI language: one "verb: caption" line each, UTF-8, in registration order.
#include "localization/localized_text.h"
#include "test_environment.h"

#include <windows.h>

#include <string>

namespace {

void WriteUtf8Line(const std::wstring& line)
{
    const std::string encoded = kxtest::ToUtf8(line + L"\n");
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), encoded.data(), static_cast<DWORD>(encoded.size()), &written,
                nullptr);
}

} // namespace

int main()
{
    const struct {
        const wchar_t* verb;
        kx::CountedString (*caption)();
    } verbs[] = {
        {L"open", kx::OpenCaption},
        {L"mount", kx::MountCaption},
        {L"install-connector", kx::InstallConnectorCaption},
        {L"open-media-player", kx::OpenMediaPlayerCaption},
    };
    WriteUtf8Line(L"ui-language-index: " + std::to_wstring(kx::GetLanguageIndex()));
    for (const auto& verb : verbs) {
        WriteUtf8Line(std::wstring(verb.verb) + L": " + verb.caption().Text());
    }
    return 0;
}
