// storeadm calendar: the appointments of a mailbox as its calendar provider
// files file them (by year, month or day), with subject and location from
// the Calendar folder's index; adding and removing appointments through the
// store-item interface, as the server's services do; and a check that
// message, index and provider files agree, with a repair.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "folder/folder_files.h"
#include "frame/file_helpers.h"
#include "frame/number_text.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "json_text.h"
#include "message/date_text.h"
#include "message/item_file_name.h"
#include "pim/calendar_bucket.h"
#include "pim/calendar_check.h"
#include "pim/provider_operations.h"
#include "platform/civil_date.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "qxstore.h"
#include "report.h"
#include "store_objects.h"

namespace qx::storeadm {
namespace {

int RunCalendar(int argc, char** argv);

const Command kCalendar{
    "calendar",
    "<postoffice> <mailbox> [--day YYYY-MM-DD | --month YYYY-MM | --year YYYY] [--json]\n"
    "               storeadm calendar add <postoffice> <mailbox> <start> <end> <subject> [--location L] "
    "[--json]\n"
    "               storeadm calendar remove <postoffice> <mailbox> <identifier> [--json]\n"
    "               storeadm calendar check <postoffice> <mailbox> [--repair] [--json]",
    "lists, adds and removes appointments, and checks a calendar's files agree",
    RunCalendar, nullptr, "--day= --month= --year= --json --location= --repair"};
const CommandRegistration kRegisterCalendar(kCalendar);

constexpr const char* kCalendarFolder = "Calendar";

int Fail(const std::string& message) { return storeadm::Fail("%s", message.c_str()); }

bool MailboxExists(const char* postoffice, const char* mailbox) {
  if (!IsPlainFileName(postoffice) || !IsPlainFileName(mailbox)) return false;
  const std::string directory = MailboxDirectory(postoffice, mailbox);
  return !directory.empty() && platform::IsDirectory(directory);
}

std::string UtcText(int64_t seconds) {
  const uint64_t ticks =
      static_cast<uint64_t>(seconds + platform::kSecondsFrom1601To1970) * platform::kTicksPerSecond;
  return StoreDateTextFromFileTime(ticks).value_or("?") + "Z";
}

// Listing. ----------------------------------------------------------------

// A span of UTC days, and the provider files its appointments may be in.
struct Period {
  int64_t begin = 0;  // Unix seconds, inclusive
  int64_t end = 0;    // exclusive
  std::vector<std::string> keys;
  std::vector<std::string> patterns;  // listing patterns of further keys
  bool everything = false;
};

std::optional<int> Digits(std::string_view text) {
  if (text.empty() || text.size() > 4 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return static_cast<int>(LeadingInt32(text));
}

int64_t DayStart(int64_t year, unsigned month, unsigned day) {
  return platform::DaysFromCivil(year, month, day) * platform::kSecondsPerDay;
}

std::string Key(const char* format, int year, unsigned month = 0) {
  char key[32];
  std::snprintf(key, sizeof key, format, year - 2000, month);
  return key;
}

// "--day 2011-03-15", "--month 2011-03" or "--year 2011"; nothing when the
// date is not one.
std::optional<Period> ParsePeriod(const std::string& option, const std::string& value) {
  const std::string_view text(value);
  const std::optional<int> year = Digits(text.substr(0, 4));
  if (!year || *year < 1901 || *year > 2038) return std::nullopt;
  Period period;
  if (option == "--year" && text.size() == 4) {
    period.begin = DayStart(*year, 1, 1);
    period.end = DayStart(*year + 1, 1, 1);
    period.keys = {"Y", Key("Y%d", *year)};
    period.patterns = {Key("Y%02dM*.CAL", *year)};
    return period;
  }
  if (text.size() < 7 || text[4] != '-') return std::nullopt;
  const std::optional<int> month = Digits(text.substr(5, 2));
  if (!month || *month < 1 || *month > 12) return std::nullopt;
  const unsigned m = static_cast<unsigned>(*month);
  if (option == "--month" && text.size() == 7) {
    period.begin = DayStart(*year, m, 1);
    period.end = DayStart(*year, m, platform::DaysInMonth(*year, m) + 1);
    period.keys = {"Y", Key("Y%d", *year)};
    period.patterns = {Key("Y%02dM%02u*.CAL", *year, m)};
    return period;
  }
  if (option != "--day" || text.size() != 10 || text[7] != '-') return std::nullopt;
  const std::optional<int> day = Digits(text.substr(8, 2));
  if (!day || *day < 1 || static_cast<unsigned>(*day) > platform::DaysInMonth(*year, m)) return std::nullopt;
  const DayBuckets buckets = BucketsOfDay(*year, m, static_cast<unsigned>(*day));
  period.begin = DayStart(*year, m, static_cast<unsigned>(*day));
  period.end = period.begin + platform::kSecondsPerDay;
  period.keys = {buckets.all, buckets.year, buckets.month, buckets.day};
  return period;
}

struct Listed {
  std::string bucket;
  ProviderEntry entry;
  std::string subject;
  std::string location;
};

std::vector<std::string> BucketKeys(const std::string& directory, const Period& period) {
  std::vector<std::string> keys = period.keys;
  std::vector<std::string> patterns = period.patterns;
  if (period.everything) patterns = {"Y*.CAL"};
  for (const std::string& pattern : patterns) {
    for (platform::Listing listing = platform::Listing::Open(FolderFilePath(directory, pattern));
         listing.valid(); listing.Next()) {
      const std::string& name = listing.current().name;
      if (IsProviderFileName(name)) keys.push_back(name.substr(0, name.find('.')));
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

std::vector<Listed> ListAppointments(const char* postoffice, const char* mailbox, const Period& period) {
  const std::string directory = CalendarDirectory(postoffice, mailbox);
  const XmlDocument index = XmlDocument::New();
  const bool indexed = LoadDocumentFile(index, FolderFilePath(directory, kIndexFileName));
  std::vector<Listed> listed;
  for (const std::string& key : BucketKeys(directory, period)) {
    const auto lines = ReadProviderLines({postoffice, mailbox, key});
    if (!lines) continue;
    for (const ProviderLine& line : *lines) {
      const ProviderEntry& entry = line.entry;
      if (!period.everything && (entry.start >= period.end || entry.end < period.begin)) continue;
      Listed appointment{key, entry, "", ""};
      if (indexed) {
        const pugi::xml_node element = FindItemElement(index, entry.identifier);
        if (const char* subject = AttributeValue(element, "SUBJECT")) appointment.subject = subject;
        if (const char* location = AttributeValue(element, "LOCATION")) appointment.location = location;
      }
      listed.push_back(std::move(appointment));
    }
  }
  std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    return a.entry.start < b.entry.start;
  });
  return listed;
}

void PrintListed(const std::vector<Listed>& listed, bool json) {
  if (json) std::printf("[");
  for (size_t i = 0; i < listed.size(); ++i) {
    const Listed& a = listed[i];
    if (json) {
      std::printf("%s\n  {\"identifier\": %s, \"bucket\": %s, \"start\": %s, \"end\": %s, "
                  "\"subject\": %s, \"location\": %s}",
                  i == 0 ? "" : ",", JsonString(a.entry.identifier).c_str(), JsonString(a.bucket).c_str(),
                  JsonString(UtcText(a.entry.start)).c_str(), JsonString(UtcText(a.entry.end)).c_str(),
                  JsonString(a.subject).c_str(), JsonString(a.location).c_str());
    } else {
      std::printf("%s\t%s\t%s\t%s\t%s\n", UtcText(a.entry.start).c_str(), UtcText(a.entry.end).c_str(),
                  a.entry.identifier.c_str(), a.subject.c_str(), a.location.c_str());
    }
  }
  if (json) std::printf("%s]\n", listed.empty() ? "" : "\n");
}

int RunList(int argc, char** argv, bool json) {
  std::vector<std::string> positional;
  std::optional<Period> period = Period{};
  period->everything = true;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--day" || argument == "--month" || argument == "--year") {
      if (i + 1 >= argc) return UsageError(kCalendar, (argument + " needs a date").c_str());
      period = ParsePeriod(argument, argv[++i]);
      if (!period) return UsageError(kCalendar, (argument + " takes YYYY-MM-DD, YYYY-MM or YYYY").c_str());
    } else if (argument.rfind("--", 0) == 0) {
      return UsageError(kCalendar, ("unknown option " + argument).c_str());
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 2) return UsageError(kCalendar, "expected a postoffice and a mailbox");
  const char* postoffice = positional[0].c_str();
  const char* mailbox = positional[1].c_str();
  if (!MailboxExists(postoffice, mailbox)) return Fail("no mailbox " + positional[1] + " in " + positional[0]);
  PrintListed(ListAppointments(postoffice, mailbox, *period), json);
  return kExitOk;
}

// Adding and removing. ----------------------------------------------------

// Unix seconds of "YYYY-MM-DDTHH:MM[:SS]" (UTC) or of a decimal number.
std::optional<int32_t> ParseTime(const std::string& text) {
  if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int64_t seconds = LeadingInteger(text);
    if (seconds > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(seconds);
  }
  const std::string full = text.size() == 16 ? text + ":00" : text;
  const std::optional<uint64_t> ticks = FileTimeFromStoreDateText(full);
  if (!ticks) return std::nullopt;
  const int64_t seconds =
      static_cast<int64_t>(*ticks / platform::kTicksPerSecond) - platform::kSecondsFrom1601To1970;
  if (seconds < INT32_MIN || seconds > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(seconds);
}

FILETIME FileTimeOf(int32_t seconds) {
  const uint64_t ticks =
      static_cast<uint64_t>(seconds + platform::kSecondsFrom1601To1970) * platform::kTicksPerSecond;
  return {static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

int RunAdd(int argc, char** argv, bool json) {
  std::string location;
  bool has_location = false;
  std::vector<std::string> positional;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--location") == 0) {
      if (i + 1 >= argc) return UsageError(kCalendar, "--location needs a text");
      location = argv[++i];
      has_location = true;
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() != 5) {
    return UsageError(kCalendar, "add takes a postoffice, a mailbox, a start, an end and a subject");
  }
  const std::optional<int32_t> start = ParseTime(positional[2]);
  const std::optional<int32_t> end = ParseTime(positional[3]);
  if (!start || !end) {
    return UsageError(kCalendar, "times are YYYY-MM-DDTHH:MM[:SS] in UTC, or Unix seconds, up to 2038");
  }
  if (*end < *start) return UsageError(kCalendar, "the end comes before the start");
  const char* postoffice = positional[0].c_str();
  const char* mailbox = positional[1].c_str();
  if (!MailboxExists(postoffice, mailbox)) return Fail("no mailbox " + positional[1] + " in " + positional[0]);

  char identifier[128];
  NewMessageFileName(identifier, sizeof identifier);
  // A mailbox's first appointment makes its Calendar folder.
  const std::string directory = CalendarDirectory(postoffice, mailbox);
  if (!platform::IsDirectory(directory)) platform::CreateDirectory(directory);
  if (StoreFolder_Open(postoffice, mailbox, kCalendarFolder, 2, 1) == 0) {
    return Fail("the Calendar folder of " + positional[1] + " cannot be opened");
  }
  const FILETIME start_time = FileTimeOf(*start);
  const FILETIME end_time = FileTimeOf(*end);
  StoreFolder_CreateItem(identifier);
  StoreItem_SetProperty("", "PR_SUBJECT", positional[4].c_str());
  StoreItem_SetProperty("", "PR_START_DATE", &start_time);
  StoreItem_SetProperty("", "PR_END_DATE", &end_time);
  if (has_location) StoreItem_SetProperty("", "PR_LOCATION", location.c_str());
  StoreFolder_Save(0);
  StoreFolder_FindClose();

  const std::string message = JoinStorePath(directory, identifier);
  const CalendarBucket bucket{postoffice, mailbox, AppointmentBucketKey(*start, *end)};
  if (platform::GetFileSize(message) < 0) return Fail(std::string("appointment ") + identifier + " was not written");
  if (!GetProviderEntry(bucket, identifier)) {
    return Fail(std::string("appointment ") + identifier + " was not filed in " + bucket.key);
  }
  if (json) {
    PrintJsonArray({JsonObject()
                        .Add("identifier", identifier)
                        .Add("bucket", bucket.key)
                        .Add("start", UtcText(*start))
                        .Add("end", UtcText(*end))});
  } else {
    std::printf("%s\n", identifier);
  }
  return kExitOk;
}

int RunRemove(int argc, char** argv, bool json) {
  if (argc != 5) return UsageError(kCalendar, "remove takes a postoffice, a mailbox and an identifier");
  const char* postoffice = argv[2];
  const char* mailbox = argv[3];
  const char* identifier = argv[4];
  if (!MailboxExists(postoffice, mailbox)) return Fail(std::string("no mailbox ") + mailbox + " in " + postoffice);
  if (!IsPlainFileName(identifier)) return Fail(std::string(identifier) + " is not an appointment's file name");
  if (StoreFolder_Open(postoffice, mailbox, kCalendarFolder, 2, 1) == 0) {
    return Fail(std::string("the Calendar folder of ") + mailbox + " cannot be opened");
  }
  const uint32_t removed = StoreFolder_DeleteItem(identifier);
  StoreFolder_Save(0);
  StoreFolder_FindClose();
  if (removed == 0) return Fail(std::string("no appointment ") + identifier + " in the Calendar of " + mailbox);
  if (json) PrintJsonArray({JsonObject().Add("identifier", identifier).AddBool("removed", true)});
  return kExitOk;
}

// Checking. ---------------------------------------------------------------

// With --json one array: each problem found, and whether a repair set it right.
void PrintProblemsJson(const std::vector<CalendarProblem>& found,
                       const std::vector<CalendarProblem>& left, bool repaired) {
  std::vector<JsonObject> objects;
  for (const CalendarProblem& problem : found) {
    const bool still = std::any_of(left.begin(), left.end(), [&](const CalendarProblem& p) {
      return p.identifier == problem.identifier && p.description == problem.description;
    });
    objects.push_back(JsonObject()
                          .Add("identifier", problem.identifier)
                          .Add("problem", problem.description)
                          .AddBool("repaired", repaired && !still));
  }
  PrintJsonArray(objects);
}

void PrintProblems(const std::vector<CalendarProblem>& problems, const char* prefix) {
  for (const CalendarProblem& problem : problems) {
    std::printf("%s%s: %s\n", prefix, problem.identifier.empty() ? "calendar" : problem.identifier.c_str(),
                problem.description.c_str());
  }
}

int RunCheck(int argc, char** argv, bool json) {
  const bool repair = argc == 5 && std::strcmp(argv[4], "--repair") == 0;
  if (argc != 4 && !repair) return UsageError(kCalendar, "check takes a postoffice, a mailbox and --repair");
  const char* postoffice = argv[2];
  const char* mailbox = argv[3];
  if (!MailboxExists(postoffice, mailbox)) return Fail(std::string("no mailbox ") + mailbox + " in " + postoffice);
  const std::vector<CalendarProblem> found = CheckCalendar(postoffice, mailbox);
  if (!json) PrintProblems(found, "");
  // The disagreements are what the check reports: it ran, so it exits 0,
  // as storeadm check does.
  if (found.empty() || !repair) {
    if (json) PrintProblemsJson(found, found, false);
    return kExitOk;
  }
  if (!RepairCalendar(postoffice, mailbox)) return Fail(std::string("the index of ") + mailbox + " could not be saved");
  const std::vector<CalendarProblem> problems = CheckCalendar(postoffice, mailbox);
  if (json) {
    PrintProblemsJson(found, problems, true);
    return kExitOk;
  }
  PrintProblems(problems, "still: ");
  if (problems.empty()) std::printf("repaired\n");
  return kExitOk;
}

int RunCalendar(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  // The appointment files are written here while the provider's entries
  // would go to the host: the two halves must not part.
  const bool changes = argc >= 2 && (std::strcmp(argv[1], "add") == 0 ||
                                     std::strcmp(argv[1], "remove") == 0 ||
                                     std::strcmp(argv[1], "check") == 0);
  if (changes && !CallsRunHere()) return Fail("calendar runs on this machine only");
  if (argc >= 2 && std::strcmp(argv[1], "add") == 0) return RunAdd(argc, argv, json);
  if (argc >= 2 && std::strcmp(argv[1], "remove") == 0) return RunRemove(argc, argv, json);
  if (argc >= 2 && std::strcmp(argv[1], "check") == 0) return RunCheck(argc, argv, json);
  return RunList(argc, argv, json);
}

}  // namespace
}  // namespace qx::storeadm
