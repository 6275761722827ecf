// The message table shipped in every settings container: 45 UTF-8 texts, by index.
// This file is the one place they live; it must stay UTF-8 and byte for byte unchanged.
#include "startup/message_table.h"

namespace zrk {

const std::array<std::string_view, kMessageCount>& builtinMessages() {
    static constexpr std::array<std::string_view, kMessageCount> kTexts = {
        "< 戻る(&B)",  // 0: Back button caption (access key B)
        "次へ(&N) >",  // 1: Next button caption (access key N)
        "OK",  // 2: OK
        "キャンセル",  // 3: Cancel button caption
        "完了",  // 4: Finish button caption
        "",  // 5: (empty)
        "出力先",  // 6: label: output destination
        "参照(&R)",  // 7: Browse button caption (access key R)
        "分割ファイルを結合します。",  // 8: introduction: combines split files
        "[次へ(N)]を押してください。",  // 9: prompt: press [Next]
        "出力先のフォルダを指定してください。",  // 10: prompt: specify the output folder
        "指定したら[次へ(N)]を押してください。",  // 11: prompt: once specified, press [Next]
        "結合を開始します。",  // 12: prompt: the combine will start
        "[次へ(N)]を押してください。",  // 13: prompt: press [Next]
        "結合中...",  // 14: combining in progress
        "結合が完了しました。",  // 15: the combine has finished
        "暗号解除の指定してください。",  // 16: prompt: specify the decryption
        "指定したら[次へ(N)]を押してください。",  // 17: prompt: once specified, press [Next]
        "パスワード指定",  // 18: choice: password
        "キーファイル指定",  // 19: choice: key file
        "結合処理に失敗しました。",  // 20: the combine failed
        "おしらせ",  // 21: caption: notice
        "強制終了しますか？",  // 22: question: force quit?
        "出力ファイル",  // 23: output file
        "が、既に存在します。",  // 24: already exists
        "上書きしますか？",  // 25: question: overwrite?
        "フォルダを作成しますか？",  // 26: question: create the folder?
        "キーファイルは存在しません。",  // 27: the key file does not exist
        "キーファイルが無効です。",  // 28: the key file is invalid
        "指定されたパスは存在しません。",  // 29: the given path does not exist
        "パスが無効です。",  // 30: the path is invalid
        "エラー",  // 31: caption: error
        "ファイルをオープンできません。",  // 32: the file cannot be opened
        "ファイルの読み込みエラー",  // 33: file read error
        "ファイルの書き込みエラー",  // 34: file write error
        "ファイルが見つかりません。",  // 35: the file was not found
        "ファイルのCRCエラー",  // 36: file CRC error
        "ファイルが壊れています。",  // 37: the file is damaged
        "未知の形式です。",  // 38: unknown format
        "フォルダを作成できません。",  // 39: the folder cannot be created
        "このアーカイブは暗号化されています。",  // 40: this archive is encrypted
        "暗号(パスワードまたはキーファイル)が違います。",  // 41: the key (password or key file) is wrong
        "未知のバージョンのアーカイブです。",  // 42: archive of an unknown version
        "未知のフォーマットのアーカイブです。",  // 43: archive of an unknown format
        "アーカイブが異常です。",  // 44: the archive is abnormal
    };
    return kTexts;
}

} // namespace zrk
