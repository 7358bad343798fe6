#include "firmware/status_texts.h"

const std::array<StatusTextRow, 16> STATUS_TEXT_ROWS = {{
    {0, u8"Start Flashing", u8"ファームウェア書き換え開始"},
    {1, u8"Flashing...", u8"ファームウェア書き換え中..."},
    {2, u8"Flashing Completed", u8"ファームウェア書き換え終了"},
    {3, u8"Flashing Error", u8"ファームウェア書き換えエラー"},
    {4, u8"Retrieving Data...", u8"ファームウェアチェック中..."},
    {5, u8"Retrieving Error", u8"ファームウェアリードエラー"},
    {6, u8"Comparing...", u8"コンペア中..."},
    {7, u8"Comparing Error", u8"コンペアエラー"},
    // No line break in Japanese: thirteen blanks stand where English breaks.
    {8, u8"Flashing is Completed.\nPlease turn off your PC.",
     u8"ファームウェア変更終了。             ＰＣの電源を一旦オフしてから再起動して下さい。"},
    {10, u8"Cannot open the file.", u8"ファイルが開けません。"},
    {11, u8"Incorrect file", u8"ファイルが正しくありません。"},
    {12, u8"Do you want to change the firmware?",
     u8"バージョンを確認して下さい。\nフラッシュボタンでファームウェア変更を始めます。"},
    {16, u8"Target drive is not found.", u8"対象ドライブが見つかりませんでした。"},
    {17, u8"Please select the drive to be flashed.", u8"ドライブを選択して下さい。"},
    {32, u8"This drive's firmware is same as this version.\nDo you want to change the firmware?",
     u8"同じバージョンです。\nファームウェア変更を始めますか?"},
    {33, u8"This drive's firmware is newer than this version.\nDo you want to change the firmware?",
     u8"より新しいバージョンになっています。\nファームウェア変更を始めますか?"},
}};

const StatusTextRow* FindStatusTextRow(uint8_t code) {
  for (const StatusTextRow& row : STATUS_TEXT_ROWS)
    if (row.code == code) return &row;
  return nullptr;
}
