#include "io/Sha256.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

// The published test vectors, fed whole and in pieces.
TEST(Sha256Test, KnownDigestsWholeAndInPieces) {
  Sha256 empty;
  EXPECT_EQ(empty.HexDigest(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  Sha256 abc;
  abc.Add("ab");
  abc.Add("");
  abc.Add("c");
  EXPECT_EQ(abc.HexDigest(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

  TempDir dir;
  std::string million(1000000, 'a');
  EXPECT_EQ(FileSha256(dir.Write("a.bin", million)),
            std::optional<std::string>("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"));
  EXPECT_FALSE(FileSha256(dir.File("missing")).has_value());
}

}  // namespace
