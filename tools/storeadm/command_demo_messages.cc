// storeadm demo-messages: fills a folder directory with varied message files
// for demonstrations: plain, multipart with and without attachments, read
// and unread, flagged through temporary flags, folded headers, odd bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "command.h"
#include "report.h"
#include "frame/store_paths.h"
#include "platform/file.h"

namespace qx::storeadm {
namespace {

int RunDemoMessages(int argc, char** argv);

const Command kDemoMessages{"demo-messages", "<folder directory> <count>",
                            "writes <count> varied demo message files into a folder directory",
                            RunDemoMessages, nullptr, "", false, true};
const CommandRegistration kRegisterDemoMessages(kDemoMessages);

constexpr const char* kPeople[] = {"Alice Archer <alice@example.org>", "bob@example.org",
                                   "\"Carol C.\" <carol@example.net>", "Dan <dan@example.com>"};
constexpr const char* kTopics[] = {"Quarterly report", "Lunch on Friday?", "Re: build failures",
                                   "Invoice 2024-117", "Fwd: holiday photos", "Meeting notes"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A small fixed generator, so the demo store is the same on every run.
class Dice {
 public:
  uint32_t Roll(uint32_t sides) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state_ >> 33) % sides;
  }

 private:
  uint64_t state_ = 20240101;
};

std::string DateText(Dice& dice) {
  char text[64];
  std::snprintf(text, sizeof text, "%u %s 2024 %02u:%02u:%02u +0%u00", 1 + dice.Roll(28),
                kMonths[dice.Roll(12)], dice.Roll(24), dice.Roll(60), dice.Roll(60), dice.Roll(3));
  return text;
}

std::string Headers(Dice& dice, int number) {
  const std::string date = DateText(dice);
  std::string text = "Received: from mx.example.org by store; " + date + "\r\n";
  text += std::string("From: ") + kPeople[dice.Roll(4)] + "\r\n";
  text += std::string("To: ") + kPeople[dice.Roll(4)] + ",\r\n\t" + kPeople[dice.Roll(4)] + "\r\n";
  if (dice.Roll(3) == 0) text += std::string("CC: ") + kPeople[dice.Roll(4)] + "\r\n";
  text += std::string("Subject: ") + kTopics[dice.Roll(6)] + " #" + std::to_string(number) + "\r\n";
  text += "Date: " + date + "\r\n";
  text += "Message-ID: <demo." + std::to_string(number) + "@example.org>\r\n";
  if (dice.Roll(5) == 0) text += "X-Priority: " + std::to_string(1 + dice.Roll(5)) + "\r\n";
  if (dice.Roll(3) == 0) text += "X-Read: 1\r\n";
  if (dice.Roll(6) == 0) text += "X-QXTempFlags: \\FLAGGED\r\n";
  if (dice.Roll(8) == 0) text += "X-QXTempFlags: \\ANSWERED\r\n";
  return text;
}

std::string Body(Dice& dice) {
  std::string paragraph = "Here is the text of a demo message, with a caf\xc3\xa9 or two.\r\n";
  std::string text;
  for (uint32_t i = 0, lines = 3 + dice.Roll(40); i < lines; ++i) text += paragraph;
  return text;
}

std::string MessageText(Dice& dice, int number) {
  std::string text = Headers(dice, number);
  switch (dice.Roll(4)) {
    case 0:
      text += "Content-Type: multipart/mixed; boundary=\"part\"\r\n\r\n--part\r\n"
              "Content-Type: text/plain\r\n\r\n" + Body(dice) +
              "--part\r\nContent-Type: application/octet-stream\r\n"
              "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n"
              "AAECAwQFBgcICQoLDA0ODw==\r\n--part--\r\n";
      break;
    case 1:
      text += "Content-Type: multipart/mixed; boundary=\"part\"\r\n\r\n--part\r\n"
              "Content-Type: text/plain\r\n\r\n" + Body(dice) + "--part--\r\n";
      break;
    default:
      text += "Content-Type: text/plain; charset=utf-8\r\n\r\n" + Body(dice);
      break;
  }
  return text;
}

int RunDemoMessages(int argc, char** argv) {
  if (argc != 3) return UsageError(kDemoMessages, "expected a folder directory and a count");
  const int count = std::atoi(argv[2]);
  if (count <= 0 || count > 100000) return UsageError(kDemoMessages, "count must be 1 to 100000");
  Dice dice;
  for (int i = 1; i <= count; ++i) {
    char name[48];
    std::snprintf(name, sizeof name, "%032X.MAI", 0x1000u + static_cast<unsigned>(i));
    const std::string path = JoinStorePath(argv[1], name);
    platform::File file =
        platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateAlways);
    if (!file.valid() || !file.Write(MessageText(dice, i)) || !file.Close()) {
      ReportError("could not write %s\n", path.c_str());
      return kExitFailure;
    }
  }
  std::printf("wrote %d messages into %s\n", count, argv[1]);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
