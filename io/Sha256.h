// SHA-256 of a record file, for tracing a result to the exact bytes it came
// from. OpenSSL's implementation (with the processor's SHA instructions where
// it has them); bytes are fed in the order of the file, in pieces of any size.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Add(std::string_view bytes);
  // The digest as 64 lower-case hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

// The digest of a whole file; nothing when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);
