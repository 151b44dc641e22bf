#include "io/SystemErrorText.h"

#include <cerrno>

std::string SystemErrorText(int error) {
  switch (error) {
    case ENOENT:
      return "ファイルまたはフォルダが見つかりません";
    case ENOTDIR:
      return "パスの途中にフォルダでないものがあります";
    case EACCES:
    case EPERM:
      return "アクセスが許可されていません";
    case EISDIR:
      return "同じ名前のフォルダがあります";
    case ENOSPC:
    case EDQUOT:
      return "ディスクの空き容量が足りません";
    case EFBIG:
      return "ファイルが大きすぎます";
    case EROFS:
      return "読み取り専用のファイルシステムです";
    case ENAMETOOLONG:
      return "ファイル名が長すぎます";
    case EMFILE:
    case ENFILE:
      return "開いているファイルが多すぎます";
    case EIO:
      return "入出力エラーが起きました";
    case ENXIO:
      return "読み手のいない名前付きパイプか、つながっていない装置です";
    case EEXIST:
      return "同じ名前のファイルがあります";
    case ELOOP:
      return "シンボリックリンクです（リンクを通しては書き込みません）";
    case EPIPE:
      return "書き込み先のパイプが閉じられました";
    case EAGAIN:
      return "書き込み先が受け付けられる状態ではありません";
    case ETXTBSY:
    case EBUSY:
      return "ファイルが使用中です";
    case ENODEV:
      return "装置がありません";
    case EINVAL:
      return "この書き込み先には書き込めません";
    default:
      return "エラーが起きました（エラー番号 " + std::to_string(error) + "）";
  }
}

std::string WithDetail(const std::string& message, const std::string& detail) {
  return detail.empty() ? message : message + "\n" + detail;
}
