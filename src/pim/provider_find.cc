#include "pim/provider_find.h"

#include <cstdint>

#include "pim/provider_operations.h"
#include "platform/thread_slots.h"

namespace qx {

namespace {

// The slot is allocated on first use and kept for the life of the process;
// the position is held in the slot's value itself, so nothing is freed
// when a thread ends.
uint32_t CursorSlot() {
  static const uint32_t slot = platform::TlsAlloc();
  return slot;
}

size_t ThreadCursor() {
  const uint32_t slot = CursorSlot();
  if (slot == platform::kInvalidSlot) return 0;
  return reinterpret_cast<uintptr_t>(platform::TlsGetValue(slot));
}

void SetThreadCursor(size_t line) {
  const uint32_t slot = CursorSlot();
  if (slot != platform::kInvalidSlot) platform::TlsSetValue(slot, reinterpret_cast<void*>(line));
}

}  // namespace

std::optional<ProviderEntry> FindFirstProviderEntry(const CalendarBucket& bucket,
                                                    std::string_view identifier) {
  SetThreadCursor(0);
  return FindNextProviderEntry(bucket, identifier);
}

std::optional<ProviderEntry> FindNextProviderEntry(const CalendarBucket& bucket,
                                                   std::string_view identifier) {
  const std::optional<std::vector<ProviderLine>> lines = ReadProviderLines(bucket);
  if (!lines) return std::nullopt;
  const size_t cursor = ThreadCursor();
  for (const ProviderLine& line : *lines) {
    if (line.number <= cursor || !IdentifierMatches(identifier, line.entry.identifier)) continue;
    SetThreadCursor(line.number);
    return line.entry;
  }
  SetThreadCursor(lines->empty() ? 0 : lines->back().number);
  return std::nullopt;
}

}  // namespace qx
