// The request and reply texts of a forwarded call, where the forwarding test
// does not reach: records too long for a request, and loose or broken replies.
// The exact request of a whole call is checked by the forwarding test.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "remote/remote_exchange.h"
#include "remote/request_coding.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

TEST(RequestCoding, TextThatCannotFitIsNotSent) {
  // Text longer than a request holds is sent empty; text that fits alone
  // but not beside what the request holds is not inserted at all.
  std::mt19937 random(11);
  std::vector<uint8_t> noise(26176);
  for (auto& byte : noise) byte = static_cast<uint8_t>(random());
  std::string request = BeginRemoteRequest("CommandMessageSet");
  EXPECT_EQ(SerialiseParameter(request, 1, noise), 1u);
  EXPECT_NE(request.find("<PARAMETER1 SIZE=26176></PARAMETER1></PARAMETERS>"), std::string::npos);
  noise.resize(11000);
  request = BeginRemoteRequest("FolderEdit");
  EXPECT_EQ(SerialiseParameter(request, 1, noise), 1u);
  const std::string before = request;
  EXPECT_EQ(SerialiseParameter(request, 2, noise), 0u);
  EXPECT_EQ(request, before);
}

TEST(RequestCoding, RecordsFoundInLooseOrBrokenReplies) {
  // Attributes and text are found anywhere, in any surrounding.
  auto loose = ExtractParameter("junk<PARAMETER2 X=1 SIZE= 12 >QUJD</PARAMETER2>", 2);
  ASSERT_TRUE(loose.has_value());
  EXPECT_EQ(loose->declared_size, 12);
  EXPECT_EQ(loose->text, "QUJD");
  for (const char* bad : {"<PARAMETER0 SIZE=4>AQAAAAAAAAA=</PARAMETER1>",
                          "<PARAMETER0>AQAAAAAAAAA=</PARAMETER0>", "<PARAMETER0 SIZE=4"}) {
    EXPECT_FALSE(ExtractParameter(bad, 0).has_value()) << bad;
  }
  // A shorter record fills only its own bytes.
  std::vector<uint8_t> record(6, 0x5A);
  const std::string three = "<PARAMETER1 SIZE=3>" + test::EncodedRecord(std::vector<uint8_t>{1, 2, 3}) +
                            "</PARAMETER1>";
  EXPECT_EQ(DeserialiseParameter(three, 1, record), 1u);
  EXPECT_EQ(record, (std::vector<uint8_t>{1, 2, 3, 0x5A, 0x5A, 0x5A}));
}

}  // namespace
}  // namespace qx
