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
    default:
      return "エラーが起きました（エラー番号 " + std::to_string(error) + "）";
  }
}
