#include "io/ReadRecordFile.h"

#include "io/ReadCsv.h"
#include "io/ReadMat.h"
#include "io/ReadSpc51.h"
#include "io/ReadText.h"
#include "io/ReadUff.h"
#include "io/ReadWav.h"

ReadResult ReadRecordFile(const std::string& path, FileKind kind, const ReadOptions& options, WaveData& record,
                          const Progress* progress) {
  switch (kind) {
    case FileKind::Spc51:
      return ReadSpc51(path, record, progress);
    case FileKind::Text:
      return ReadText(path, options, record, progress);
    case FileKind::Wav:
      return ReadWav(path, options, record, progress);
    case FileKind::Uff:
      return ReadUff(path, options, record, progress);
    case FileKind::Mat:
      return ReadMat(path, options, record, progress);
    case FileKind::Csv:
      break;
  }
  return ReadCsv(path, record, progress);
}
