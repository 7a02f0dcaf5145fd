#include "frame/settings.h"

#include <cstring>
#include <string>

#include "frame/registry_readers.h"
#include "frame/bounded_text.h"

namespace qx {

namespace {

std::string SubKey(const char* below_root) {
  return std::string(kSettingsRoot) + "\\" + below_root;
}

// "Mail Root Directory" of the MAPI service, else "Mail Root", else the
// "POSTOFFICES" directory below "Data Directory" ("\POSTOFFICES" when even
// that is missing).
void ReadMailRoot(char (&mail_root)[1024]) {
  if (ReadRegistryString(SubKey("Services\\MAPI").c_str(), "Mail Root Directory", mail_root,
                         sizeof mail_root)) {
    return;
  }
  if (ReadRegistryString(kSettingsRoot, "Mail Root", mail_root, sizeof mail_root)) return;
  char data_directory[1024];
  ReadRegistryString(kSettingsRoot, "Data Directory", data_directory, sizeof data_directory);
  // A Data Directory too long for the result leaves the root cut short,
  // never overrunning it.
  FormatBounded(mail_root, sizeof mail_root, "%s\\POSTOFFICES", data_directory);
}

}  // namespace

LibrarySettings& Settings() {
  static LibrarySettings settings;
  return settings;
}

void LoadModeAndMailRootSettings() {
  LibrarySettings& settings = Settings();
  settings.store_event_notification_mode =
      RegistryDwordOr(kSettingsRoot, "Store Event Notification Mode", 0);
  settings.mailbox_size_calc_mode = RegistryDwordOr(kSettingsRoot, "Mailbox Size Calc Mode", 0);
  ReadMailRoot(settings.mail_root);
  std::memcpy(settings.block_base, settings.mail_root, sizeof settings.block_base);
}

void LoadPostofficePathSettings() {
  LibrarySettings& settings = Settings();
  settings.allow_custom_postoffice_paths =
      RegistryDwordOr(kSettingsRoot, "Allow Custom Postoffice Paths", 0);
  ReadRegistryString(kSettingsRoot, "Bad Mail Directory", settings.bad_mail_directory,
                     sizeof settings.bad_mail_directory);
}

void LoadLibrarySettings() {
  LoadModeAndMailRootSettings();
  LoadPostofficePathSettings();
}

}  // namespace qx
