// Property types and the conversions between stored text and the values
// callers receive and hand over, with the cases a looser conversion gets
// wrong.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "qxstore.h"
#include "store/property_map.h"
#include "store/property_values.h"

namespace qx {
namespace {

template <typename T>
std::optional<T> Read(const char* stored, uint32_t caller_type) {
  std::optional<std::string> bytes = CallerBytesFromStored(stored, caller_type);
  if (!bytes || bytes->size() != sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes->data(), sizeof value);
  return value;
}

template <typename T>
std::string Stored(T value, uint32_t caller_type) {
  return StoredTextFromCaller(&value, caller_type).value_or("<none>");
}

uint64_t FileTimeOf(int32_t unix_seconds) {
  FILETIME file_time{};
  UnixTimeToFileTime(unix_seconds, &file_time);
  uint64_t ticks = 0;
  std::memcpy(&ticks, &file_time, sizeof ticks);
  return ticks;
}

TEST(PropertyTypesTest, EachFolderTypeAnswersFromItsTableAndOthersTryThreeTables) {
  EXPECT_EQ(StoreItemProperty_GetType("PR_BNP_PercentComplete", 3), 9u);
  EXPECT_EQ(StoreItemProperty_GetType("PR_BIRTHDAY", 1), 3u);
  EXPECT_EQ(StoreItemProperty_GetType("PR_BNP_PercentComplete", 2), 1u);
  EXPECT_EQ(StoreItemProperty_GetType("pr_sensitivity", 0), 7u);
  EXPECT_EQ(StoreItemProperty_GetType("PR_BNP_vCalendar_UNICODE", 2), 15u);
  EXPECT_EQ(StoreItemProperty_GetType("PR_LAST_MODIFIED_DATE", 4), 3u);
  // The common entries answer first, before the contact form of the ID.
  EXPECT_EQ(StoreItemProperty_GetType("QX_ITEM_ID", 1), 8u);
  EXPECT_EQ(StoreItemProperty_GetType("QX_ITEM_CLASS", 4), 7u);
  // Context properties belong to no table.
  EXPECT_EQ(StoreItemProperty_GetType("QX_MAILBOX", 0), 1u);
  // Other types: messages, then contacts, then appointments; never tasks.
  EXPECT_EQ(StoreItemProperty_GetType("PR_NOTE_UNICODE", 5), 14u);
  EXPECT_EQ(StoreItemProperty_GetType("PR_BNP_AllDayEvent", 54), 10u);
  EXPECT_EQ(StoreItemProperty_GetType("PR_BNP_PercentComplete", 5), 0u);
  EXPECT_EQ(StoreItemProperty_GetType(nullptr, 5), 0u);

  const std::optional<PropertyMapEntry> icq = LookupProperty(1, "PR_ICQ");
  ASSERT_TRUE(icq);
  EXPECT_EQ(icq->field, "IM_TYPE=ICQ");
  EXPECT_EQ(LookupProperty(1, "PR_COUNTRY")->component, 7u);
  EXPECT_EQ(LookupProperty(0, "QX_ITEM_ID")->component, 1u);
  EXPECT_EQ(LookupProperty(4, "PR_CREATED_DATE")->stored_type, static_cast<uint32_t>(kValueStoreDate));
}

TEST(PropertyValuesTest, NumbersReadAndWriteAsTheSystemDid) {
  // Integers: leading blanks and a sign, digits up to the first other byte,
  // held at the 32-bit limits.
  EXPECT_EQ(Read<int32_t>("  -42abc", kValueInteger), -42);
  EXPECT_EQ(Read<int32_t>("+17", kValueInteger), 17);
  EXPECT_EQ(Read<int32_t>("3000000000", kValueInteger), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(Read<int32_t>("-3000000000", kValueInteger), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(Read<int32_t>("file", kValueInteger), 0);
  EXPECT_EQ(Stored<int32_t>(-7, kValueInteger), "-7");

  // Doubles are stored ten wide with two decimals.
  EXPECT_EQ(Stored<double>(42.5, kValueDouble), "     42.50");
  EXPECT_EQ(Stored<double>(1234567.891, kValueDouble), "1234567.89");
  EXPECT_EQ(Stored<double>(-0.004, kValueDouble), "     -0.00");
  EXPECT_EQ(Read<double>("     42.50", kValueDouble), 42.5);
  EXPECT_EQ(Read<double>("1e3", kValueDouble), 1000.0);

  // Booleans: "TRUE" in any case or exactly "1".
  for (const char* yes : {"TRUE", "true", "1"}) EXPECT_EQ(Read<int32_t>(yes, kValueBoolean), 1) << yes;
  for (const char* no : {"10", "yes", " 1", "", "FALSE"}) {
    EXPECT_EQ(Read<int32_t>(no, kValueBoolean), 0) << no;
  }
  EXPECT_EQ(Stored<int32_t>(5, kValueBoolean), "1");
  EXPECT_EQ(Stored<int32_t>(0, kValueBoolean), "0");

  // Sensitivity: PRIVATE is 2, not the next number after PUBLIC.
  EXPECT_EQ(Read<int32_t>("PUBLIC", kValueSensitivity), 0);
  EXPECT_EQ(Read<int32_t>("PRIVATE", kValueSensitivity), 2);
  EXPECT_EQ(Read<int32_t>("private", kValueSensitivity), 2);
  EXPECT_EQ(Read<int32_t>("CONFIDENTIAL", kValueSensitivity), 3);
  EXPECT_EQ(Read<int32_t>("SECRET", kValueSensitivity), 0);
  EXPECT_EQ(Stored<int32_t>(2, kValueSensitivity), "PRIVATE");
  EXPECT_EQ(Stored<int32_t>(3, kValueSensitivity), "CONFIDENTIAL");
  EXPECT_EQ(Stored<int32_t>(1, kValueSensitivity), "PUBLIC");
}

TEST(PropertyValuesTest, TimesAndTextsConvertBothWays) {
  const uint64_t eleven = FileTimeOf(1298977200);  // 2011-03-01T11:00:00 UTC
  EXPECT_EQ(Read<uint64_t>("2011-03-01T11:00:00", kValueFileTime), eleven);
  EXPECT_FALSE(Read<uint64_t>("2011-03-01T11:00", kValueFileTime));
  EXPECT_FALSE(Read<uint64_t>("2011-02-30T11:00:00", kValueFileTime));
  EXPECT_EQ(Stored<uint64_t>(eleven + 9999999, kValueFileTime), "2011-03-01T11:00:00");
  // A file time kept as a FILETIME keeps its ticks; kept as text, whole seconds.
  EXPECT_EQ(CallerBytesFromFileTime(eleven + 1234567, kValueFileTime), FileTimeBytes(eleven + 1234567));
  EXPECT_EQ(CallerBytesFromFileTime(eleven + 1234567, kValueStoreDate), FileTimeBytes(eleven));

  // Text comes with its NUL; the note and calendar forms are copied as they are.
  EXPECT_EQ(CallerBytesFromStored("abc", kValueText), std::string("abc", 4));
  EXPECT_EQ(CallerBytesFromStored("=C3=A9", kValueNoteText), std::string("=C3=A9", 7));
  EXPECT_EQ(CallerBytesFromStored("x", 2), std::nullopt);

  // UTF-16: a pair of surrogates for characters beyond 16 bits, U+FFFD for
  // a byte that is no UTF-8, two NUL bytes at the end.
  EXPECT_EQ(CallerBytesFromStored("\xC3\xA9\xF0\x9F\x98\x80\xFF", kValueUtf16),
            std::string("\xE9\x00\x3D\xD8\x00\xDE\xFD\xFF\x00\x00", 10));
  const char16_t wide[] = u"caf\u00E9 \U0001F600";
  EXPECT_EQ(StoredTextFromCaller(wide, kValueUtf16), "caf\xC3\xA9 \xF0\x9F\x98\x80");
  EXPECT_EQ(StoredTextFromCaller(nullptr, kValueText), std::nullopt);
}

}  // namespace
}  // namespace qx
