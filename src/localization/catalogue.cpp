// The catalogue's texts. Slots follow the LanguageIndex order; an empty slot has no translation
// and falls back to English. Keep this file UTF-8: the build tells the compiler so.
#include "localization/localized_text.h"

namespace kx {

const LocalizedText TextOpen = {{
    L"Open", // English
    L"Ouvrir", // French
    L"Öffnen", // German
    L"Abrir", // Spanish
    L"Apri", // Italian
    L"開く", // Japanese
    L"열기", // Korean
    L"Abrir", // Portuguese
    L"Открыть", // Russian
    L"打开", // Simplified Chinese
    L"開啟", // Traditional Chinese
}};

const LocalizedText TextMount = {{
    L"Mount", // English
    L"Montage", // French
    L"Einbinden", // German
    L"Montar", // Spanish
    L"Monta", // Italian
    L"マウント", // Japanese
    L"마운트", // Korean
    L"Montar", // Portuguese
    L"Подключить", // Russian
    L"加载", // Simplified Chinese
    L"掛接", // Traditional Chinese
}};

const LocalizedText TextInstallConnector = {{
    L"Install Connector Software", // English
    L"Installer le logiciel Connector", // French
    L"Connector-Software installieren", // German
    L"Instalación del software del conector", // Spanish
    L"Installa software Connector", // Italian
    L"コネクタソフトウェアをインストール", // Japanese
    L"Connector 소프트웨어 설치", // Korean
    L"Instalar software do conector", // Portuguese
    L"Установить программу Connector", // Russian
    L"安装 Connector 软件", // Simplified Chinese
    L"安裝連接器軟體", // Traditional Chinese
}};

const LocalizedText TextOpenMediaPlayer = {{
    L"Open Media Player", // English
    L"", // French
    L"", // German
    L"", // Spanish
    L"", // Italian
    L"", // Japanese
    L"", // Korean
    L"", // Portuguese
    L"", // Russian
    L"", // Simplified Chinese
    L"", // Traditional Chinese
}};

const LocalizedText ShareDocuments = {{
    L"Documents", // English
    L"Documents", // French
    L"Dokumente", // German
    L"Documentos", // Spanish
    L"IT-IT", // Italian
    L"ドキュメント", // Japanese
    L"문서", // Korean
    L"Documentos", // Portuguese
    L"Документы", // Russian
    L"文档", // Simplified Chinese
    L"文件", // Traditional Chinese
}};

const LocalizedText SharePictures = {{
    L"Pictures", // English
    L"Images", // French
    L"Bilder", // German
    L"Imágenes", // Spanish
    L"Immagini", // Italian
    L"ピクチャ", // Japanese
    L"사진", // Korean
    L"Imagens", // Portuguese
    L"Изображения", // Russian
    L"图片", // Simplified Chinese
    L"圖片", // Traditional Chinese
}};

const LocalizedText ShareMusic = {{
    L"Music", // English
    L"Musique", // French
    L"Musik", // German
    L"Música", // Spanish
    L"Musica", // Italian
    L"ミュージック", // Japanese
    L"음악", // Korean
    L"Música", // Portuguese
    L"Музыка", // Russian
    L"Z音乐", // Simplified Chinese
    L"音樂", // Traditional Chinese
}};

const LocalizedText ShareVideos = {{
    L"Videos", // English
    L"Vidéos", // French
    L"Videos", // German
    L"Vídeos", // Spanish
    L"Video", // Italian
    L"ビデオ", // Japanese
    L"비디오", // Korean
    L"Videos", // Portuguese
    L"Видео", // Russian
    L"视频", // Simplified Chinese
    L"視訊", // Traditional Chinese
}};

const LocalizedText ShareRecordedTV = {{
    L"Recorded TV", // English
    L"TV enregistrée", // French
    L"TV-Aufzeichnung", // German
    L"TV grabada", // Spanish
    L"Registrazioni TV", // Italian
    L"録画一覧", // Japanese
    L"녹화된 TV", // Korean
    L"TV Gravada", // Portuguese
    L"Записанные телепередачи", // Russian
    L"录制的电视", // Simplified Chinese
    L"錄製的節目", // Traditional Chinese
}};

const LocalizedText TextSharesColumn = {{
    L"Shares", // English
    L"Partages", // French
    L"Freigaben", // German
    L"Recursos compartidos", // Spanish
    L"Condivisioni", // Italian
    L"共有", // Japanese
    L"공유", // Korean
    L"Compartilhamentos", // Portuguese
    L"Общие папки", // Russian
    L"共享", // Simplified Chinese
    L"共用", // Traditional Chinese
}};

const LocalizedText TextStatusColumn = {{
    L"Status", // English
    L"État", // French
    L"Status", // German
    L"Estado", // Spanish
    L"Stato", // Italian
    L"ステータス", // Japanese
    L"상태", // Korean
    L"Status", // Portuguese
    L"Состояние", // Russian
    L"状态", // Simplified Chinese
    L"狀態", // Traditional Chinese
}};

const LocalizedText TextSelectShares = {{
    L"Select share(s) to mount from the list below:", // English
    L"Sélectionnez les partage(s) à monter à partir de la liste suivante\u00A0:", // French
    L"Wählen Sie aus der folgenden Liste die einzubindende(n) Freigabe(n):", // German
    L"Seleccionar los recursos compartidos en la siguiente lista:", // Spanish
    L"Selezionare dall'elenco seguente le condivisioni da cui eseguire il montaggio:", // Italian
    L"マウントする共有を以下のリストから選択してください：", // Japanese
    L"다음 목록에서 마운트할 공유를 선택하십시오.", // Korean
    L"Selecione na seguinte lista os compartilhamentos a montar:", // Portuguese
    L"Выберите из следующего списка общие папки, которые требуется подключить:", // Russian
    L"从下面列表中选择要加载的共享：", // Simplified Chinese
    L"從以下清單中選擇要掛接的共用：", // Traditional Chinese
}};

const LocalizedText TextNoStandardShares = {{
    L"No standard shares are available to mount for this device.", // English
    L"Aucun partage standard n'est disponible pour le montage de cet appareil.", // French
    L"Für dieses Gerät sind keine Standardfreigaben zum Einbinden verfügbar.", // German
    L"No hay recursos compartidos estándar disponibles para montar este dispositivo.", // Spanish
    L"Non sono disponibili condivisioni standard da montare per questo dispositivo.", // Italian
    L"このデバイスをマウントするために使用できる標準の共有はありません。", // Japanese
    L"이 장치에 마운트할 수 있는 표준 공유를 사용할 수 없습니다.", // Korean
    L"Nenhum compartilhamento padrão disponível para montar neste dispositivo.", // Portuguese
    L"На этом устройстве нет стандартных общих папок, которые можно подключить.", // Russian
    L"此设备没有标准的共享可供加载。", // Simplified Chinese
    L"沒有此裝置可掛接的標準共用。", // Traditional Chinese
}};

const LocalizedText TextMountFailed = {{
    L"Mount failed", // English
    L"Echec du montage", // French
    L"Einbinden fehlgeschlagen", // German
    L"Error en montaje", // Spanish
    L"Montaggio non riuscito", // Italian
    L"マウントできませんでした", // Japanese
    L"마운트 실패", // Korean
    L"Erro ao montar", // Portuguese
    L"Подключить не удалось", // Russian
    L"加载失败", // Simplified Chinese
    L"掛接失敗", // Traditional Chinese
}};

const LocalizedText TextMountSuccessful = {{
    L"Mount successful", // English
    L"Montage effectué avec succès.", // French
    L"Einbinden erfolgreich", // German
    L"Montaje correcto", // Spanish
    L"Montaggio riuscito", // Italian
    L"マウントを正常に完了しました", // Japanese
    L"마운트 성공", // Korean
    L"Montado corretamente", // Portuguese
    L"Подключение выполнено", // Russian
    L"加载成功", // Simplified Chinese
    L"掛接成功", // Traditional Chinese
}};

const LocalizedText TextClose = {{
    L"Close", // English
    L"Fermer", // French
    L"Schließen", // German
    L"Cerrar", // Spanish
    L"Chiudi", // Italian
    L"閉じる", // Japanese
    L"닫기", // Korean
    L"Fechar", // Portuguese
    L"Закрыть", // Russian
    L"关闭", // Simplified Chinese
    L"", // Traditional Chinese
}};

} // namespace kx
