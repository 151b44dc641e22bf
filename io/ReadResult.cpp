#include "io/ReadResult.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/ShiftJisText.h"
#include "io/SystemErrorText.h"

ReadResult CannotOpen(std::string_view path, int error) {
  ReadResult result;
  result.status = ReadStatus::CannotOpen;
  result.message = kCannotOpenMessage;
  result.title = kCannotOpenTitle;
  std::string cause;
  std::string remedy;
  switch (error) {
    case 0:
      cause = "記録のファイルではありません（フォルダ、装置、パイプなど）";
      remedy = "記録のファイルを選んでください。";
      break;
    case ENOENT:
    case ENOTDIR:
      cause = SystemErrorText(error);
      remedy = "ファイルの場所と名前を確かめてください。";
      break;
    case EACCES:
    case EPERM:
      cause = SystemErrorText(error);
      remedy = "ファイルを読む権限があるか確かめてください。";
      break;
    default:
      cause = SystemErrorText(error);
      break;
  }
  // The path as the user knows it, with no control byte that could break
  // the line it is shown on.
  result.detail = "「" + FieldText(DisplayUtf8(path)) + "」：" + cause + "。" + remedy;
  return result;
}

std::optional<ReadResult> UnopenableFile(std::string_view path, int fd, struct stat& info) {
  if (fd < 0) return CannotOpen(path, errno);
  if (::fstat(fd, &info) != 0) return CannotOpen(path, errno);
  if (!S_ISREG(info.st_mode)) return CannotOpen(path, 0);
  return std::nullopt;
}

ReadResult Refused(std::string message) {
  ReadResult result;
  result.status = ReadStatus::Refused;
  result.message = std::move(message);
  result.title = kReadRefusedTitle;
  return result;
}

ReadResult ReadCancelled() {
  ReadResult result;
  result.status = ReadStatus::Cancelled;
  return result;
}

ReadResult ChangedWhileRead() {
  return Refused("ファイルが読み込みの途中で変更されました（書き込み中のファイルか、切り詰められたファイルです）。"
                 "書き込みが終わってから、もう一度読み込んでください。");
}

std::string ChannelsLeftOutWarning(int named) {
  return std::to_string(named) + " チャンネルのうち 1〜8 を読み込みました（読み込めるのは 8 チャンネルまでです）。";
}

namespace {

unsigned long long AvailableMemory() {
  if (std::FILE* meminfo = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kib = 0;
    bool found = false;
    while (std::fgets(line, sizeof line, meminfo) != nullptr) {
      if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
        found = true;
        break;
      }
    }
    std::fclose(meminfo);
    if (found) return kib * 1024ULL;
  }
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && pageSize > 0) {
    return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize);
  }
  return 1ULL << 30;
}

}  // namespace

namespace {
unsigned long long memoryCap = 0;
}

void SetSampleMemoryCap(unsigned long long bytes) { memoryCap = bytes; }

bool FitsInMemory(unsigned long long bytes) {
  if (memoryCap != 0 && bytes > memoryCap) return false;
  return bytes <= AvailableMemory() / 2;
}
