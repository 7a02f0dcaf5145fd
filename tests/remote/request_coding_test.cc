// The request and reply texts of a forwarded call.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "remote/base64.h"
#include "remote/lzw.h"
#include "remote/remote_exchange.h"
#include "remote/request_coding.h"

namespace qx {
namespace {

std::string Encoded(const std::vector<uint8_t>& record) {
  return Base64Encode(LzwCompress(record));
}

std::string Element(int index, size_t size, const std::string& text) {
  return "<PARAMETER" + std::to_string(index) + " SIZE=" + std::to_string(size) + ">" + text +
         "</PARAMETER" + std::to_string(index) + ">";
}

std::vector<uint8_t> Pattern(size_t size, int seed) {
  std::vector<uint8_t> record(size);
  for (size_t i = 0; i < size; ++i) record[i] = static_cast<uint8_t>((i * seed) % 251);
  return record;
}

TEST(RequestCoding, TwoParametersInOrderWithoutWhiteSpace) {
  std::string request = BeginRemoteRequest("FolderEdit");
  EXPECT_EQ(request,
            "<DATA><METHOD>EXEC</METHOD><FUNCTION>FolderEdit</FUNCTION>"
            "<PARAMETERS></PARAMETERS></DATA>");
  std::vector<uint8_t> from = Pattern(1540, 3);
  std::vector<uint8_t> to = Pattern(1540, 5);
  EXPECT_EQ(SerialiseParameter(request, 1, from), 1u);
  EXPECT_EQ(SerialiseParameter(request, 2, to), 1u);
  EXPECT_EQ(request, "<DATA><METHOD>EXEC</METHOD><FUNCTION>FolderEdit</FUNCTION><PARAMETERS>" +
                         Element(1, 1540, Encoded(from)) + Element(2, 1540, Encoded(to)) +
                         "</PARAMETERS></DATA>");

  std::vector<uint8_t> decoded(1540);
  EXPECT_EQ(DeserialiseParameter(request, 2, decoded), 1u);
  EXPECT_EQ(decoded, to);
  EXPECT_EQ(DeserialiseParameter(request, 1, decoded), 1u);
  EXPECT_EQ(decoded, from);
}

TEST(RequestCoding, TextThatCannotFitIsSentEmpty) {
  std::mt19937 random(11);
  std::vector<uint8_t> noise(26176);
  for (auto& byte : noise) byte = static_cast<uint8_t>(random());
  std::string request = BeginRemoteRequest("CommandMessageSet");
  EXPECT_EQ(SerialiseParameter(request, 1, noise), 1u);
  EXPECT_NE(request.find("<PARAMETER1 SIZE=26176></PARAMETER1></PARAMETERS>"), std::string::npos);

  // Text that fits alone but not beside what the request already holds is
  // not inserted at all: a cut request would be worse than a missing record.
  std::vector<uint8_t> half(11000);
  for (auto& byte : half) byte = static_cast<uint8_t>(random());
  std::string full = BeginRemoteRequest("FolderEdit");
  EXPECT_EQ(SerialiseParameter(full, 1, half), 1u);
  std::string before = full;
  EXPECT_EQ(SerialiseParameter(full, 2, half), 0u);
  EXPECT_EQ(full, before);
  EXPECT_LT(full.size(), kRemoteBufferSize);
}

TEST(RequestCoding, InsertionNeedsTheParametersEnd) {
  std::string request = "<DATA><METHOD>EXEC</METHOD></DATA>";
  EXPECT_FALSE(InsertBeforeParametersEnd(request, "<PARAMETER1 SIZE=1>AA==</PARAMETER1>", 100));
  EXPECT_EQ(request, "<DATA><METHOD>EXEC</METHOD></DATA>");
  std::string good = "<PARAMETERS></PARAMETERS></PARAMETERS>";
  EXPECT_TRUE(InsertBeforeParametersEnd(good, "<X/>", 100));
  EXPECT_EQ(good, "<PARAMETERS><X/></PARAMETERS></PARAMETERS>");
  EXPECT_FALSE(InsertBeforeParametersEnd(good, std::string(100, 'x'), 100));
}

TEST(RequestCoding, ResultAndRecordsFromReply) {
  uint32_t one = 1;
  std::string reply = "<DATA><PARAMETERS><PARAMETER0 SIZE=4>" +
                      Encoded({reinterpret_cast<uint8_t*>(&one), reinterpret_cast<uint8_t*>(&one) + 4}) +
                      "</PARAMETER0></PARAMETERS></DATA>";
  auto extracted = ExtractParameter(reply, 0);
  ASSERT_TRUE(extracted.has_value());
  EXPECT_EQ(extracted->declared_size, 4);
  EXPECT_EQ(extracted->text, "AQAAAAEB");  // codes 1, 0, 257
  uint32_t result = 0;
  EXPECT_EQ(DeserialiseParameter(reply, 0, {reinterpret_cast<uint8_t*>(&result), 4}), 1u);
  EXPECT_EQ(result, 1u);

  // Attributes and text are found anywhere, in any surrounding.
  auto loose = ExtractParameter("junk<PARAMETER2 X=1 SIZE= 12 >QUJD</PARAMETER2>", 2);
  ASSERT_TRUE(loose.has_value());
  EXPECT_EQ(loose->declared_size, 12);
  EXPECT_EQ(loose->text, "QUJD");

  EXPECT_FALSE(ExtractParameter(reply, 1).has_value());
  EXPECT_FALSE(ExtractParameter("<PARAMETER0 SIZE=4>AQAAAAAAAAA=</PARAMETER1>", 0).has_value());
  EXPECT_FALSE(ExtractParameter("<PARAMETER0>AQAAAAAAAAA=</PARAMETER0>", 0).has_value());
  EXPECT_FALSE(ExtractParameter("<PARAMETER0 SIZE=4", 0).has_value());

  // A text longer than a reply buffer holds is cut to 32767 bytes.
  std::string huge = "<PARAMETER1 SIZE=1>" + std::string(40000, 'A') + "</PARAMETER1>";
  EXPECT_EQ(ExtractParameter(huge, 1)->text.size(), kRemoteBufferSize - 1);
}

TEST(RequestCoding, BadRepliesLeaveTheRecordAlone) {
  std::vector<uint8_t> record(16, 0x5A);
  const std::vector<uint8_t> untouched = record;
  EXPECT_EQ(DeserialiseParameter("<DATA></DATA>", 1, record), 0u);
  EXPECT_EQ(DeserialiseParameter("<PARAMETER1 SIZE=16>YQB*AGMA</PARAMETER1>", 1, record), 0u);
  EXPECT_EQ(DeserialiseParameter("<PARAMETER1 SIZE=16>YQBiAGM</PARAMETER1>", 1, record), 0u);
  EXPECT_EQ(record, untouched);

  // A longer record than the caller's is cut at the caller's size.
  std::vector<uint8_t> long_record = Pattern(1540, 7);
  auto buffer = std::make_unique<uint8_t[]>(16);
  std::string reply = Element(1, 1540, Encoded(long_record));
  EXPECT_EQ(DeserialiseParameter(reply, 1, {buffer.get(), 16}), 1u);
  EXPECT_EQ(0, std::memcmp(buffer.get(), long_record.data(), 16));

  // A shorter one fills only its own bytes.
  std::string short_reply = Element(1, 3, Encoded({1, 2, 3}));
  EXPECT_EQ(DeserialiseParameter(short_reply, 1, record), 1u);
  EXPECT_EQ(record[0], 1);
  EXPECT_EQ(record[2], 3);
  EXPECT_EQ(record[3], 0x5A);
}

TEST(RequestCoding, DiagnosticLines) {
  setenv("QXSTORE_DIAG", "stdout", 1);
  platform::ReloadDiagnosticsSettings();
  std::string request = BeginRemoteRequest("FolderGet");
  testing::internal::CaptureStdout();
  SerialiseParameter(request, 1, std::vector<uint8_t>{'a', 'b', 'c'});
  std::vector<uint8_t> record(3);
  DeserialiseParameter(request, 1, record);
  std::string printed = testing::internal::GetCapturedStdout();
  setenv("QXSTORE_DIAG", "off", 1);
  platform::ReloadDiagnosticsSettings();
  EXPECT_EQ(printed,
            "compressing...\nCompressed size: 6\nResult of base64 encoding: YQBiAGMA\nSize:8\n"
            "decompressing\nB64Source length: 8 parameter size=3\nDecoded size=6\n"
            "Uncompressed size=3\nFreeing\n");
}

}  // namespace
}  // namespace qx
