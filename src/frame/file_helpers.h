#pragma once
// Small file operations in the C shapes the system's code calls them with:
// NUL-terminated store paths in, 1 or 0 out.

#include <cstddef>
#include <cstdint>

namespace qx {

// 1 when a listing of the path or pattern finds an entry.
uint32_t FileExists(const char* pattern);
// Sets the file's creation, access and write times to now (the layer's clock).
uint32_t TouchFile(const char* path);
// The DOS stamp of the file's last write; 0 when it cannot be read.
uint32_t GetFileDosStamp(const char* path);
// Deletes the entries matching pattern ("*.*" when null) below directory,
// read-only ones included, going on past failures, then the directory; 1
// when the directory itself is gone. A symbolic link is deleted itself,
// never what it leads to.
uint32_t DeleteDirectoryTree(const char* directory, const char* pattern);
// 32 hexadecimal digits of a new GUID followed by ".MAI".
uint32_t NewMessageFileName(char* out, size_t size);

}  // namespace qx
