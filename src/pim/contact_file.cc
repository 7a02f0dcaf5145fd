#include "pim/contact_file.h"

#include "store/item_content.h"

namespace qx {

std::optional<std::string> ContactFilePath(const ItemRef& item, size_t id_limit) {
  if (!item.entry) return std::nullopt;
  if (std::string_view(item.entry.attribute("ID").value()).size() > id_limit) return std::nullopt;
  return ItemFilePath(item);
}

}  // namespace qx
