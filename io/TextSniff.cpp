#include "io/TextSniff.h"

#include <unistd.h>

#include <cerrno>

bool LooksLikeText(std::string_view head) {
  if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return false;
  const std::string_view firstLine = head.substr(0, head.find('\n'));
  if (firstLine.find('\0') != std::string_view::npos) return false;
  std::size_t controls = 0;
  for (const char c : head) {
    const auto byte = static_cast<unsigned char>(c);
    const bool control = byte < 0x20 || byte == 0x7F;
    const bool allowed = (byte >= '\t' && byte <= '\r') || byte == 0x1A;
    if (control && !allowed) ++controls;
  }
  constexpr std::size_t kFewControls = 8;
  return controls < kFewControls || controls * 100 < head.size();
}

std::string FileHead(int fd, std::size_t bytes) {
  std::string head(bytes, '\0');
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t got = ::pread(fd, head.data() + done, bytes - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  head.resize(done);
  return head;
}
