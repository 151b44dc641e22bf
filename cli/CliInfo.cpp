// oscalyx-cli info: the record's header as one line of JSON.
#include <charconv>

#include "cli/Cli.h"
#include "io/ShiftJisText.h"

namespace {

// The shortest text that reads back as the same single-precision value.
std::string ShortestFloat(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

template <std::size_t N>
std::string TextArray(FileKind kind, const std::array<TextSlot<N>, kMaxChannels>& slots, int count) {
  std::string out = "[";
  for (int k = 0; k < count; ++k) {
    if (k > 0) out += ", ";
    out += JsonString(DisplayRecordText(kind, SlotText(slots[k])));
  }
  return out + "]";
}

}  // namespace

int RunInfo(const CliOptions& options, std::FILE* out, std::FILE* err) {
  Session session;
  std::string timeLabel;
  if (const int status = LoadSession(options, session, err, &timeLabel); status != kExitOk) return status;
  const WaveData& record = session.Record();

  const bool spc51 = record.SourceKind == FileKind::Spc51;
  std::string json = "{\"file\": " + JsonString(DisplayUtf8(SlotText(record.FileName)));
  json += ", \"type\": \"";
  json += FileKindName(record.SourceKind);
  json += "\"";
  json += ", \"channels\": " + std::to_string(record.ChannelCount);
  json += ", \"samples\": " + std::to_string(record.SampleCount);
  json += ", \"rate\": " + RealText(record.Rate);
  json += ", \"time\": " + JsonString(DisplayUtf8(timeLabel));
  json += ", \"names\": " + TextArray(record.SourceKind, record.Names, record.ChannelCount);
  json += ", \"units\": " + TextArray(record.SourceKind, record.Units, record.ChannelCount);
  if (spc51) {
    json += ", \"scales\": [";
    for (int k = 0; k < record.ChannelCount; ++k) {
      if (k > 0) json += ", ";
      json += ShortestFloat(record.Scales[k]);
    }
    json += "]";
  }
  json += "}\n";
  std::fputs(json.c_str(), out);
  return kExitOk;
}
