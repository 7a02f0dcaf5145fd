#pragma once
// The operations on one bucket of a mailbox's calendar provider files
// (calendar_bucket.h): adding, removing, replacing and finding entries.
//
// Writers serialise per bucket through its block file: they take it
// (waiting up to "Write Wait Timeout" seconds, then breaking a block left
// by a dead writer), read "<key>.CAL", write "<key>.TMP" with its data
// synced, commit it (calendar_file_commit.h, which releases the block) and
// raise the Calendar folder's change flag. Every line a writer keeps is
// written anew as "%d\t%d\t%s". Readers never take the block: they wait
// for it to go (up to "Read Wait Timeout" seconds) and read the file as it
// is.
//
// Every operation first creates the Calendar folder when it is missing and
// fails (0, or nothing) at once for a bucket that is not IsStoreBucket.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "pim/calendar_bucket.h"
#include "pim/provider_file_format.h"
#include "platform/file.h"

namespace qx {

// Adds `entry` unless a line with its identifier is there (with an empty
// identifier: unless the file has any line); the file is created when
// missing. 1 when added; 0 when present, or when the block, the file or the
// temporary could not be had (the file is then unchanged).
uint32_t AddProviderEntry(const CalendarBucket& bucket, const ProviderEntry& entry);

// Removes every line of `identifier` (every line when it is empty); the
// file is deleted when no line is left. 1 when a line was removed; 0
// otherwise, also when the file does not exist.
uint32_t RemoveProviderEntries(const CalendarBucket& bucket, std::string_view identifier);

// Replaces the start, end and identifier of every line of `old_identifier`
// (every line when it is empty) by `replacement`'s, in this bucket whatever
// bucket the new times would give. 1 when the file was rewritten; 0 when it
// does not exist or could not be rewritten.
uint32_t EditProviderEntries(const CalendarBucket& bucket, std::string_view old_identifier,
                             const ProviderEntry& replacement);

// The last line of `identifier` (any line for an empty one), after waiting
// for the bucket's block; nothing when none matches or there is no file.
std::optional<ProviderEntry> GetProviderEntry(const CalendarBucket& bucket,
                                              std::string_view identifier);

// Every line of the bucket's file, after waiting for its block; nothing
// when the file does not exist or cannot be read.
std::optional<std::vector<ProviderLine>> ReadProviderLines(const CalendarBucket& bucket);

// The same for a caller that keeps the bucket's Calendar folder open (a
// rebuild reads every bucket of it): the file is opened by its name in
// `folder`, and the folder is not made.
std::optional<std::vector<ProviderLine>> ReadProviderLines(const CalendarBucket& bucket,
                                                           const platform::Directory& folder);

// Writes the Calendar folder's change flag "_CHANGE.DTY", which tells the
// server's other programs that the calendar changed.
void RaiseCalendarChangeFlag(std::string_view postoffice, std::string_view mailbox);

}  // namespace qx
