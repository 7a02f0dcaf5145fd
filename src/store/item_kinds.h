#pragma once
// Item kinds: what the store-item interface (StoreFolder_*, StoreItem_*)
// needs from the items of one folder type, and the one place where a kind
// plugs in.
//
// Messages (folder type 0), tasks (3) and files (4) are served from this
// layer. Contacts (1), appointments (2) and iCalendar files or feeds (5) are
// served from src/pim, which sits above it. Plugging one in:
//   1. define a static ItemKind for the folder type: its property table
//      (the typed tables of property_map.h, or the kind's own), and the
//      hooks it needs (a null hook takes the default noted at each);
//   2. call RegisterItemKind(type, &kind) (RegisterCalendarFeed for type 5)
//      from StoreLibraryInit in src/library/lifecycle.cc, which runs before
//      any folder is opened, so that every kind the library serves is
//      listed in one place rather than in static initialisers of src/pim;
//   3. when the kind's index documents are not scanned from message files,
//      register its scan and document functions with the index as well
//      (index/folder_type_handlers.h).
// Until a kind is registered, StoreFolder_Open and StoreFolder_OpenItem of
// its folder type return 0 and touch nothing. StoreItemProperty_GetType
// answers from the tables of property_map.h whether or not a kind is
// registered, so a kind that brings its own map must keep the caller types
// of those tables.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "store/property_map.h"
#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// One item as the hooks see it. The StoreIndex mutex of `index` is held
// while a hook runs; `entry` lives in the document `index` holds.
struct ItemRef {
  StoreIndex* index = nullptr;
  pugi::xml_node entry;
  // NUL-terminated texts (never null): the item's folder directory, and the
  // names the context properties (QX_POSTOFFICE, ...) answer with.
  const char* folder_directory = "";
  uint32_t folder_type = 0;
  const char* postoffice = "";
  const char* mailbox = "";
  const char* folder = "";
};

// A value in a block from malloc, handed to the caller of
// StoreItem_GetProperty, who frees it. Freed here unless released.
class AllocatedValue {
 public:
  // Inline, as every property read passes a value through them and most
  // end holding nothing (handed over); the copies too, one per read.
  AllocatedValue() = default;
  ~AllocatedValue() {
    if (data_ != nullptr) std::free(data_);
  }
  AllocatedValue(AllocatedValue&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  AllocatedValue& operator=(AllocatedValue&& other) noexcept {
    if (this != &other) {
      if (data_ != nullptr) std::free(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }

  // A copy of `bytes`; holds nothing when memory runs out.
  static AllocatedValue Copy(std::string_view bytes) {
    AllocatedValue value;
    value.data_ = std::malloc(bytes.size() > 0 ? bytes.size() : 1);
    if (value.data_ == nullptr) return value;
    if (!bytes.empty()) std::memcpy(value.data_, bytes.data(), bytes.size());
    value.size_ = static_cast<uint32_t>(bytes.size());
    return value;
  }
  // `text` and a NUL.
  static AllocatedValue Text(std::string_view text) {
    AllocatedValue value;
    auto* block = static_cast<char*>(std::malloc(text.size() + 1));
    if (block == nullptr) return value;
    if (!text.empty()) std::memcpy(block, text.data(), text.size());
    block[text.size()] = '\0';
    value.data_ = block;
    value.size_ = static_cast<uint32_t>(text.size() + 1);
    return value;
  }

  explicit operator bool() const { return data_ != nullptr; }
  const void* data() const { return data_; }
  uint32_t size() const { return size_; }
  // Gives the block up to the caller.
  void* Release() {
    size_ = 0;
    return std::exchange(data_, nullptr);
  }

 private:
  void* data_ = nullptr;
  uint32_t size_ = 0;
};

// A property read: StoreItem_GetProperty's result and what it hands back.
struct PropertyRead {
  // -1 or 0 not found; 1 `in_item` points into the item (no copy); 2
  // `value` is handed to the caller.
  int32_t result = 0;
  const char* in_item = nullptr;
  AllocatedValue value;
  uint32_t caller_type = 0;

  // Result 2 with `value`, or not found when it holds nothing.
  static PropertyRead Allocated(AllocatedValue value, uint32_t caller_type) {
    PropertyRead read;
    if (!value) return read;
    read.result = 2;
    read.value = std::move(value);
    read.caller_type = caller_type;
    return read;
  }
};

enum class PropertyWrite {
  kWritten,
  kUnknownProperty,  // neither the table nor the context properties know it
  kReadOnly,         // an ID, a class, a file time or the file type
  kBadValue,         // no value, or one the stored form cannot hold
  kNoItem,           // no current item and no identifier to make one
  kFailed,           // the item's file could not be rewritten
};

// Replaces the generic property read or write of item_properties.h.
using ItemPropertyGetter = PropertyRead (*)(const ItemRef& item, std::string_view name);
using ItemPropertySetter = PropertyWrite (*)(const ItemRef& item, std::string_view name,
                                             const void* value);

// Builds the entry of item `item_id` (a plain file name) in the otherwise
// empty document the index object holds, from the item's file in
// `folder_directory`, for StoreFolder_OpenItem; true with *entry set when
// the item could be loaded. The item's file must not be changed.
using ItemLoader = bool (*)(StoreIndex* index, std::string_view folder_directory,
                            std::string_view item_id, pugi::xml_node* entry);

// Reads and writes the content properties (source 1) of an item. The reader
// gives nothing when the item has no such content; the writer true when the
// item's file was rewritten.
using ItemContentReader = std::optional<std::string> (*)(const ItemRef& item,
                                                         const PropertyMapEntry& property,
                                                         std::string_view property_name);
using ItemContentWriter = bool (*)(const ItemRef& item, const PropertyMapEntry& property,
                                   std::string_view text);

// Writes an entry's pending changes back to the item's file (a vCard, an
// appointment message); true when written. Run at save for every entry
// marked pending, after the mark is removed.
using ItemWriter = bool (*)(const ItemRef& item);

// Removes what an item keeps besides its index entry (a vCard file), before
// StoreFolder_DeleteItem removes the entry.
using ItemRemover = void (*)(const ItemRef& item);

struct ItemKind {
  PropertyTable table;
  uint32_t default_component = 0;
  ItemPropertyGetter get_property = nullptr;  // null: the generic read
  ItemPropertySetter set_property = nullptr;  // null: the generic write
  ItemLoader load_item = nullptr;             // null: an entry with only its ID
  ItemWriter write_item = nullptr;            // null: the entry alone holds the item
  ItemContentReader read_content = nullptr;   // null: content properties are not found
  ItemContentWriter write_content = nullptr;  // null: content properties cannot be set
  ItemRemover remove_item = nullptr;          // null: only the entry is removed
};

// The kinds by folder type (RegisterItemKind's table).
inline constexpr size_t kItemKindSlots = 64;
extern std::atomic<const ItemKind*> g_item_kinds[kItemKindSlots];

// The kind serving `folder_type`, or null (types 1, 2 and 5 until src/pim
// registers them; any type without a kind). Inline: every property read
// asks.
inline const ItemKind* ItemKindFor(uint32_t folder_type) {
  return folder_type < kItemKindSlots ? g_item_kinds[folder_type].load() : nullptr;
}

// Makes `kind` (static storage, never freed) serve `folder_type`; null
// withdraws the type's kind (a built-in kind too). When the kind has a
// write_item, the index save (SetPendingItemWriter) calls it for that
// folder type's pending entries.
// Folder types above 63 are not kept.
void RegisterItemKind(uint32_t folder_type, const ItemKind* kind);

// The reader behind a folder of type 5: an iCalendar file or web address
// ("http://", "https://") read as a list of VEVENT components. Each thread's open folder
// owns its own.
class CalendarFeed {
 public:
  virtual ~CalendarFeed() = default;
  // `source` is the folder text when it begins with "http://" or
  // "https://" (any case), else the path
  // mail root\postoffice\MAILROOT\mailbox\folder (item_folder_open.h).
  // The result is StoreFolder_Open's.
  virtual uint32_t Open(std::string_view source) = 0;
  // Nonzero when a first (next) VEVENT became current.
  virtual uint32_t FindFirst() = 0;
  virtual uint32_t FindNext() = 0;
  virtual PropertyRead GetProperty(std::string_view name) = 0;
};

using CalendarFeedFactory = std::unique_ptr<CalendarFeed> (*)();

// Sets (or, with null, withdraws) the factory of type-5 readers.
void RegisterCalendarFeed(CalendarFeedFactory factory);
// A new reader, or null while none is registered.
std::unique_ptr<CalendarFeed> NewCalendarFeed();

}  // namespace qx
