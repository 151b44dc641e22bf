#include "app/ReplaceReadOnly.h"

#include "components/Platform.h"
#include "io/ReplacingFile.h"
#include "io/ShiftJisText.h"
#include "io/WaveData.h"

bool MayReplace(Platform& platform, const std::string& path) {
  if (!IsReadOnlyFile(path)) return true;
  return platform.AskYesNo("「" + DisplayUtf8(FileNameOf(path)) + "」は読み取り専用のファイルです。\n置き換えますか？",
                           "上書きの確認");
}
