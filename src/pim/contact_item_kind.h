#pragma once
// Contact folders (folder type 1) plugged into the layers below: the store
// item interface serves contact items through the contact property map and
// writes them back as vCard files, and the index scans contact folders from
// their vCard files and holds their contact index.

namespace qx {

// Registers both; StoreLibraryInit calls it before any folder is opened.
void RegisterContactFolders();

}  // namespace qx
