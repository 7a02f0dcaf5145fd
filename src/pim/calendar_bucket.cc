#include "pim/calendar_bucket.h"

#include <cstdio>

#include "frame/store_paths.h"
#include "message/item_file_name.h"
#include "platform/civil_date.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

constexpr int64_t kBucketEpochYear = 2000;

platform::CivilDate UtcDateOf(int64_t unix_seconds) {
  return platform::CivilFromDays(platform::SplitUnixSeconds(unix_seconds).days);
}

std::string Format(const char* format, int64_t year, unsigned month = 0, unsigned day = 0) {
  char key[64];
  std::snprintf(key, sizeof key, format, static_cast<long long>(year - kBucketEpochYear), month, day);
  return key;
}

}  // namespace

std::string AppointmentBucketKey(int64_t start, int64_t end) {
  const platform::CivilDate first = UtcDateOf(start);
  const platform::CivilDate last = UtcDateOf(end);
  if (first.year != last.year) return "Y";
  if (first.month != last.month) return Format("Y%lld", first.year);
  if (first.day != last.day) return Format("Y%02lldM%02u", first.year, first.month);
  return Format("Y%02lldM%02uD%02u", first.year, first.month, first.day);
}

DayBuckets BucketsOfDay(int64_t year, unsigned month, unsigned day) {
  return {"Y", Format("Y%lld", year), Format("Y%02lldM%02u", year, month),
          Format("Y%02lldM%02uD%02u", year, month, day)};
}

bool IsStoreBucket(const CalendarBucket& bucket) {
  return IsPlainFileName(bucket.postoffice) && IsPlainFileName(bucket.mailbox) &&
         IsPlainFileName(bucket.key);
}

std::string CalendarDirectory(std::string_view postoffice, std::string_view mailbox) {
  const std::string mailbox_directory =
      MailboxDirectory(std::string(postoffice).c_str(), std::string(mailbox).c_str());
  if (mailbox_directory.empty()) return {};
  return JoinStorePathWithin(mailbox_directory, "Calendar", kStorePathSize);
}

std::string BucketResourceName(const CalendarBucket& bucket) {
  std::string name = JoinStorePath(bucket.postoffice, "MAILROOT");
  name = JoinStorePath(name, bucket.mailbox);
  name = JoinStorePath(name, "Calendar");
  return JoinStorePath(name, bucket.key);
}

bool IsProviderFileName(std::string_view name) {
  return !name.empty() && platform::SameNoCase(name.front(), 'Y') &&
         platform::EndsWithNoCase(name, ".CAL");
}

}  // namespace qx
