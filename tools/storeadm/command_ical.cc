// storeadm ical: lists the events of an iCalendar file, web feed or store
// folder of type 5 through the reader the store-item interface uses, with
// their start and end in UTC, subject, location and recurrence, or the
// properties chosen with --props.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "item_values.h"
#include "json_text.h"
#include "message/date_text.h"
#include "pim/ical_feed.h"
#include "pim/ical_property.h"
#include "pim/ical_property_map.h"
#include "platform/diagnostics.h"
#include "platform/utf16_text.h"
#include "qxstore.h"
#include "store/property_map.h"

namespace qx::storeadm {
namespace {

int RunICal(int argc, char** argv);

const Command kICal{"ical",
                    "<file or URL> | <postoffice> <mailbox> <folder> [--props NAME,...] [--json]",
                    "lists the events of an iCalendar file, feed or folder of type 5", RunICal};
const CommandRegistration kRegisterICal(kICal);

// A property as read: the reader's result and the value's bytes.
struct RawValue {
  int32_t result = 0;
  std::string bytes;
};

// The events of a calendar, one after another.
class EventSource {
 public:
  virtual ~EventSource() = default;
  virtual bool First() = 0;
  virtual bool Next() = 0;
  virtual RawValue Get(const std::string& name) = 0;
};

// A file or web address, read straight through the iCalendar reader.
class FeedSource : public EventSource {
 public:
  bool Open(const std::string& source) { return feed_.Open(source); }
  const std::string& error() const { return feed_.open_error(); }
  bool First() override { return feed_.FirstItem(); }
  bool Next() override { return feed_.NextItem(); }
  RawValue Get(const std::string& name) override {
    ICalPropertyValue value = ICal_GetProperty(feed_, name);
    return {value.result, std::move(value.bytes)};
  }

 private:
  ICalFeed feed_;
};

// A store folder of type 5, through the exported store-item interface.
class FolderSource : public EventSource {
 public:
  ~FolderSource() override { StoreFolder_Close(); }
  bool First() override { return StoreFolder_FindFirstItem() != 0; }
  bool Next() override { return StoreFolder_FindNextItem() != 0; }
  RawValue Get(const std::string& name) override {
    void* value = nullptr;
    uint32_t size = 0;
    RawValue raw;
    raw.result = StoreItem_GetProperty(name.c_str(), &value, &size);
    if (raw.result == 2 && value != nullptr) raw.bytes.assign(static_cast<const char*>(value), size);
    StoreItem_FreeProperty(value);
    return raw;
  }
};

struct Options {
  std::vector<std::string> positional;
  std::vector<std::string> properties;
  bool json = false;
};

template <typename T>
std::optional<T> Fixed(const RawValue& raw) {
  if (raw.result != 2 || raw.bytes.size() != sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, raw.bytes.data(), sizeof value);
  return value;
}

// A shown value: the text, whether it is a number (unquoted in JSON), or
// nothing for an absent value.
struct Shown {
  std::optional<std::string> text;
  bool is_number = false;
};

Shown ShowValue(const std::string& name, const RawValue& raw) {
  if (raw.result != 2) return {};
  const std::optional<ICalPropertyMapEntry> entry = ICal_MapProperty(name);
  const uint32_t type = entry ? entry->property_type : kValueText;
  switch (type) {
    case kValueInteger:
    case kValueBoolean:
    case kValueSensitivity: {
      const std::optional<int32_t> number = Fixed<int32_t>(raw);
      if (!number) return {};
      return {std::to_string(*number), true};
    }
    case kValueFileTime:
    case kValueAllDayDate: {
      const std::optional<uint64_t> file_time = Fixed<uint64_t>(raw);
      if (!file_time) return {};
      return {StoreDateTextFromFileTime(*file_time)};
    }
    case kValueUtf16:
      return {platform::Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(raw.bytes.data()),
                                      raw.bytes.size() >= 2 ? raw.bytes.size() - 2 : 0)};
    default: return {raw.bytes.empty() ? std::string() : raw.bytes.substr(0, raw.bytes.size() - 1)};
  }
}

std::string DayNames(int32_t mask) {
  static constexpr const char* kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
  std::string names;
  for (int day = 0; day < 7; ++day) {
    if ((mask & (1 << day)) == 0) continue;
    if (!names.empty()) names += ',';
    names += kDays[day];
  }
  return names;
}

const char* TypeName(int32_t type) {
  switch (type) {
    case 0: return "daily";
    case 1: return "weekly";
    case 2: return "monthly";
    case 3: return "monthly-nth";
    case 5: return "yearly";
    case 6: return "yearly-nth";
    default: return "unknown";
  }
}

// "weekly interval 1 days MO,WE count 10", or nothing for a single event.
std::optional<std::string> Recurrence(EventSource& source) {
  if (Fixed<int32_t>(source.Get("PR_BNP_IsRecurring")).value_or(0) == 0) return std::nullopt;
  auto number = [&source](const char* name) { return Fixed<int32_t>(source.Get(name)).value_or(0); };
  std::string text = TypeName(number("PR_BNP_RecurrenceType"));
  text += " interval " + std::to_string(number("PR_BNP_RecurrenceInterval"));
  if (const int32_t mask = number("PR_BNP_RecurrenceDayOfWeekMask")) text += " days " + DayNames(mask);
  if (const int32_t instance = number("PR_BNP_RecurrenceInstance")) {
    text += " instance " + std::to_string(instance);
  }
  if (const int32_t day = number("PR_BNP_RecurrenceDayOfMonth")) text += " day " + std::to_string(day);
  if (const int32_t month = number("PR_BNP_RecurrenceMonthOfYear")) {
    text += " month " + std::to_string(month);
  }
  if (const int32_t count = number("PR_BNP_Occurrences")) text += " count " + std::to_string(count);
  const uint64_t until = Fixed<uint64_t>(source.Get("PR_BNP_PatternEndDate")).value_or(0);
  if (until != 0) text += " until " + StoreDateTextFromFileTime(until).value_or("?");
  return text;
}

struct Column {
  std::string label;
  Shown value;
};

std::vector<Column> EventColumns(EventSource& source, const Options& options) {
  std::vector<Column> columns;
  if (!options.properties.empty()) {
    for (const std::string& name : options.properties) columns.push_back({name, ShowValue(name, source.Get(name))});
    return columns;
  }
  for (const auto& [label, name] : {std::pair{"start", "PR_START_DATE"}, {"end", "PR_END_DATE"},
                                    {"subject", "PR_SUBJECT"}, {"location", "PR_LOCATION"}}) {
    columns.push_back({label, ShowValue(name, source.Get(name))});
  }
  columns.push_back({"recurrence", {Recurrence(source)}});
  return columns;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

void PrintEvent(const std::vector<Column>& columns, bool json, bool first) {
  std::string line;
  for (size_t i = 0; i < columns.size(); ++i) {
    const Shown& value = columns[i].value;
    if (json) {
      line += (i > 0 ? ", " : "") + JsonString(columns[i].label) + ": ";
      line += !value.text ? "null" : value.is_number ? *value.text : JsonString(*value.text);
    } else {
      line += (i > 0 ? "\t" : "") + (value.text ? OneLine(*value.text) : std::string("-"));
    }
  }
  if (json) {
    std::printf("%s\n  {%s}", first ? "" : ",", line.c_str());
  } else {
    std::printf("%s\n", line.c_str());
  }
}

bool ParseOptions(int argc, char** argv, Options* options, int* exit_code) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--props") == 0 && i + 1 < argc) {
      options->properties = SplitNames(argv[++i]);
      for (const std::string& name : options->properties) {
        if (!ICal_MapProperty(name)) {
          *exit_code = UsageError(kICal, (name + " is not an iCalendar property").c_str());
          return false;
        }
      }
    } else if (std::strcmp(argv[i], "--json") == 0) {
      options->json = true;
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      *exit_code = UsageError(kICal, (std::string("unexpected argument ") + argv[i]).c_str());
      return false;
    } else {
      options->positional.push_back(argv[i]);
    }
  }
  if (options->positional.size() != 1 && options->positional.size() != 3) {
    *exit_code = UsageError(kICal, "expected a file or URL, or a postoffice, a mailbox and a folder");
    return false;
  }
  return true;
}

std::unique_ptr<EventSource> OpenSource(const Options& options) {
  const std::vector<std::string>& names = options.positional;
  if (names.size() == 1) {
    auto feed = std::make_unique<FeedSource>();
    if (feed->Open(names[0])) return feed;
    std::fprintf(stderr, "storeadm: %s cannot be read: %s\n", names[0].c_str(), feed->error().c_str());
    return nullptr;
  }
  if (StoreFolder_Open(names[0].c_str(), names[1].c_str(), names[2].c_str(), 5, 1) == 0) {
    StoreFolder_Close();
    std::fprintf(stderr, "storeadm: folder %s of %s/%s cannot be read as a calendar\n", names[2].c_str(),
                 names[0].c_str(), names[1].c_str());
    return nullptr;
  }
  return std::make_unique<FolderSource>();
}

int RunICal(int argc, char** argv) {
  Options options;
  int exit_code = kExitOk;
  if (!ParseOptions(argc, argv, &options, &exit_code)) return exit_code;
  // The reader's diagnostic lines (a zone rule it cannot use) go to standard
  // error unless asked for elsewhere, so that the listing stays parseable.
  if (std::getenv("QXSTORE_DIAG") == nullptr) {
    setenv("QXSTORE_DIAG", "stderr", 0);
    platform::ReloadDiagnosticsSettings();
  }
  std::unique_ptr<EventSource> source = OpenSource(options);
  if (!source) return kExitFailure;
  size_t count = 0;
  if (options.json) std::printf("[");
  for (bool found = source->First(); found; found = source->Next()) {
    PrintEvent(EventColumns(*source, options), options.json, count == 0);
    ++count;
  }
  if (options.json) std::printf("%s]\n", count == 0 ? "" : "\n");
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
