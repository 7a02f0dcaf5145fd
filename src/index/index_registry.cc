#include "index/index_registry.h"

#include <atomic>
#include <map>
#include <new>

#include "common/mutex.h"
#include "frame/bounded_text.h"
#include "index/store_index.h"

namespace qx {

namespace {

std::atomic<uint32_t> g_affinity_mode{1};

// Guarded by the registry mutex. Never destroyed: the library's unload runs
// from a shared-object destructor, after static objects may be gone.
std::map<std::string, StoreIndex*>& Registry() {
  static auto* registry = new std::map<std::string, StoreIndex*>;
  return *registry;
}

std::atomic<Mutex*> g_registry_mutex{nullptr};
std::atomic<Mutex*> g_index_mutex{nullptr};

// Creates the mutex on first use; two threads racing here keep one of the
// two they made.
platform::MutexHandle EnsureMutex(std::atomic<Mutex*>& slot) {
  if (Mutex* existing = slot.load()) return existing->handle();
  auto* created = new (std::nothrow) Mutex;
  if (created == nullptr || created->handle() == nullptr) {
    delete created;
    return nullptr;
  }
  Mutex* expected = nullptr;
  if (!slot.compare_exchange_strong(expected, created)) {
    delete created;
    return expected->handle();
  }
  return created->handle();
}

platform::MutexHandle RegistryMutex() { return EnsureMutex(g_registry_mutex); }

long RecordKeyField(const STOREINDEXTYPE& record) {
  return static_cast<long>(static_cast<int32_t>(record.serial));
}

void Unregister(const char* key, StoreIndex* index) {
  std::map<std::string, StoreIndex*>& registry = Registry();
  auto found = registry.find(key);
  if (found != registry.end() && found->second == index) {
    registry.erase(found);
    return;
  }
  for (auto it = registry.begin(); it != registry.end(); ++it) {
    if (it->second == index) {
      registry.erase(it);
      return;
    }
  }
}

// REQUIRES: the registry and index mutexes are held.
void DropHold(STOREINDEXTYPE* record, uint32_t* clear) {
  StoreIndex* index = record->index;
  record->current_item = pugi::xml_node();
  record->item_list = pugi::xpath_node_set();
  if (index->use_count > 0) --index->use_count;
  // The hold is gone, so the pointer goes too: a record that kept it would
  // count the same hold down again at its next close or open.
  record->index = nullptr;
  if (index->use_count != 0) return;
  Unregister(record->index_key, index);
  ReleaseStoreIndex(index);
  ClearFolderDirectory(index);
  DestroyStoreIndex(index);
  *clear = 1;
}

void ClearIdentity(STOREINDEXTYPE* record) {
  record->postoffice[0] = '\0';
  record->mailbox[0] = '\0';
  record->folder[0] = '\0';
  record->item_postoffice[0] = '\0';
  record->item_mailbox[0] = '\0';
  record->item_folder[0] = '\0';
  record->item_folder_directory[0] = '\0';
  record->index = nullptr;
}

}  // namespace

uint32_t AffinityMode() { return g_affinity_mode.load(); }

void SetAffinityMode(uint32_t mode) { g_affinity_mode.store(mode == 1 ? 1 : 0); }

bool SetFolderIndexKey(STOREINDEXTYPE* record) {
  bool fits = AffinityMode() == 1
                  ? FormatBounded(record->index_key, sizeof record->index_key, "[%s][%s][%s][%ld]",
                                  record->postoffice, record->mailbox, record->folder,
                                  RecordKeyField(*record))
                  : FormatBounded(record->index_key, sizeof record->index_key, "[%s][%s][%s]",
                                  record->postoffice, record->mailbox, record->folder);
  if (!fits) record->index_key[0] = '\0';
  return fits;
}

bool SetItemIndexKey(STOREINDEXTYPE* record, const char* item_id) {
  if (item_id == nullptr) item_id = "";
  bool fits = AffinityMode() == 1
                  ? FormatBounded(record->index_key, sizeof record->index_key,
                                  "[%s][%s][%s][%s][%ld]", record->postoffice, record->mailbox,
                                  record->folder, item_id, RecordKeyField(*record))
                  : FormatBounded(record->index_key, sizeof record->index_key, "[%s][%s][%s][%s]",
                                  record->postoffice, record->mailbox, record->folder, item_id);
  if (!fits) record->index_key[0] = '\0';
  return fits;
}

bool CreateRegistryMutexes() {
  bool index_ok = EnsureMutex(g_index_mutex) != nullptr;
  bool registry_ok = EnsureMutex(g_registry_mutex) != nullptr;
  return index_ok && registry_ok;
}

void CloseIndexMutex() { delete g_index_mutex.exchange(nullptr); }

platform::MutexHandle IndexMutex() { return EnsureMutex(g_index_mutex); }

uint32_t AttachToIndex(STOREINDEXTYPE* record) {
  MutexLock registry_lock(RegistryMutex());
  // Without the registry mutex the guarded work is skipped; the caller finds
  // no index and fails.
  if (!registry_lock.locked()) return 1;
  std::map<std::string, StoreIndex*>& registry = Registry();
  auto found = registry.find(record->index_key);
  if (found != registry.end()) {
    record->index = found->second;
    ++record->index->use_count;
    return 2;
  }
  StoreIndex* index = CreateStoreIndex();
  if (index == nullptr) return 0;
  CreateStoreIndexMutex(index);
  registry.emplace(record->index_key, index);
  record->index = index;
  ++index->use_count;
  return 1;
}

void TLSStoreIndex_Close(STOREINDEXTYPE* record, uint32_t clear) {
  if (record == nullptr) return;
  if (record->index != nullptr) {
    MutexLock registry_lock(RegistryMutex());
    if (registry_lock.locked()) {
      MutexLock index_lock(IndexMutex());
      if (index_lock.locked() && record->index != nullptr) DropHold(record, &clear);
    }
  }
  record->index_key[0] = '\0';
  if (clear == 1) ClearIdentity(record);
}

void ForEachOpenIndex(
    const std::function<void(const std::string& key, StoreIndex* index)>& visit) {
  MutexLock registry_lock(RegistryMutex());
  if (!registry_lock.locked()) return;
  for (const auto& [key, index] : Registry()) visit(key, index);
}

StoreIndex* FindOpenIndex(const std::string& key) {
  StoreIndex* found = nullptr;
  ForEachOpenIndex([&](const std::string& registered, StoreIndex* index) {
    if (registered == key) found = index;
  });
  return found;
}

size_t OpenIndexCount() {
  size_t count = 0;
  ForEachOpenIndex([&](const std::string&, StoreIndex*) { ++count; });
  return count;
}

}  // namespace qx
