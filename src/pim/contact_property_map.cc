#include "pim/contact_property_map.h"

namespace qx {

namespace {

constexpr uint32_t T = kValueText;

constexpr PropertyMapEntry Entry(std::string_view property, std::string_view field,
                                 uint32_t component = 1, uint32_t property_type = T,
                                 uint32_t stored_type = T) {
  return {property, field, component, property_type, stored_type, kSourceIndexField};
}

constexpr PropertyMapEntry FileOnly(std::string_view property, std::string_view field,
                                    uint32_t property_type = T) {
  return {property, field, 1, property_type, T, kSourceContent};
}

constexpr PropertyMapEntry kContactMap[] = {
    Entry("QX_MODIFIED_DATE", "MODIFIEDDATE", 1, kValueInteger),
    Entry("PR_SENSITIVITY", "SENSITIVITY", 1, kValueInteger),
    Entry("PR_COMPANY_NAME", "ORG", 1),
    Entry("PR_DEPARTMENT_NAME", "ORG", 2),
    Entry("PR_EMAIL_ADDRESS", "EMAIL_PREF_INTERNET"),
    Entry("PR_BNP_Email1Address", "EMAIL_PREF_INTERNET"),
    Entry("PR_DISPLAY_NAME", "FN"),
    Entry("PR_SUBJECT", "FN"),
    Entry("PR_NORMALIZED_SUBJECT", "FN"),
    Entry("PR_NICKNAME", "NICKNAME"),
    Entry("PR_NICKNAME_X", "X-EPOCSECONDNAME"),
    Entry("PR_SURNAME", "N", 1),
    Entry("PR_GIVEN_NAME", "N", 2),
    Entry("PR_MIDDLE_NAME", "N", 3),
    Entry("PR_DISPLAY_NAME_PREFIX", "N", 4),
    Entry("PR_TITLE", "TITLE"),
    FileOnly("PR_NOTE", "NOTE"),
    FileOnly("PR_NOTE_UNICODE", "NOTE", kValueNoteText),
    FileOnly("PR_BNP_VCARD", "VCARD"),
    FileOnly("PR_ATTACHMENT_CONTACTPHOTO", "PHOTO"),
    Entry("PR_CELLULAR_TELEPHONE_NUMBER", "TEL_CELL_VOICE"),
    Entry("PR_HOME_TELEPHONE_NUMBER", "TEL_HOME_VOICE"),
    Entry("PR_OFFICE_TELEPHONE_NUMBER", "TEL_WORK_VOICE"),
    Entry("PR_PAGER_TELEPHONE_NUMBER", "TEL_PAGER_VOICE"),
    Entry("PR_BUSINESS_FAX_NUMBER", "TEL_WORK_FAX"),
    Entry("PR_STREET_ADDRESS", "ADR_WORK", 3),
    Entry("PR_LOCALITY", "ADR_WORK", 4),
    Entry("PR_STATE_OR_PROVINCE", "ADR_WORK", 5),
    Entry("PR_POSTAL_CODE", "ADR_WORK", 6),
    Entry("PR_COUNTRY", "ADR_WORK", 7),
    Entry("PR_BUSINESS_HOME_PAGE", "URL_WORK"),
    Entry("PR_BIRTHDAY", "BDAY", 1, kValueFileTime, kValueBirthdayText),
    Entry("PR_ASSISTANT", "AGENT"),
    Entry("PR_MSMESSENGER", "IM_TYPE-MSMESSENGER"),
    Entry("PR_YAHOOMESSENGER", "IM_TYPE-YAHOOMESSENGER"),
    Entry("PR_AIM", "IM_TYPE-AIM"),
    Entry("PR_ICQ", "IM_TYPE-ICQ"),
    Entry("PR_FTMESSAGER", "IM_TYPE-FTMESSAGER"),
    Entry("PR_ODIGO", "IM_TYPE-ODIGO"),
    Entry("PR_POWWOW", "IM_TYPE-POWWOW"),
    Entry("PR_REVISION", "REV"),
};

}  // namespace

std::optional<PropertyMapEntry> Contact_MapProperty(std::string_view name) {
  return LookupProperty(kContactMap, 1, name);
}

}  // namespace qx
