#include "pim/calendar_check.h"

#include <algorithm>
#include <map>
#include <optional>

#include "folder/folder_files.h"
#include "folder/folder_types.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "pim/appointment_headers.h"
#include "pim/appointment_index.h"
#include "pim/appointment_rebuild.h"
#include "pim/calendar_bucket.h"
#include "pim/provider_operations.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EndsWithNoCase;
using platform::UpperCased;

namespace {

struct Filing {
  std::string bucket;
  ProviderEntry entry;
};

// What the calendar holds for one appointment.
struct Appointment {
  std::string identifier;  // as spelled by the message, else the index or a provider file
  bool has_message = false;
  AppointmentTimes times;
  std::optional<std::pair<int32_t, int32_t>> indexed;  // the element's start and end
  int elements = 0;
  std::vector<Filing> filings;
};

struct Calendar {
  std::string directory;
  bool index_loads = false;
  std::map<std::string, Appointment> by_key;  // the identifier in upper case

  Appointment& At(const std::string& identifier) {
    Appointment& appointment = by_key[UpperCased(identifier)];
    if (appointment.identifier.empty()) appointment.identifier = identifier;
    return appointment;
  }
};

bool IsProviderCompanion(std::string_view name) {
  if (name.empty() || !platform::SameNoCase(name.front(), 'Y')) return false;
  for (std::string_view extension : {".CAL", ".TMP", ".BAK", ".OLD", ".BLK"}) {
    if (EndsWithNoCase(name, extension)) return true;
  }
  return false;
}

bool HasBothTimes(const AppointmentTimes& times) { return times.start && times.finish; }

std::string ExpectedBucket(const AppointmentTimes& times) {
  return AppointmentBucketKey(*times.start, *times.finish);
}

Calendar ReadCalendar(std::string_view postoffice, std::string_view mailbox) {
  Calendar calendar;
  calendar.directory = CalendarDirectory(postoffice, mailbox);
  for (platform::Listing listing = platform::Listing::Open(FolderFilePath(calendar.directory, "*"));
       listing.valid(); listing.Next()) {
    const platform::FindData& found = listing.current();
    const std::string& name = found.name;
    if ((found.attributes & platform::kAttributeDirectory) != 0 || name.empty()) continue;
    if (name.front() == '_' || name.front() == '.') continue;
    if (IsProviderFileName(name)) {
      const std::string key = name.substr(0, name.find('.'));
      const auto lines = ReadProviderLines({std::string(postoffice), std::string(mailbox), key});
      for (const ProviderLine& line : lines.value_or(std::vector<ProviderLine>{})) {
        calendar.At(line.entry.identifier).filings.push_back({key, line.entry});
      }
      continue;
    }
    if (IsProviderCompanion(name)) continue;
    Appointment& appointment = calendar.At(name);
    appointment.identifier = name;
    appointment.has_message = true;
    appointment.times = ReadAppointmentTimes(JoinStorePath(calendar.directory, name));
  }
  const XmlDocument index = XmlDocument::New();
  calendar.index_loads = LoadDocumentFile(index, FolderFilePath(calendar.directory, kIndexFileName));
  for (pugi::xml_node element = index.DocumentElement().first_child(); element;
       element = element.next_sibling()) {
    const char* id = AttributeValue(element, kIdAttribute);
    if (id == nullptr) continue;
    Appointment& appointment = calendar.At(id);
    ++appointment.elements;
    appointment.indexed = std::make_pair(ElementStart(element), ElementEnd(element));
  }
  return calendar;
}

void CheckAppointment(const Appointment& appointment, std::vector<CalendarProblem>* problems) {
  const auto report = [&](std::string description) {
    problems->push_back({appointment.identifier, std::move(description)});
  };
  if (!appointment.has_message) {
    if (appointment.elements > 0) report("indexed, but there is no message");
    for (const Filing& filing : appointment.filings) report("filed in " + filing.bucket + ", but there is no message");
    return;
  }
  if (appointment.elements == 0) report("not indexed");
  if (appointment.elements > 1) report("indexed " + std::to_string(appointment.elements) + " times");
  if (!HasBothTimes(appointment.times)) {
    report("the message has no X-StartTime or no X-FinishTime");
    return;
  }
  const int64_t start = *appointment.times.start;
  const int64_t finish = *appointment.times.finish;
  if (appointment.indexed && (appointment.indexed->first != start || appointment.indexed->second != finish)) {
    report("the index holds other times than the message");
  }
  const std::string bucket = ExpectedBucket(appointment.times);
  if (appointment.filings.empty()) report("not filed in " + bucket);
  for (const Filing& filing : appointment.filings) {
    if (filing.bucket != bucket) {
      report("filed in " + filing.bucket + " instead of " + bucket);
    } else if (filing.entry.start != start || filing.entry.end != finish) {
      report("filed in " + bucket + " with other times than the message");
    }
  }
  if (appointment.filings.size() > 1) report("filed " + std::to_string(appointment.filings.size()) + " times");
}

bool IsFiledRightly(const Appointment& appointment) {
  if (!appointment.has_message || !HasBothTimes(appointment.times) || appointment.filings.size() != 1) {
    return false;
  }
  const Filing& filing = appointment.filings.front();
  return filing.bucket == ExpectedBucket(appointment.times) && filing.entry.start == *appointment.times.start &&
         filing.entry.end == *appointment.times.finish;
}

void RefileAppointment(std::string_view postoffice, std::string_view mailbox, const Appointment& appointment) {
  if (IsFiledRightly(appointment)) return;
  for (const Filing& filing : appointment.filings) {
    RemoveProviderEntries({std::string(postoffice), std::string(mailbox), filing.bucket}, filing.entry.identifier);
  }
  if (!appointment.has_message || !HasBothTimes(appointment.times)) return;
  const ProviderEntry entry{static_cast<int32_t>(*appointment.times.start),
                            static_cast<int32_t>(*appointment.times.finish), appointment.identifier};
  AddProviderEntry({std::string(postoffice), std::string(mailbox), ExpectedBucket(appointment.times)}, entry);
}

// Lines without an identifier (text that was never an entry) can only go
// with their whole bucket, which removing the empty identifier empties: the
// other entries there are filed again afterwards.
void ClearBucketsWithoutIdentifiers(std::string_view postoffice, std::string_view mailbox,
                                    Calendar* calendar) {
  const auto unnamed = calendar->by_key.find("");
  if (unnamed == calendar->by_key.end()) return;
  std::vector<std::string> cleared;
  for (const Filing& filing : unnamed->second.filings) {
    if (std::find(cleared.begin(), cleared.end(), filing.bucket) != cleared.end()) continue;
    RemoveProviderEntries({std::string(postoffice), std::string(mailbox), filing.bucket}, "");
    cleared.push_back(filing.bucket);
  }
  calendar->by_key.erase(unnamed);
  for (auto& [key, appointment] : calendar->by_key) {
    std::erase_if(appointment.filings, [&](const Filing& filing) {
      return std::find(cleared.begin(), cleared.end(), filing.bucket) != cleared.end();
    });
  }
}

bool RebuildIndexFromMessages(std::string_view postoffice, std::string_view mailbox, const Calendar& calendar) {
  const XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document || !InitializeIndexDocument(document)) return false;
  const pugi::xml_node root = document.DocumentElement();
  for (const auto& [key, appointment] : calendar.by_key) {
    if (!appointment.has_message) continue;
    const ProviderEntry entry{static_cast<int32_t>(appointment.times.start.value_or(0)),
                              static_cast<int32_t>(appointment.times.finish.value_or(0)),
                              appointment.identifier};
    BuildAppointmentElement(root, entry, JoinStorePath(calendar.directory, appointment.identifier));
  }
  StoreIndex index;
  InitStoreIndex(&index);
  SetStoreIndexNames(&index, std::string(postoffice).c_str(), std::string(mailbox).c_str(), "Calendar");
  index.folder_type = kFolderTypeCalendar;
  SetStoreIndexPaths(&index);
  const bool saved = CommitCalendarIndex(&index, document, 0);
  ReleaseStoreIndex(&index);
  return saved;
}

}  // namespace

std::vector<CalendarProblem> CheckCalendar(std::string_view postoffice, std::string_view mailbox) {
  std::vector<CalendarProblem> problems;
  if (!IsStoreBucket({std::string(postoffice), std::string(mailbox), "Y"})) {
    problems.push_back({"", "the postoffice or mailbox name is not a plain name"});
    return problems;
  }
  const Calendar calendar = ReadCalendar(postoffice, mailbox);
  if (!calendar.index_loads) problems.push_back({"", "the index does not load"});
  for (const auto& [key, appointment] : calendar.by_key) CheckAppointment(appointment, &problems);
  return problems;
}

bool RepairCalendar(std::string_view postoffice, std::string_view mailbox) {
  if (!IsStoreBucket({std::string(postoffice), std::string(mailbox), "Y"})) return false;
  Calendar calendar = ReadCalendar(postoffice, mailbox);
  ClearBucketsWithoutIdentifiers(postoffice, mailbox, &calendar);
  for (const auto& [key, appointment] : calendar.by_key) RefileAppointment(postoffice, mailbox, appointment);
  return RebuildIndexFromMessages(postoffice, mailbox, calendar);
}

}  // namespace qx
