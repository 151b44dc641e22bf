#include "io/MatStructure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "io/FileHandle.h"
#include "io/ReadResult.h"

namespace {

constexpr std::size_t kMat5Header = 128;
constexpr std::uint32_t kMiMatrix = 14;
constexpr std::uint32_t kMiCompressed = 15;
constexpr int kMaxNesting = 32;

std::uint32_t Word32(const unsigned char* p, bool swap) {
  std::uint32_t value;
  std::memcpy(&value, p, 4);
  return swap ? __builtin_bswap32(value) : value;
}

// Inflates a compressed element, as long as it stays within what the record
// could take; nothing when it is damaged or larger.
std::optional<std::vector<unsigned char>> Inflate(const unsigned char* p, std::size_t n) {
  std::vector<unsigned char> out(std::max<std::size_t>(n * 4, 4096));
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return std::nullopt;
  stream.next_in = const_cast<unsigned char*>(p);
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(n, UINT_MAX));
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.total_out == out.size()) {
      if (!FitsInMemory(out.size() * 2)) break;
      out.resize(out.size() * 2);
    }
    stream.next_out = out.data() + stream.total_out;
    stream.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - stream.total_out, UINT_MAX));
    status = inflate(&stream, Z_NO_FLUSH);
  }
  const std::size_t produced = stream.total_out;
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  out.resize(produced);
  return out;
}

struct Element {
  std::uint32_t type = 0;
  const unsigned char* data = nullptr;
  std::size_t bytes = 0;
};

// The data elements of [p, p + n), each within it; nothing when a length
// points past the end.
std::optional<std::vector<Element>> Elements(const unsigned char* p, std::size_t n, bool swap, bool top) {
  std::vector<Element> elements;
  std::size_t at = 0;
  while (at + 8 <= n) {
    const std::uint32_t type = Word32(p + at, swap);
    if ((type >> 16) != 0) {  // a small element: its length and type in one word, its data in the next
      if ((type >> 16) > 4) return std::nullopt;
      elements.push_back({type & 0xFFFF, p + at + 4, type >> 16});
      at += 8;
      continue;
    }
    const std::uint32_t bytes = Word32(p + at + 4, swap);
    if (bytes > n - at - 8) return std::nullopt;
    elements.push_back({type, p + at + 8, bytes});
    // Compressed elements (top level only) are not padded; others are, to 8 bytes.
    at += 8 + (top && type == kMiCompressed ? bytes : (static_cast<std::size_t>(bytes) + 7) / 8 * 8);
  }
  return elements;
}

// The bytes of one value of a data type of the format, 0 for none.
std::size_t StorageBytes(std::uint32_t type) {
  switch (type) {
    case 1: case 2: case 16: return 1;           // int8, uint8, utf8
    case 3: case 4: case 17: return 2;           // int16, uint16, utf16
    case 5: case 6: case 7: case 18: return 4;   // int32, uint32, single, utf32
    case 9: case 12: case 13: return 8;          // double, int64, uint64
    default: return 0;
  }
}

constexpr std::uint32_t kMiInt8 = 1;
constexpr std::uint32_t kMiInt32 = 5;
constexpr std::uint32_t kMiUint32 = 6;
constexpr std::uint32_t kSparseClass = 5;
constexpr std::uint32_t kComplexFlag = 0x0800;
constexpr std::size_t kMaxRank = 32;
constexpr std::size_t kMaxNameBytes = 4096;

bool CheckMatrix(const unsigned char* p, std::size_t n, bool swap, int depth);

// The file's variables: only matrices, plain or compressed, none empty.
bool CheckVariables(const std::vector<Element>& elements) {
  for (const Element& element : elements) {
    if ((element.type != kMiMatrix && element.type != kMiCompressed) || element.bytes == 0) return false;
  }
  return true;
}

// Every nested matrix of a list of elements, and compressed ones inflated.
bool CheckNested(const std::vector<Element>& elements, bool swap, int depth) {
  for (const Element& element : elements) {
    if (element.type == kMiMatrix && !CheckMatrix(element.data, element.bytes, swap, depth + 1)) return false;
    if (element.type == kMiCompressed) {
      if (depth > 0) return false;
      const std::optional<std::vector<unsigned char>> inflated = Inflate(element.data, element.bytes);
      if (!inflated) return false;
      const auto inner = Elements(inflated->data(), inflated->size(), swap, false);
      if (!inner || inner->size() != 1 || !CheckVariables(*inner) || !CheckNested(*inner, swap, depth + 1)) return false;
    }
  }
  return true;
}

// A matrix: its flags, dimensions and name as the format has them, and as
// many values as its dimensions say (or, for cells and structures, room for
// them), so that nothing matio allocates by them is more than the file holds.
bool CheckMatrix(const unsigned char* p, std::size_t n, bool swap, int depth) {
  if (depth > kMaxNesting) return false;
  if (n == 0) return true;  // an empty cell or field
  const auto parts = Elements(p, n, swap, false);
  if (!parts || parts->size() < 3) return false;
  const Element& flags = (*parts)[0];
  const Element& dims = (*parts)[1];
  const Element& name = (*parts)[2];
  // matio reads the dimensions right after 8 bytes of flags, whatever the
  // flags' tag says: a longer flags element would have it read other bytes.
  if (flags.type != kMiUint32 || flags.bytes != 8) return false;
  if (dims.type != kMiInt32 || dims.bytes % 4 != 0 || dims.bytes < 8 || dims.bytes > 4 * kMaxRank) return false;
  if (name.type != kMiInt8 || name.bytes > kMaxNameBytes) return false;
  const std::uint32_t word = Word32(flags.data, swap);
  const std::uint32_t matrixClass = word & 0xFF;
  unsigned long long elements = 1;
  for (std::size_t k = 0; k < dims.bytes / 4; ++k) {
    const auto extent = static_cast<std::int32_t>(Word32(dims.data + 4 * k, swap));
    if (extent < 0) return false;
    elements *= static_cast<unsigned long long>(extent);
    if (elements > n * 8ULL + 8) break;
  }
  // Every class but the sparse one holds at least a byte per element.
  if (matrixClass != kSparseClass && elements > n) return false;
  if (matrixClass >= 6 && matrixClass <= 15 && elements > 0) {
    const bool complex = (word & kComplexFlag) != 0;
    for (std::size_t part = 3; part < (complex ? 5u : 4u); ++part) {
      if (parts->size() <= part) return false;
      const std::size_t size = StorageBytes((*parts)[part].type);
      if (size == 0 || (*parts)[part].bytes != elements * size) return false;
    }
  }
  return CheckNested(*parts, swap, depth);
}

bool CheckElements(const unsigned char* p, std::size_t n, bool swap) {
  const auto elements = Elements(p, n, swap, true);
  return elements && CheckVariables(*elements) && CheckNested(*elements, swap, 0);
}

}  // namespace

std::optional<std::string> MatFileProblem(const std::string& path) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0) return std::string(kCannotOpenMessage);
  const auto size = static_cast<std::size_t>(info.st_size);
  if (!FitsInMemory(size)) return std::string("ファイルが大きすぎて、このコンピュータのメモリに読み込めません。");
  std::vector<unsigned char> bytes(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(file.get(), bytes.data() + done, size - done, static_cast<off_t>(done));
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (done < kMat5Header || done != size) return std::string("MATLABファイルとして読めません（ヘッダが不完全です）。");
  const unsigned char* header = bytes.data();
  const bool little = header[126] == 'I' && header[127] == 'M';
  const bool big = header[126] == 'M' && header[127] == 'I';
  const unsigned version = little ? header[124] | header[125] << 8 : header[124] << 8 | header[125];
  if (!little && !big) return std::string("MATLAB v5 か v7.3 のファイルではありません。");
  if (version == 0x0200) return std::nullopt;  // v7.3: an HDF5 file behind the header
  if (version != 0x0100) return std::string("MATLAB v5 か v7.3 のファイルではありません。");
  if (!CheckElements(header + kMat5Header, size - kMat5Header, big)) {
    return std::string("MATLABファイルが壊れています（データの長さがファイルと合いません）。");
  }
  return std::nullopt;
}

