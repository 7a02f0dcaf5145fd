#include "store/property_map.h"
#include "platform/text_compare.h"

#include <array>
#include <iterator>
#include <unordered_map>


namespace qx {

using platform::EqualsNoCase;

namespace {

constexpr uint32_t T = kValueText;
constexpr uint32_t kIndex = kSourceIndexField;
constexpr uint32_t kContent = kSourceContent;

// A row of a table whose entries carry component 0 (appointments, tasks,
// files).
constexpr PropertyMapEntry Row(std::string_view property, std::string_view field,
                               uint32_t caller = T, uint32_t stored = T, uint32_t source = kIndex) {
  return {property, field, 0, caller, stored, source};
}

// A row of the message and contact tables: component 1 unless given.
constexpr PropertyMapEntry Row1(std::string_view property, std::string_view field,
                                uint32_t caller = T, uint32_t stored = T,
                                uint32_t source = kIndex, uint32_t component = 1) {
  return {property, field, component, caller, stored, source};
}

constexpr PropertyMapEntry kCommonEntries[] = {
    Row("QX_ITEM_ID", kIdField, kValueText, kValueText),
    Row("QX_ITEM_CLASS", kClassField, kValueInteger, kValuePlainText),
    Row("QX_ITEM_MODIFIEDDATE", "MODIFIEDDATE", kValueInteger, kValuePlainText),
};

constexpr PropertyMapEntry kMessageTable[] = {
    Row1("PR_QX_MODIFIEDDATE", "MODIFIEDDATE"),
    Row1("PR_QX_MESSAGEDATE", "MESSAGEDATE"),
    Row1("PR_QX_IMPORTANCE", "IMPORTANCE"),
    Row1("PR_SENSITIVITY", "SENSITIVITY", kValueInteger, T),
    Row1("PR_QX_FLAGSTATUS", "FLAGSTATUS"),
    Row1("PR_QX_ATTACHMENTS", "ATTACHMENTS"),
    Row1("PR_QX_FROM", "FROM"),
    Row1("PR_QX_TO", "TO"),
    Row1("PR_QX_CC", "CC"),
    Row1("PR_SUBJECT", "SUBJECT"),
    Row1("PR_QX_RECEIVED", "RECEIVED"),
    Row1("PR_QX_READ", "READ"),
    Row1("PR_QX_STATE", "STATE"),
    Row1("PR_QX_SIZE", "SIZE"),
    Row1("PR_QX_CLASS", "CLASS"),
};

// Fields are vCard property names as the contact index keeps them. The
// contact form of QX_ITEM_ID is answered by the common entry first.
constexpr PropertyMapEntry kContactTable[] = {
    Row1("QX_ITEM_ID", "ID", kValueInteger, kValueInteger),
    Row1("QX_MODIFIED_DATE", "MODIFIEDDATE", kValueInteger),
    Row1("PR_SENSITIVITY", "SENSITIVITY", kValueInteger),
    Row1("PR_COMPANY_NAME", "ORG", T, T, kIndex, 1),
    Row1("PR_EMAIL_ADDRESS", "EMAIL_PREF_INTERNET"),
    Row1("PR_BNP_Email1Address", "EMAIL_PREF_INTERNET"),
    Row1("PR_DEPARTMENT_NAME", "ORG", T, T, kIndex, 2),
    Row1("PR_DISPLAY_NAME", "FN"),
    Row1("PR_NICKNAME", "NICKNAME"),
    Row1("PR_NICKNAME_X", "X-EPOCSECONDNAME"),
    Row1("PR_DISPLAY_NAME_PREFIX", "N", T, T, kIndex, 4),
    Row1("PR_NOTE_UNICODE", "NOTE", kValueNoteText, T, kContent),
    Row1("PR_NOTE", "NOTE", T, T, kContent),
    Row1("PR_BNP_VCARD", "VCARD", T, T, kContent),
    Row1("PR_GIVEN_NAME", "N", T, T, kIndex, 2),
    Row1("PR_MIDDLE_NAME", "N", T, T, kIndex, 3),
    Row1("PR_NORMALIZED_SUBJECT", "FN"),
    Row1("PR_SUBJECT", "FN"),
    Row1("PR_SURNAME", "N", T, T, kIndex, 1),
    Row1("PR_TITLE", "TITLE"),
    Row1("PR_CELLULAR_TELEPHONE_NUMBER", "TEL_CELL_VOICE"),
    Row1("PR_HOME_TELEPHONE_NUMBER", "TEL_HOME_VOICE"),
    Row1("PR_OFFICE_TELEPHONE_NUMBER", "TEL_WORK_VOICE"),
    Row1("PR_STREET_ADDRESS", "ADR_WORK", T, T, kIndex, 3),
    Row1("PR_LOCALITY", "ADR_WORK", T, T, kIndex, 4),
    Row1("PR_STATE_OR_PROVINCE", "ADR_WORK", T, T, kIndex, 5),
    Row1("PR_POSTAL_CODE", "ADR_WORK", T, T, kIndex, 6),
    Row1("PR_COUNTRY", "ADR_WORK", T, T, kIndex, 7),
    Row1("PR_PAGER_TELEPHONE_NUMBER", "TEL_PAGER_VOICE"),
    Row1("PR_BUSINESS_FAX_NUMBER", "TEL_WORK_FAX"),
    Row1("PR_BUSINESS_HOME_PAGE", "URL_WORK"),
    Row1("PR_BIRTHDAY", "BDAY", kValueFileTime, kValueBirthdayText),
    Row1("PR_ASSISTANT", "AGENT"),
    Row1("PR_MSMESSENGER", "IM_TYPE-MSMESSENGER"),
    Row1("PR_ATTACHMENT_CONTACTPHOTO", "PHOTO", T, T, kContent),
    Row1("PR_YAHOOMESSENGER", "IM_TYPE-YAHOOMESSENGER"),
    Row1("PR_AIM", "IM_TYPE-AIM"),
    Row1("PR_ICQ", "IM_TYPE=ICQ"),
    Row1("PR_FTMESSAGER", "IM_TYPE-FTMESSAGER"),
    Row1("PR_ODIGO", "IM_TYPE-ODIGO"),
    Row1("PR_POWWOW", "IM_TYPE-POWWOW"),
    Row1("PR_REVISION", "REV"),
};

constexpr uint32_t I = kValueInteger;
constexpr uint32_t P = kValuePlainText;
constexpr uint32_t F = kValueFileTime;
constexpr uint32_t D = kValueStoreDate;

constexpr PropertyMapEntry kAppointmentTable[] = {
    Row("PR_SUBJECT", "SUBJECT"),
    Row("PR_START_DATE_TIMEZONE_NAME", "TZSTART"),
    Row("PR_SENSITIVITY", "SENSITIVITY", I, P),
    Row("PR_SENT_REPRESENTING_NAME", "SENDERNAME"),
    Row("PR_SENT_REPRESENTING_EMAIL_ADDRESS", "SENDERADDRESS"),
    Row("PR_START_DATE", "STARTIME", F, D),
    Row("PR_BNP_Start", "STARTIME", F, D),
    Row("PR_BNP_End", "FINISHTIME", F, D),
    Row("PR_END_DATE", "FINISHTIME", F, D),
    Row("PR_LOCATION", "LOCATION"),
    Row("PR_BNP_AllDayEvent", "ALLDAYEVENT", kValueBoolean, P),
    Row("PR_BNP_ReminderSet", "REMINDERSET", I, P),
    Row("PR_BNP_ReminderMinutesBeforeStart", "REMINDERMINUTESBEFORESTART", I, P),
    Row("PR_BNP_Importance", "IMPORTANCE", I, P),
    Row("PR_BNP_BusyStatus", "BUSYSTATUS", I, P),
    Row("PR_BNP_X-EPOCAGENDAENTRYTYPE", "X-EPOCAGENDAENTRYTYPE"),
    Row("PR_ATTENDEES", "ATTENDEES"),
    Row("PR_BNP_AppointmentUID", "APPOINTMENTUID"),
    Row("PR_OPTIONAL_ATTENDEES", "OPTIONALATTENDEES"),
    Row("PR_RESOURCES", "RESOURCES"),
    Row("PR_CLASS", "CLASS"),
    Row("PR_BNP_IsRecurring", "ISRECURRING", I, P),
    Row("PR_BNP_RecurrenceType", "RECURRENCETYPE", I, P),
    Row("PR_BNP_RecurrenceState", "RECURRENCESTATE", I, P),
    Row("PR_BNP_RecurrenceInstance", "RECURRENCEINSTANCE", I, P),
    Row("PR_BNP_RecurrenceInterval", "RECURRENCEINTERVAL", I, P),
    Row("PR_BNP_Occurrences", "OCCURRENCES", I, P),
    Row("PR_BNP_PatternStartDate", "PATTERNSTARTDATE", F, D),
    Row("PR_BNP_PatternEndDate", "PATTERNENDDATE", F, D),
    Row("PR_BNP_NoEndDate", "NOENDDATE", I, P),
    Row("PR_BNP_RecurrenceDayOfMonth", "RECURRENCEDAYOFMONTH", I, P),
    Row("PR_BNP_RecurrenceDayOfWeekMask", "RECURRENCEDAYOFWEEKMASK", I, P),
    Row("PR_BNP_RecurrenceMonthOfYear", "RECURRENCEMONTHOFYEAR", I, P),
    Row("PR_BODY", "BODY", T, T, kContent),
    Row("PR_BNP_vCalendar", "VCALENDAR", T, T, kContent),
    Row("PR_BNP_vCalendar_UNICODE", "VCALENDAR", kValueCalendarText, P, kContent),
};

constexpr PropertyMapEntry kTaskTable[] = {
    Row("PR_SUBJECT", "SUBJECT"),
    Row("PR_SENSITIVITY", "SENSITIVITY", I, P),
    Row("PR_IMPORTANCE", "IMPORTANCE", I, P),
    Row("PR_MESSAGE_SIZE", "SIZE", I, P),
    Row("PR_SENT_REPRESENTING_NAME", "SENDERNAME"),
    Row("PR_SENT_REPRESENTING_EMAIL_ADDRESS", "SENDERADDRESS"),
    Row("PR_BNP_Status", "STATUS", I, P),
    Row("PR_BNP_StartDate", "STARTDATE", F, D),
    Row("PR_BNP_AppointmentUID", "APPOINTMENTUID"),
    Row("PR_BNP_DueDate", "DUEDATE", F, D),
    Row("PR_BNP_Mileage", "MILEAGE"),
    Row("PR_BNP_Companies", "COMPANY"),
    Row("PR_BNP_BillingInformation", "BILLING"),
    Row("PR_BNP_PercentComplete", "PERCCOMP", kValueDouble, P),
    Row("PR_BNP_Complete", "COMPLETE", kValueBoolean, P),
    Row("PR_BNP_TotalWork", "TOTALWORK", I, P),
    Row("PR_BNP_ActualWork", "ACTUALWORK", I, P),
    Row("PR_BODY", "BODY", T, T, kContent),
    Row("PR_BNP_vCalendar", "VCALENDAR", T, T, kContent),
    Row("PR_QX_NumAttachments", "ATTACHMENTS", I, P),
    Row("PR_QX_ReadStatus", "READ", I, P),
    Row("PR_BNP_IsRecurring", "ISRECURRING", I, P),
    Row("PR_BNP_RecurrenceType", "RECURRENCETYPE", I, P),
    Row("PR_BNP_RecurrenceInterval", "RECURRENCEINTERVAL", I, P),
    Row("PR_BNP_Occurrences", "OCCURRENCES", I, P),
    Row("PR_BNP_PatternStartDate", "PATTERNSTARTDATE", F, D),
    Row("PR_BNP_PatternEndDate", "PATTERNENDDATE", F, D),
    Row("PR_BNP_NoEndDate", "NOENDDATE", I, P),
    Row("PR_BNP_RecurrenceDayOfMonth", "RECURRENCEDAYOFMONTH", I, P),
    Row("PR_BNP_RecurrenceDayOfWeekMask", "RECURRENCEDAYOFWEEKMASK", I, P),
    Row("PR_BNP_RecurrenceMonthOfYear", "RECURRENCEMONTHOFYEAR", I, P),
};

// The time of a file-time row is named by its field: LASTMODIFIEDDATE the
// last write, CREATEDDATE the creation, LASTACCESSEDDATE the last access.
constexpr PropertyMapEntry kFileTable[] = {
    Row("PR_SUBJECT", "SUBJECT"),
    Row("PR_MESSAGE_SIZE", "SIZE", I, P),
    Row("PR_BODY", "BODY", T, T, kContent),
    Row("PR_QX_ReadStatus", "READ", I, P),
    Row("PR_LAST_MODIFIED_DATE", "LASTMODIFIEDDATE", F, F, kSourceFileTime),
    Row("PR_CREATED_DATE", "CREATEDDATE", F, D, kSourceFileTime),
    Row("PR_LAST_ACCESSED_DATE", "LASTACCESSEDDATE", F, D, kSourceFileTime),
    Row("PR_FILE_TYPE", "FILETYPE", I, P, kSourceFileType),
};

const PropertyMapEntry* FindIn(PropertyTable table, std::string_view name) {
  for (const PropertyMapEntry& entry : table) {
    if (EqualsNoCase(entry.property, name)) return &entry;
  }
  return nullptr;
}

struct NoCaseHash {
  size_t operator()(std::string_view name) const {
    size_t hash = 1469598103934665603ULL;
    for (char c : name) {
      hash ^= static_cast<unsigned char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
      hash *= 1099511628211ULL;
    }
    return hash;
  }
};
struct NoCaseEqual {
  bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};
using NameIndex =
    std::unordered_map<std::string_view, const PropertyMapEntry*, NoCaseHash, NoCaseEqual>;

// Every item read looks a name up, so the tables of this file are hashed
// once: the common entries first, then the typed table's.
const NameIndex* BuiltInIndexFor(PropertyTable table) {
  static const std::array<NameIndex, 5> indexes = [] {
    std::array<NameIndex, 5> built;
    for (uint32_t type = 0; type < built.size(); ++type) {
      for (const PropertyMapEntry& entry : kCommonEntries) built[type].emplace(entry.property, &entry);
      for (const PropertyMapEntry& entry : PropertyTableFor(type)) {
        built[type].emplace(entry.property, &entry);
      }
    }
    return built;
  }();
  for (uint32_t type = 0; type < indexes.size(); ++type) {
    if (table.data() == PropertyTableFor(type).data()) return &indexes[type];
  }
  return nullptr;
}

bool IsCommonEntry(const PropertyMapEntry* entry) {
  return entry >= std::begin(kCommonEntries) && entry < std::end(kCommonEntries);
}

}  // namespace

PropertyTable PropertyTableFor(uint32_t folder_type) {
  switch (folder_type) {
    case 0: return kMessageTable;
    case 1: return kContactTable;
    case 2: return kAppointmentTable;
    case 3: return kTaskTable;
    case 4: return kFileTable;
    default: return {};
  }
}

uint32_t DefaultComponentFor(uint32_t folder_type) { return folder_type <= 1 ? 1 : 0; }

std::optional<PropertyMapEntry> LookupProperty(PropertyTable table, uint32_t default_component,
                                               std::string_view name) {
  if (const NameIndex* index = BuiltInIndexFor(table)) {
    const auto found = index->find(name);
    if (found == index->end()) return std::nullopt;
    PropertyMapEntry entry = *found->second;
    if (IsCommonEntry(found->second)) entry.component = default_component;
    return entry;
  }
  if (const PropertyMapEntry* common = FindIn(kCommonEntries, name)) {
    PropertyMapEntry entry = *common;
    entry.component = default_component;
    return entry;
  }
  if (const PropertyMapEntry* entry = FindIn(table, name)) return *entry;
  return std::nullopt;
}

std::optional<PropertyMapEntry> LookupProperty(uint32_t folder_type, std::string_view name) {
  return LookupProperty(PropertyTableFor(folder_type), DefaultComponentFor(folder_type), name);
}

uint32_t PropertyCallerType(std::string_view name, uint32_t folder_type) {
  if (folder_type <= 4) {
    std::optional<PropertyMapEntry> entry = LookupProperty(folder_type, name);
    return entry ? entry->caller_type : kValuePlainText;
  }
  for (uint32_t tried : {0u, 1u, 2u}) {
    if (std::optional<PropertyMapEntry> entry = LookupProperty(tried, name)) return entry->caller_type;
  }
  return 0;
}

}  // namespace qx
