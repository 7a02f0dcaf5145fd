#pragma once
// The library settings: read once by StoreLibrary_Init, kept in process-wide
// variables, read without locks afterwards.

#include <cstdint>

namespace qx {

struct LibrarySettings {
  uint32_t store_event_notification_mode = 0;
  uint32_t mailbox_size_calc_mode = 0;
  char mail_root[1024] = {};         // for the path builders
  char block_base[1024] = {};        // the same text, base of resource block names
  uint32_t allow_custom_postoffice_paths = 0;
  char bad_mail_directory[1024] = {};
};

// The process-wide settings. Written only by LoadLibrarySettings.
LibrarySettings& Settings();

// Steps 1, 2 and 4 of the library's start: the settings table.
void LoadLibrarySettings();

// The same in the two pieces the library's start reads on either side of
// loading the notifier library: the two modes and the mail root (with the
// block-file base), then the custom-path flag and the bad mail directory.
void LoadModeAndMailRootSettings();
void LoadPostofficePathSettings();

}  // namespace qx
