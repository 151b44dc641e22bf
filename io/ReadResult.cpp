#include "io/ReadResult.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

ReadResult CannotOpen() {
  ReadResult result;
  result.status = ReadStatus::CannotOpen;
  result.message = kCannotOpenMessage;
  result.title = kCannotOpenTitle;
  return result;
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
