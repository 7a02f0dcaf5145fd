#pragma once
// The buckets of a mailbox's calendar provider files. Every appointment is
// filed in one provider file of its mailbox's Calendar folder, named by a
// bucket key that the appointment's dates give, so that the appointments
// of a year, a month or a day are found without reading messages:
//
//   in <mail root>\<postoffice>\MAILROOT\<mailbox>\Calendar:
//     <key>.CAL   the provider file          <key>.TMP  its rewrite in progress
//     <key>.BAK   the content before the last rewrite
//     <key>.OLD   the backup before that     <key>.BLK  the bucket's block file
//     _CHANGE.DTY raised after every change
//
// The block file is a resource block (common/block_files.h) whose name is
// "<postoffice>\MAILROOT\<mailbox>\Calendar\<key>" below the block base.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// The bucket key of an appointment from its start and end in Unix seconds,
// both read as UTC dates, years counted from 2000 (so a year before 2000
// gives a negative number): "Y%02dM%02dD%02d" when both fall on one day
// ("Y11M03D15"), "Y%02dM%02d" in one month ("Y11M03"), "Y%d" in one year,
// unpadded ("Y11", "Y5"), and "Y" otherwise. Never depends on the process's
// time zone.
std::string AppointmentBucketKey(int64_t start, int64_t end);

// The keys a day's appointments may be filed under, widest first: "Y", the
// year's, the month's and the day's. `year` is the full year.
struct DayBuckets {
  std::string all;
  std::string year;
  std::string month;
  std::string day;
};
DayBuckets BucketsOfDay(int64_t year, unsigned month, unsigned day);

// One bucket of one mailbox's calendar.
struct CalendarBucket {
  std::string postoffice;
  std::string mailbox;
  std::string key;
};

// True when the bucket names a provider file inside the store: postoffice,
// mailbox and key are plain names (no separator, not "." or ".."), and the
// key is not empty.
bool IsStoreBucket(const CalendarBucket& bucket);

// The Calendar folder of a mailbox,
// "<mail root>\<postoffice>\MAILROOT\<mailbox>\Calendar"; empty when it
// does not fit a store path.
std::string CalendarDirectory(std::string_view postoffice, std::string_view mailbox);

// The bucket's resource name below the block base,
// "<postoffice>\MAILROOT\<mailbox>\Calendar\<key>".
std::string BucketResourceName(const CalendarBucket& bucket);

// True when `name` ("Y11M03.CAL", any case) is a provider file's name:
// it begins with 'Y' and ends with ".CAL".
bool IsProviderFileName(std::string_view name);

}  // namespace qx
