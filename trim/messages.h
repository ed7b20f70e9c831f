// SPDX-License-Identifier: MIT
#pragma once

// Every text the job shows, in one place.
namespace kst::msg {

inline constexpr const char* kOpenFailed = "ファイル %s は開けません";
inline constexpr const char* kCreateFailed = "ファイル %s を作成できません";
inline constexpr const char* kNotInteger = "'%s' は整数ではありません";
inline constexpr const char* kDivideByZero = "0 による浮動小数点数除算";
inline constexpr const char* kInvalidOperation = "不正な浮動小数点数演算命令";
inline constexpr const char* kOutOfMemory = "メモリが足りません";
inline constexpr const char* kReadFailed = "ファイル %s の読み込みに失敗しました";
inline constexpr const char* kInputChanged = "ファイル %s は読み込み中に変更されました";
inline constexpr const char* kWriteFailed = "ファイル %s への書き込みに失敗しました";
inline constexpr const char* kChunkSizeRange =
    "バッファ(MB)には 1 から 2147 までの整数を指定してください: '%s'";
inline constexpr const char* kNegativePad =
    "先頭0出力のバイト数には 0 以上の整数を指定してください: '%s'";

inline constexpr const char* kSpecifyFolder = "出力先フォルダを指定してください";
inline constexpr const char* kSizeLine = "%sのサイズは ";
inline constexpr const char* kScanningLeading = "先頭0データサイズの検出中";
inline constexpr const char* kScanningTrailing = "末尾0データサイズの検出中";
inline constexpr const char* kNothingToTrim = "0データはありません";
inline constexpr const char* kCreatingOutput = "0データ削除ファイル作成中";
inline constexpr const char* kPadLine = "先頭0出力=";
inline constexpr const char* kFinished = "終わり";
inline constexpr const char* kAborted = "中断しました";

inline constexpr const char* kFrontPanel = "Front 0=";
inline constexpr const char* kTailPanel = "Tail 0=";
inline constexpr const char* kOutSizePanel = "Out Size=";

} // namespace kst::msg
