// The request and reply texts of a forwarded call.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "remote/remote_exchange.h"
#include "remote/request_coding.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

std::string Element(int index, const std::vector<uint8_t>& record) {
  const std::string tag = "PARAMETER" + std::to_string(index);
  return "<" + tag + " SIZE=" + std::to_string(record.size()) + ">" + test::EncodedRecord(record) +
         "</" + tag + ">";
}

std::vector<uint8_t> Pattern(size_t size, int seed) {
  std::vector<uint8_t> record(size);
  for (size_t i = 0; i < size; ++i) record[i] = static_cast<uint8_t>((i * seed) % 251);
  return record;
}

TEST(RequestCoding, ParametersInOrderAndTextThatCannotFit) {
  std::string request = BeginRemoteRequest("FolderEdit");
  EXPECT_EQ(request, test::ExecRequest("FolderEdit", {}));
  const std::vector<uint8_t> from = Pattern(1540, 3);
  const std::vector<uint8_t> to = Pattern(1540, 5);
  EXPECT_EQ(SerialiseParameter(request, 1, from), 1u);
  EXPECT_EQ(SerialiseParameter(request, 2, to), 1u);
  EXPECT_EQ(request, test::ExecRequest("FolderEdit", {from, to}));
  std::vector<uint8_t> decoded(1540);
  EXPECT_EQ(DeserialiseParameter(request, 2, decoded), 1u);
  EXPECT_EQ(decoded, to);

  // Text longer than a request holds is sent empty; text that fits alone
  // but not beside what the request holds is not inserted at all.
  std::mt19937 random(11);
  std::vector<uint8_t> noise(26176);
  for (auto& byte : noise) byte = static_cast<uint8_t>(random());
  request = BeginRemoteRequest("CommandMessageSet");
  EXPECT_EQ(SerialiseParameter(request, 1, noise), 1u);
  EXPECT_NE(request.find("<PARAMETER1 SIZE=26176></PARAMETER1></PARAMETERS>"), std::string::npos);
  noise.resize(11000);
  request = BeginRemoteRequest("FolderEdit");
  EXPECT_EQ(SerialiseParameter(request, 1, noise), 1u);
  const std::string before = request;
  EXPECT_EQ(SerialiseParameter(request, 2, noise), 0u);
  EXPECT_EQ(request, before);
  EXPECT_LT(request.size(), kRemoteBufferSize);
  std::string no_end = "<DATA><METHOD>EXEC</METHOD></DATA>";
  EXPECT_FALSE(InsertBeforeParametersEnd(no_end, "<PARAMETER1 SIZE=1>AA==</PARAMETER1>", 100));
  EXPECT_EQ(no_end, "<DATA><METHOD>EXEC</METHOD></DATA>");
}

TEST(RequestCoding, ResultsAndRecordsFoundInLooseOrBrokenReplies) {
  const std::string reply = "<DATA><PARAMETERS>" + Element(0, {1, 0, 0, 0}) + "</PARAMETERS></DATA>";
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
  for (const char* bad : {"<PARAMETER0 SIZE=4>AQAAAAAAAAA=</PARAMETER1>",
                          "<PARAMETER0>AQAAAAAAAAA=</PARAMETER0>", "<PARAMETER0 SIZE=4"}) {
    EXPECT_FALSE(ExtractParameter(bad, 0).has_value()) << bad;
  }
  // A text longer than a reply buffer holds is cut to 32767 bytes.
  std::string huge = "<PARAMETER1 SIZE=1>" + std::string(40000, 'A') + "</PARAMETER1>";
  EXPECT_EQ(ExtractParameter(huge, 1)->text.size(), kRemoteBufferSize - 1);

  // A truncated body leaves the record; a shorter record fills only its own bytes.
  std::vector<uint8_t> record(16, 0x5A);
  EXPECT_EQ(DeserialiseParameter("<PARAMETER1 SIZE=16>YQBiAGM</PARAMETER1>", 1, record), 0u);
  EXPECT_EQ(DeserialiseParameter(Element(1, {1, 2, 3}), 1, record), 1u);
  EXPECT_EQ(record, (std::vector<uint8_t>{1, 2, 3, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A,
                                          0x5A, 0x5A, 0x5A, 0x5A, 0x5A}));
}

}  // namespace
}  // namespace qx
