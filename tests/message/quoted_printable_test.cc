// Quoted-printable values: every byte survives encoding and decoding, soft
// breaks join, and text that was never encoded comes back as it was.

#include "message/quoted_printable.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

TEST(QuotedPrintableTest, EncodesEveryByteOntoOneLineAndDecodesItBack) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  const std::string encoded = EncodeQuotedPrintable(all);
  EXPECT_EQ(encoded.find_first_of(" \t\r\n"), std::string::npos);
  EXPECT_EQ(encoded.substr(0, 9), "=00=01=02");
  EXPECT_NE(encoded.find("=20!\"#"), std::string::npos);
  EXPECT_NE(encoded.find("<=3D>"), std::string::npos);
  EXPECT_NE(encoded.find("~=7F=80"), std::string::npos);
  EXPECT_EQ(DecodeQuotedPrintable(encoded), all);

  EXPECT_EQ(DecodeQuotedPrintableLeniently(encoded), all);

  // Stray "=" signs: refused by the strict decoder, kept by the lenient one.
  EXPECT_EQ(DecodeQuotedPrintable("Caf=C3=a9 =\r\nau=\nlait"), "Caf\xC3\xA9 aulait");
  EXPECT_EQ(DecodeQuotedPrintableLeniently("Caf=C3=a9 =\r\nau=\nlait="), "Caf\xC3\xA9 aulait");
  EXPECT_EQ(DecodeQuotedPrintableLeniently("100% = 1=x =G1 =4"), "100% = 1=x =G1 =4");
  for (const char* stray : {"100% = 1", "=x", "=G1", "=4", "lait="}) {
    EXPECT_FALSE(DecodeQuotedPrintable(stray).has_value()) << stray;
  }
}

}  // namespace
}  // namespace qx
