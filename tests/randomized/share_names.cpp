#include "share_names.h"

#include <windows.h>

#include <algorithm>

namespace kxtest {

namespace {

StandardNameTable MakeStandardShareNames()
{
    const char* const utf8[ShareKindCount][ShareLanguageCount] = {
        {"Documents", "Documents", "Dokumente", "Documentos", "IT-IT", "ドキュメント", "문서", "Documentos",
         "Документы", "文档", "文件"},
        {"Pictures", "Images", "Bilder", "Imágenes", "Immagini", "ピクチャ", "사진", "Imagens", "Изображения", "图片",
         "圖片"},
        {"Music", "Musique", "Musik", "Música", "Musica", "ミュージック", "음악", "Música", "Музыка", "Z音乐", "音樂"},
        {"Videos", "Vidéos", "Videos", "Vídeos", "Video", "ビデオ", "비디오", "Videos", "Видео", "视频", "視訊"},
        {"Recorded TV", "TV enregistrée", "TV-Aufzeichnung", "TV grabada", "Registrazioni TV", "録画一覧", "녹화된 TV",
         "TV Gravada", "Записанные телепередачи", "录制的电视", "錄製的節目"},
    };
    StandardNameTable table;
    for (int kind = 0; kind < ShareKindCount; ++kind) {
        for (int language = 0; language < ShareLanguageCount; ++language) {
            table[kind][language] = FromUtf8(utf8[kind][language]);
        }
    }
    return table;
}

// The platform's case mapping (the C runtime's maps ASCII only).
wchar_t OtherCase(wchar_t character)
{
    const auto mapped = [character](LPWSTR(WINAPI * map)(LPWSTR)) {
        return static_cast<wchar_t>(
            reinterpret_cast<ULONG_PTR>(map(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(character)))));
    };
    const wchar_t upper = mapped(&::CharUpperW);
    return upper != character ? upper : mapped(&::CharLowerW);
}

wchar_t SignificantCharacter(RandomCases& random)
{
    return random.Pick(SignificantCharacters());
}

std::wstring NearMiss(RandomCases& random, std::wstring name)
{
    const std::size_t position = random.Between(0, name.size() - 1);
    switch (random.Between(0, 4)) {
    case 0:
        if (OtherCase(name[position]) != name[position]) {
            name[position] = OtherCase(name[position]);
            return name;
        }
        return name + L" ";
    case 1: {
        const wchar_t replacement = SignificantCharacter(random);
        if (replacement != name[position]) {
            name[position] = replacement;
            return name;
        }
        return name + L" ";
    }
    case 2:
        return name.erase(position, 1);
    case 3:
        return name.insert(position, 1, SignificantCharacter(random));
    default:
        return name + L" ";
    }
}

std::wstring RandomText(RandomCases& random, std::size_t maxLength)
{
    const std::size_t length = random.Between(1, random.Percent(90) ? 24 : maxLength);
    std::wstring text;
    for (std::size_t index = 0; index < length; ++index) {
        text += SignificantCharacter(random);
    }
    return text;
}

} // namespace

const StandardNameTable& StandardShareNames()
{
    static const StandardNameTable table = MakeStandardShareNames();
    return table;
}

ModelDetection ExpectedDetection(const std::vector<std::wstring>& names, unsigned initialCount)
{
    ModelDetection model;
    bool found[ShareKindCount] = {};
    unsigned count = initialCount;
    for (std::size_t position = 0; position < names.size() && count < 5; ++position) {
        for (int kind = 0; kind < ShareKindCount; ++kind) {
            for (int language = 0; language < ShareLanguageCount && !found[kind]; ++language) {
                if (names[position] == StandardShareNames()[kind][language]) {
                    found[kind] = true;
                    model.positions.push_back(static_cast<unsigned>(position));
                    ++count;
                    model.result = language;
                }
            }
        }
    }
    return model;
}

std::wstring RandomShareName(RandomCases& random, std::size_t maxLength, unsigned standardPercent)
{
    const auto& standard =
        StandardShareNames()[random.Between(0, ShareKindCount - 1)][random.Between(0, ShareLanguageCount - 1)];
    std::wstring name;
    if (random.Percent(standardPercent)) {
        name = standard;
    } else if (random.Percent(50)) {
        name = NearMiss(random, standard);
    } else {
        name = RandomText(random, maxLength);
    }
    return name.empty() ? std::wstring(L"x") : name.substr(0, maxLength);
}

unsigned RandomStandardPercent(RandomCases& random)
{
    static const std::vector<unsigned> percents = {0, 1, 3, 10, 33};
    return random.Pick(percents);
}

ShareSlots::ShareSlots(std::size_t capacity)
    : capacity_(capacity), characters_((capacity + 1) * kx::ShareNameLength, L'\0')
{
}

void ShareSlots::Store(std::size_t index, const std::wstring& name)
{
    name.copy(characters_.data() + index * kx::ShareNameLength, kx::ShareNameLength - 1);
}

std::vector<std::wstring> ShareSlots::Names(std::size_t count) const
{
    std::vector<std::wstring> names;
    for (std::size_t index = 0; index < count && index < capacity_; ++index) {
        names.emplace_back(characters_.data() + index * kx::ShareNameLength);
    }
    return names;
}

bool ShareSlots::ZeroFrom(std::size_t first) const
{
    return std::all_of(characters_.begin() + static_cast<std::ptrdiff_t>(first * kx::ShareNameLength),
                       characters_.end(), [](wchar_t character) { return character == L'\0'; });
}

std::string DescribeNames(const std::vector<std::wstring>& names)
{
    std::string description;
    for (std::size_t index = 0; index < names.size(); ++index) {
        description += std::to_string(index) + ": " + DescribeText(names[index]) + "\n";
    }
    return description;
}

} // namespace kxtest
