// storeadm config: the effective settings and where each came from.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command.h"
#include "common/block_files.h"
#include "frame/host_process.h"
#include "frame/option_provider.h"
#include "frame/registry_readers.h"
#include "frame/settings.h"
#include "platform/file.h"
#include "platform/library_loader.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/store_modes.h"

namespace qx::storeadm {
namespace {

constexpr const char* kDefault = "default";

std::string ValueSource(const char* key, const char* value_name) {
  return std::string("HKEY_LOCAL_MACHINE\\") + key + "\\" + value_name;
}

std::string SubKey(const char* below_root) { return std::string(kSettingsRoot) + "\\" + below_root; }

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

void PrintSetting(const char* name, const std::string& value, const std::string& source) {
  std::printf("  %-32s %s  (%s)\n", name, value.c_str(), source.c_str());
}

// Where a DWORD comes from: the registry when it can be read there.
std::string DwordSource(const char* key, const char* value_name) {
  uint32_t ignored;
  return ReadRegistryDword(key, value_name, &ignored) ? ValueSource(key, value_name) : kDefault;
}

std::string StringSource(const char* key, const char* value_name) {
  char ignored[1024];
  return ReadRegistryString(key, value_name, ignored, sizeof ignored) ? ValueSource(key, value_name)
                                                                      : kDefault;
}

// The mail root takes the first of three values that is set.
std::string MailRootSource() {
  std::string mapi = SubKey("Services\\MAPI");
  std::string source = StringSource(mapi.c_str(), "Mail Root Directory");
  if (source != kDefault) return source;
  source = StringSource(kSettingsRoot, "Mail Root");
  if (source != kDefault) return source;
  source = StringSource(kSettingsRoot, "Data Directory");
  if (source != kDefault) return source + " followed by \\POSTOFFICES";
  return kDefault;
}

void PrintIdentity() {
  std::string registry = platform::RegistryFilePath();
  bool present = platform::GetFileSize(registry) >= 0;
  std::printf("Registry file: %s%s\n", registry.c_str(),
              present ? "" : " (missing: every value takes its default)");
  std::string program = platform::MainModulePath();
  std::printf("Program: %s (from %s; %s)\n", program.c_str(),
              std::getenv("QXSTORE_PROGRAM") != nullptr ? "QXSTORE_PROGRAM" : "the executable",
              IsServerHostProcess() != 0 ? "one of the server's programs"
                                         : "not one of the server's programs");
}

// A mode in effect, and where it came from: the registry, or the default
// (also when the registry's value was ignored, which is said).
void PrintModeSetting(const char* name, uint32_t mode, const platform::StoreModeSetting& read) {
  char text[16];
  std::snprintf(text, sizeof text, "0%o", mode);
  std::string source = read.from_registry ? ValueSource(kSettingsRoot, name) : kDefault;
  if (!read.ignored.empty()) {
    source += "; \"" + read.ignored + "\" in the registry is not a usable mode";
  }
  PrintSetting(name, text, source);
}

void PrintLibrarySettings() {
  const LibrarySettings& settings = Settings();
  std::printf("\nLibrary settings, read once at start:\n");
  PrintSetting("Store Event Notification Mode",
               std::to_string(settings.store_event_notification_mode),
               DwordSource(kSettingsRoot, "Store Event Notification Mode"));
  PrintSetting("Mailbox Size Calc Mode", std::to_string(settings.mailbox_size_calc_mode),
               DwordSource(kSettingsRoot, "Mailbox Size Calc Mode"));
  PrintSetting("Mail Root", Quoted(settings.mail_root), MailRootSource());
  PrintSetting("Allow Custom Postoffice Paths",
               std::to_string(settings.allow_custom_postoffice_paths),
               DwordSource(kSettingsRoot, "Allow Custom Postoffice Paths"));
  PrintSetting("Bad Mail Directory", Quoted(settings.bad_mail_directory),
               StringSource(kSettingsRoot, "Bad Mail Directory"));
  PrintModeSetting("Store File Mode", platform::StoreFileMode(), platform::ReadStoreFileMode());
  PrintModeSetting("Store Directory Mode", platform::StoreDirectoryMode(),
                   platform::ReadStoreDirectoryMode());
}

void PrintOnEachUseSettings() {
  std::printf("\nRead on each use:\n");
  PrintSetting("Public Folders Enabled",
               std::to_string(RegistryDwordOr(kSettingsRoot, "Public Folders Enabled", 1)),
               DwordSource(kSettingsRoot, "Public Folders Enabled"));
  char application_directory[1024];
  ReadRegistryString(kSettingsRoot, "Application Directory", application_directory,
                     sizeof application_directory);
  PrintSetting("Application Directory", Quoted(application_directory),
               StringSource(kSettingsRoot, "Application Directory"));
  std::string provider = OptionProviderPath();
  std::printf("  %-32s %s -> %s (%s)\n", "Option provider", provider.c_str(),
              platform::SharedObjectPathFor(provider).c_str(),
              LoadOptionProvider() != nullptr ? "loaded" : "cannot be loaded");
}

void PrintBlockTimeouts() {
  std::printf("\nBlock time-outs, in one-second polls (the grace of an unheld block in seconds),"
              " read on each use:\n");
  for (const BlockTimeout* timeout : {&kReadWaitTimeout, &kApplyTimeout, &kWriteWaitTimeout,
                                      &kUnBlockTimeout, &kStaleBlockGrace}) {
    PrintSetting(timeout->value_name, std::to_string(BlockTimeoutPolls(*timeout)),
                 DwordSource(kBlockTimeoutsKey, timeout->value_name));
  }
}

void PrintRegistryWarnings() {
  std::vector<platform::RegistryWarning> warnings = platform::RegistryWarnings();
  if (warnings.empty()) {
    std::printf("\nRegistry warnings: none\n");
    return;
  }
  std::printf("\nRegistry warnings (these lines were skipped):\n");
  for (const platform::RegistryWarning& warning : warnings) {
    std::printf("  line %d: %s\n", warning.line, warning.message.c_str());
  }
}

int RunConfig(int argc, char** argv);

const CommandRegistration kConfig({"config", "",
                                   "prints the effective settings and where each came from",
                                   RunConfig});

int RunConfig(int argc, char** /*argv*/) {
  if (argc != 1) return UsageError(*FindCommand("config"), "config takes no arguments");
  PrintIdentity();
  PrintLibrarySettings();
  PrintOnEachUseSettings();
  PrintBlockTimeouts();
  PrintRegistryWarnings();
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
