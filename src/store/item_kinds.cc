#include "store/item_kinds.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "index/index_save.h"
#include "store/item_content.h"

namespace qx {

namespace {

const ItemKind kMessageKind{
    .table = PropertyTableFor(0),
    .default_component = DefaultComponentFor(0),
    .load_item = LoadMessageItem,
    .read_content = ReadMessageFileContent,
    .write_content = WriteMessageFileContent,
};

// Tasks are message files whose entries are kept by the store-item
// interface alone (a task folder is never scanned).
const ItemKind kTaskKind{
    .table = PropertyTableFor(3),
    .default_component = DefaultComponentFor(3),
    .load_item = LoadBareItem,
    .read_content = ReadMessageFileContent,
    .write_content = WriteMessageFileContent,
};

const ItemKind kFileKind{
    .table = PropertyTableFor(4),
    .default_component = DefaultComponentFor(4),
    .load_item = LoadBareItem,
    .read_content = ReadPlainFileContent,
};

constexpr size_t kKindSlots = 64;

// Written at library start (and by tests), read by every open: atomic so
// that a late registration is seen whole.
std::atomic<const ItemKind*> kinds[kKindSlots] = {&kMessageKind, nullptr, nullptr, &kTaskKind,
                                                  &kFileKind};

std::atomic<CalendarFeedFactory> calendar_feed_factory{nullptr};

// The index save's writer for every type whose kind writes items.
bool WritePendingItem(StoreIndex* index, pugi::xml_node entry) {
  const ItemKind* kind = ItemKindFor(index->folder_type);
  if (kind == nullptr || kind->write_item == nullptr) return false;
  ItemRef item;
  item.index = index;
  item.entry = entry;
  item.folder_directory = index->folder_directory;
  item.folder_type = index->folder_type;
  item.postoffice = index->postoffice;
  item.mailbox = index->mailbox;
  item.folder = index->folder;
  return kind->write_item(item);
}

}  // namespace

// A read passes its value through several moved-from objects, each
// destroyed empty: no call of free for those.
AllocatedValue::~AllocatedValue() {
  if (data_ != nullptr) std::free(data_);
}

AllocatedValue::AllocatedValue(AllocatedValue&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

AllocatedValue& AllocatedValue::operator=(AllocatedValue&& other) noexcept {
  if (this != &other) {
    if (data_ != nullptr) std::free(data_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

AllocatedValue AllocatedValue::Copy(std::string_view bytes) {
  AllocatedValue value;
  value.data_ = std::malloc(bytes.size() > 0 ? bytes.size() : 1);
  if (value.data_ == nullptr) return value;
  if (!bytes.empty()) std::memcpy(value.data_, bytes.data(), bytes.size());
  value.size_ = static_cast<uint32_t>(bytes.size());
  return value;
}

AllocatedValue AllocatedValue::Text(std::string_view text) {
  AllocatedValue value;
  auto* block = static_cast<char*>(std::malloc(text.size() + 1));
  if (block == nullptr) return value;
  if (!text.empty()) std::memcpy(block, text.data(), text.size());
  block[text.size()] = '\0';
  value.data_ = block;
  value.size_ = static_cast<uint32_t>(text.size() + 1);
  return value;
}

void* AllocatedValue::Release() {
  size_ = 0;
  return std::exchange(data_, nullptr);
}

PropertyRead PropertyRead::Allocated(AllocatedValue value, uint32_t caller_type) {
  PropertyRead read;
  if (!value) return read;
  read.result = 2;
  read.value = std::move(value);
  read.caller_type = caller_type;
  return read;
}

const ItemKind* ItemKindFor(uint32_t folder_type) {
  return folder_type < kKindSlots ? kinds[folder_type].load() : nullptr;
}

void RegisterItemKind(uint32_t folder_type, const ItemKind* kind) {
  if (folder_type >= kKindSlots) return;
  kinds[folder_type].store(kind);
  const bool writes = kind != nullptr && kind->write_item != nullptr;
  SetPendingItemWriter(folder_type, writes ? WritePendingItem : nullptr);
}

void RegisterCalendarFeed(CalendarFeedFactory factory) { calendar_feed_factory.store(factory); }

std::unique_ptr<CalendarFeed> NewCalendarFeed() {
  CalendarFeedFactory factory = calendar_feed_factory.load();
  return factory != nullptr ? factory() : nullptr;
}

}  // namespace qx
