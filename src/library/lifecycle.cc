#include "library/lifecycle.h"

#include "index/index_registry.h"
#include "folder/notifier_library.h"
#include "frame/settings.h"
#include "frame/thread_record.h"
#include "frame/thread_state.h"
#include "index/store_index.h"
#include "pim/contact_item_kind.h"
#include "pim/ical_folder.h"
#include "pim/calendar_folders.h"
#include "platform/background_close.h"
#include "platform/library_loader.h"
#include "platform/store_modes.h"
#include "platform/thread_slots.h"
#include "remote/connection_socket.h"

namespace qx {

namespace {

void DestroyRecord(STOREINDEXTYPE* record) {
  delete record;
  SetThreadStoreIndexRecord(nullptr);
}

}  // namespace

uint32_t StoreLibraryInit() {
  // The sibling libraries are looked for beside this module.
  platform::SetStoreModule(reinterpret_cast<const void*>(&StoreLibraryInit));
  platform::LoadStoreModes();
  LoadModeAndMailRootSettings();
  LoadNotifier();
  LoadPostofficePathSettings();
  if (!AllocateThreadSlots()) return 0;
  // A mutex that cannot be created is created again on first use; the
  // operations that need it skip their guarded work until then.
  CreateRegistryMutexes();
  // Threads get their record on first use; what remains of thread attach
  // (a cursor of 0) is what a fresh slot reads as.
  platform::SetThreadDetachHandler(&ThreadDetach);
  RegisterContactFolders();
  RegisterCalendarFeed(NewICalendarFolderFeed);
  RegisterCalendarFolders();
  return 1;
}

uint32_t StoreLibraryUnInit() {
  if (STOREINDEXTYPE* record = ThreadStoreIndexRecord()) {
    record->current_item = pugi::xml_node();
    if (record->index != nullptr) ReleaseStoreIndex(record->index);
  }
  FreeEnumerationCursorSlot();
  CloseRemoteSocket();
  CloseIndexMutex();
  FreeNotifier();
  platform::FinishBackgroundCloses();
  return 1;
}

uint32_t ThreadInit() { return 1; }

uint32_t ThreadRelease() {
  if (STOREINDEXTYPE* record = ThreadStoreIndexRecord()) {
    TLSStoreIndex_Close(record, 1);
    DestroyRecord(record);
  }
  FreeThreadFolderLists();
  return 1;
}

uint32_t SetAffinity(uint32_t mode) {
  SetAffinityMode(mode);
  return 1;
}

void ThreadDetach() {
  STOREINDEXTYPE* record = ThreadStoreIndexRecord();
  if (record != nullptr && AffinityMode() == 1) {
    ThreadRelease();
  } else if (record != nullptr) {
    DestroyRecord(record);
  }
  // The thread is ending: nothing can reach its folder lists or search
  // state any more.
  FreeThreadFolderLists();
  FreeThreadSearchState();
}

}  // namespace qx
