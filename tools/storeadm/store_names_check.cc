#include "store_names_check.h"

#include <cstdio>

#include "command.h"
#include "report.h"
#include "frame/store_names.h"

namespace qx::storeadm {

bool NamesStayInStore(std::initializer_list<StoreNameArgument> names) {
  for (const StoreNameArgument& name : names) {
    const bool stays = name.kind == NameKind::kFolder ? IsStoreFolderText(name.text)
                       : name.kind == NameKind::kFile ? IsStoreName(name.text)
                                                      : IsStoreDirectoryName(name.text);
    if (!stays) {
      ReportError("the %s \"%s\" leads out of the store\n", name.what,
                   name.text);
      return false;
    }
  }
  return true;
}

int LeadsOutOfStore(const char* what) {
  ReportError("%s leads out of the store\n", what);
  return kExitFailure;
}

}  // namespace qx::storeadm
