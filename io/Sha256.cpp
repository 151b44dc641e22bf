#include "io/Sha256.h"

#include <openssl/evp.h>

#include <cstdio>


struct Sha256::Context {
  EVP_MD_CTX* digest = EVP_MD_CTX_new();
  ~Context() { EVP_MD_CTX_free(digest); }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  EVP_DigestInit_ex(context_->digest, EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::Add(std::string_view bytes) { EVP_DigestUpdate(context_->digest, bytes.data(), bytes.size()); }

std::string Sha256::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context_->digest, digest, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0x0F];
  }
  return text;
}

std::optional<std::string> FileSha256(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  Sha256 sha;
  std::string block(1 << 20, '\0');
  std::size_t got = 0;
  while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) sha.Add(std::string_view(block.data(), got));
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return sha.HexDigest();
}
