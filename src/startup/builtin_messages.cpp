// The message table shipped in every settings container: 45 UTF-8 texts, by index.
// This file is the one place they live; it must stay UTF-8 and byte for byte unchanged.
#include "startup/message_texts.h"

namespace zrk {

const std::array<std::string_view, kMessageCount>& builtinMessages() {
    static constexpr NamedText kNamed[] = {
        {kTextBack, "< 戻る(&B)"},  // Back button caption (access key B)
        {kTextNext, "次へ(&N) >"},  // Next button caption (access key N)
        {kTextOk, "OK"},
        {kTextCancel, "キャンセル"},  // Cancel button caption
        {kTextFinish, "完了"},  // Finish button caption
        {kTextUnused, ""},
        {kTextOutputFolderLabel, "出力先"},  // label: output destination
        {kTextBrowse, "参照(&R)"},  // Browse button caption (access key R)
        {kTextIntroHeading, "分割ファイルを結合します。"},  // introduction: combines split files
        {kTextIntroPrompt, "[次へ(N)]を押してください。"},  // prompt: press [Next]
        {kTextFolderHeading, "出力先のフォルダを指定してください。"},  // prompt: specify the output folder
        {kTextFolderPrompt, "指定したら[次へ(N)]を押してください。"},  // prompt: once specified, press [Next]
        {kTextReadyHeading, "結合を開始します。"},  // prompt: the combine will start
        {kTextReadyPrompt, "[次へ(N)]を押してください。"},  // prompt: press [Next]
        {kTextCombiningHeading, "結合中..."},  // combining in progress
        {kTextFinishedHeading, "結合が完了しました。"},  // the combine has finished
        {kTextDecryptionHeading, "暗号解除の指定してください。"},  // prompt: specify the decryption
        {kTextDecryptionPrompt, "指定したら[次へ(N)]を押してください。"},  // prompt: once specified, press [Next]
        {kTextPasswordChoice, "パスワード指定"},  // choice: password
        {kTextKeyFileChoice, "キーファイル指定"},  // choice: key file
        {kTextJobFailed, "結合処理に失敗しました。"},  // the combine failed
        {kTextNoticeCaption, "おしらせ"},  // caption: notice
        {kTextAskStopCombine, "強制終了しますか？"},  // question: force quit?
        {kTextOutputFile, "出力ファイル"},  // output file
        {kTextAlreadyExists, "が、既に存在します。"},  // already exists
        {kTextAskOverwrite, "上書きしますか？"},  // question: overwrite?
        {kTextAskCreateFolder, "フォルダを作成しますか？"},  // question: create the folder?
        {kTextKeyFileMissing, "キーファイルは存在しません。"},  // the key file does not exist
        {kTextKeyFileInvalid, "キーファイルが無効です。"},  // the key file is invalid
        {kTextPathMissing, "指定されたパスは存在しません。"},  // the given path does not exist
        {kTextPathInvalid, "パスが無効です。"},  // the path is invalid
        {kTextErrorCaption, "エラー"},  // caption: error
        {kTextCannotOpenFile, "ファイルをオープンできません。"},  // the file cannot be opened
        {kTextReadError, "ファイルの読み込みエラー"},  // file read error
        {kTextWriteError, "ファイルの書き込みエラー"},  // file write error
        {kTextFileNotFound, "ファイルが見つかりません。"},  // the file was not found
        {kTextCrcError, "ファイルのCRCエラー"},  // file CRC error
        {kTextFileDamaged, "ファイルが壊れています。"},  // the file is damaged
        {kTextUnknownFormat, "未知の形式です。"},  // unknown format
        {kTextCannotCreateFolder, "フォルダを作成できません。"},  // the folder cannot be created
        {kTextArchiveEncrypted, "このアーカイブは暗号化されています。"},  // this archive is encrypted
        {kTextWrongKey, "暗号(パスワードまたはキーファイル)が違います。"},  // the key (password or key file) is wrong
        {kTextUnknownArchiveVersion, "未知のバージョンのアーカイブです。"},  // archive of an unknown version
        {kTextUnknownArchiveFormat, "未知のフォーマットのアーカイブです。"},  // archive of an unknown format
        {kTextArchiveAbnormal, "アーカイブが異常です。"},  // the archive is abnormal
    };
    static constexpr std::array<std::string_view, kMessageCount> kTexts = textsInIndexOrder(kNamed);
    return kTexts;
}

} // namespace zrk
