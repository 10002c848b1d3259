#include "common/hresult_error.h"
#include "localization/localized_text.h"

#include "allocation_faults.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// Every slot as it should read, written as UTF-8 so that the wide tables of the library are
// checked against text that reached the compiler another way. "" is an empty slot.
struct CatalogueRow {
    const char* name;
    const kx::LocalizedText* entry;
    const char* texts[kx::LanguageCount];
};

const CatalogueRow ExpectedCatalogue[] = {
    {"TextOpen",
     &kx::TextOpen,
     {
         "Open",
         "Ouvrir",
         "Öffnen",
         "Abrir",
         "Apri",
         "開く",
         "열기",
         "Abrir",
         "Открыть",
         "打开",
         "開啟",
     }},
    {"TextMount",
     &kx::TextMount,
     {
         "Mount",
         "Montage",
         "Einbinden",
         "Montar",
         "Monta",
         "マウント",
         "마운트",
         "Montar",
         "Подключить",
         "加载",
         "掛接",
     }},
    {"TextInstallConnector",
     &kx::TextInstallConnector,
     {
         "Install Connector Software",
         "Installer le logiciel Connector",
         "Connector-Software installieren",
         "Instalación del software del conector",
         "Installa software Connector",
         "コネクタソフトウェアをインストール",
         "Connector 소프트웨어 설치",
         "Instalar software do conector",
         "Установить программу Connector",
         "安装 Connector 软件",
         "安裝連接器軟體",
     }},
    {"TextOpenMediaPlayer",
     &kx::TextOpenMediaPlayer,
     {
         "Open Media Player",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
         "",
     }},
    {"ShareDocuments",
     &kx::ShareDocuments,
     {
         "Documents",
         "Documents",
         "Dokumente",
         "Documentos",
         "IT-IT",
         "ドキュメント",
         "문서",
         "Documentos",
         "Документы",
         "文档",
         "文件",
     }},
    {"SharePictures",
     &kx::SharePictures,
     {
         "Pictures",
         "Images",
         "Bilder",
         "Imágenes",
         "Immagini",
         "ピクチャ",
         "사진",
         "Imagens",
         "Изображения",
         "图片",
         "圖片",
     }},
    {"ShareMusic",
     &kx::ShareMusic,
     {
         "Music",
         "Musique",
         "Musik",
         "Música",
         "Musica",
         "ミュージック",
         "음악",
         "Música",
         "Музыка",
         "Z音乐",
         "音樂",
     }},
    {"ShareVideos",
     &kx::ShareVideos,
     {
         "Videos",
         "Vidéos",
         "Videos",
         "Vídeos",
         "Video",
         "ビデオ",
         "비디오",
         "Videos",
         "Видео",
         "视频",
         "視訊",
     }},
    {"ShareRecordedTV",
     &kx::ShareRecordedTV,
     {
         "Recorded TV",
         "TV enregistrée",
         "TV-Aufzeichnung",
         "TV grabada",
         "Registrazioni TV",
         "録画一覧",
         "녹화된 TV",
         "TV Gravada",
         "Записанные телепередачи",
         "录制的电视",
         "錄製的節目",
     }},
    {"TextSharesColumn",
     &kx::TextSharesColumn,
     {
         "Shares",
         "Partages",
         "Freigaben",
         "Recursos compartidos",
         "Condivisioni",
         "共有",
         "공유",
         "Compartilhamentos",
         "Общие папки",
         "共享",
         "共用",
     }},
    {"TextStatusColumn",
     &kx::TextStatusColumn,
     {
         "Status",
         "État",
         "Status",
         "Estado",
         "Stato",
         "ステータス",
         "상태",
         "Status",
         "Состояние",
         "状态",
         "狀態",
     }},
    {"TextSelectShares",
     &kx::TextSelectShares,
     {
         "Select share(s) to mount from the list below:",
         "Sélectionnez les partage(s) à monter à partir de la liste suivante\u00A0:",
         "Wählen Sie aus der folgenden Liste die einzubindende(n) Freigabe(n):",
         "Seleccionar los recursos compartidos en la siguiente lista:",
         "Selezionare dall'elenco seguente le condivisioni da cui eseguire il montaggio:",
         "マウントする共有を以下のリストから選択してください：",
         "다음 목록에서 마운트할 공유를 선택하십시오.",
         "Selecione na seguinte lista os compartilhamentos a montar:",
         "Выберите из следующего списка общие папки, которые требуется подключить:",
         "从下面列表中选择要加载的共享：",
         "從以下清單中選擇要掛接的共用：",
     }},
    {"TextNoStandardShares",
     &kx::TextNoStandardShares,
     {
         "No standard shares are available to mount for this device.",
         "Aucun partage standard n'est disponible pour le montage de cet appareil.",
         "Für dieses Gerät sind keine Standardfreigaben zum Einbinden verfügbar.",
         "No hay recursos compartidos estándar disponibles para montar este dispositivo.",
         "Non sono disponibili condivisioni standard da montare per questo dispositivo.",
         "このデバイスをマウントするために使用できる標準の共有はありません。",
         "이 장치에 마운트할 수 있는 표준 공유를 사용할 수 없습니다.",
         "Nenhum compartilhamento padrão disponível para montar neste dispositivo.",
         "На этом устройстве нет стандартных общих папок, которые можно подключить.",
         "此设备没有标准的共享可供加载。",
         "沒有此裝置可掛接的標準共用。",
     }},
    {"TextMountFailed",
     &kx::TextMountFailed,
     {
         "Mount failed",
         "Echec du montage",
         "Einbinden fehlgeschlagen",
         "Error en montaje",
         "Montaggio non riuscito",
         "マウントできませんでした",
         "마운트 실패",
         "Erro ao montar",
         "Подключить не удалось",
         "加载失败",
         "掛接失敗",
     }},
    {"TextMountSuccessful",
     &kx::TextMountSuccessful,
     {
         "Mount successful",
         "Montage effectué avec succès.",
         "Einbinden erfolgreich",
         "Montaje correcto",
         "Montaggio riuscito",
         "マウントを正常に完了しました",
         "마운트 성공",
         "Montado corretamente",
         "Подключение выполнено",
         "加载成功",
         "掛接成功",
     }},
    {"TextClose",
     &kx::TextClose,
     {
         "Close",
         "Fermer",
         "Schließen",
         "Cerrar",
         "Chiudi",
         "閉じる",
         "닫기",
         "Fechar",
         "Закрыть",
         "关闭",
         "",
     }},
};

std::string Utf8(const kx::CountedString& text)
{
    return kxtest::ToUtf8(text.Text());
}

TEST(Catalogue, EverySlotHoldsItsTableText)
{
    for (const CatalogueRow& row : ExpectedCatalogue) {
        for (int language = 0; language < kx::LanguageCount; ++language) {
            EXPECT_EQ(row.texts[language], kxtest::ToUtf8(row.entry->texts[language]))
                << row.name << " slot " << language;
        }
    }
}

TEST(Catalogue, LookupGivesTheSlotOrEnglishForAnEmptySlot)
{
    for (const CatalogueRow& row : ExpectedCatalogue) {
        for (int language = 0; language < kx::LanguageCount; ++language) {
            const char* expected = row.texts[language][0] != '\0' ? row.texts[language] : row.texts[0];
            EXPECT_EQ(expected, Utf8(kx::GetLocalizedText(*row.entry, language)))
                << row.name << " language " << language;
        }
    }
}

TEST(Catalogue, IndexesOutsideTheLanguagesGiveEnglish)
{
    const int outside[] = {11, 255, -1, INT_MIN, INT_MAX};
    for (const CatalogueRow& row : ExpectedCatalogue) {
        for (int index : outside) {
            EXPECT_EQ(row.texts[0], Utf8(kx::GetLocalizedText(*row.entry, index))) << row.name << " index " << index;
        }
    }
}

// Characters that look like others or not at all, spelled out by code point.
TEST(Catalogue, LookAlikeCharactersAreTheIntendedCodePoints)
{
    EXPECT_STREQ(L"\u00D6ffnen", kx::TextOpen.texts[2]);
    EXPECT_STREQ(L"IT-IT", kx::ShareDocuments.texts[4]);
    EXPECT_STREQ(L"Z\u97F3\u4E50", kx::ShareMusic.texts[9]);
    const std::wstring french = kx::TextSelectShares.texts[1];
    EXPECT_EQ(L"suivante\u00A0:", french.substr(french.size() - 10));
    for (int language : {5, 9, 10}) {
        const std::wstring label = kx::TextSelectShares.texts[language];
        EXPECT_EQ(L'\uFF1A', label.back()) << "language " << language;
    }
}

TEST(Catalogue, EachLookupIsAFreshCopyOwnedByTheCaller)
{
    kx::CountedString first = kx::GetLocalizedText(kx::TextClose, 10);
    kx::CountedString second = kx::GetLocalizedText(kx::TextClose, 10);
    EXPECT_NE(first.Bstr(), second.Bstr());
    EXPECT_NE(static_cast<const wchar_t*>(kx::TextClose.texts[0]), first.Text());
    EXPECT_EQ(1, first.ReferenceCount());
    first.Bstr()[0] = L'X';
    EXPECT_STREQ(L"Close", second.Text());
    EXPECT_STREQ(L"Close", kx::TextClose.texts[0]);
}

TEST(Catalogue, OutOfMemoryWhileCopyingRaisesAndLeaksNothing)
{
    HRESULT raised = S_OK;
    {
        kxtest::AllocationFaults faults(kxtest::TestProgramModule(), 0);
        try {
            kx::GetLocalizedText(kx::TextMount, 8);
        } catch (const kx::HResultError& error) {
            raised = error.Code();
        }
        EXPECT_TRUE(faults.InjectedFailure());
        EXPECT_EQ(0, faults.Outstanding());
    }
    EXPECT_EQ(E_OUTOFMEMORY, raised);
}

using ShareAccessor = kx::CountedString (*)(kx::LanguageIndex);

TEST(Catalogue, ShareAccessorsLookUpTheGivenLanguage)
{
    const struct {
        ShareAccessor accessor;
        const kx::LocalizedText* entry;
    } accessors[] = {
        {kx::DocumentsShareName, &kx::ShareDocuments},   {kx::PicturesShareName, &kx::SharePictures},
        {kx::MusicShareName, &kx::ShareMusic},           {kx::VideosShareName, &kx::ShareVideos},
        {kx::RecordedTVShareName, &kx::ShareRecordedTV},
    };
    for (const auto& share : accessors) {
        for (int language : {0, 4, 9, 10, 11, -1}) {
            EXPECT_STREQ(kx::GetLocalizedText(*share.entry, language).Text(), share.accessor(language).Text());
        }
    }
}

} // namespace
