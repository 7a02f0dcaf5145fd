#pragma once
// What a floor must do to save an index as durably as the store does under
// the "Store Fsync" setting this run sees: write a temporary file, sync its
// data, rename it over the target, sync the directory. Without syncing, the
// floors keep their plain save.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <pugixml.hpp>

#include "platform/durable_replace.h"
#include "xml/xml_document.h"

// Whether the store syncs the index saves of this run.
inline bool StoreSyncsIndexes() {
  return qx::platform::SyncsReplacementOf(qx::platform::FileKind::kIndex);
}

inline const char* StoreFsyncName() {
  switch (qx::platform::StoreFsyncMode()) {
    case qx::platform::FsyncMode::kAlways: return "always";
    case qx::platform::FsyncMode::kOptimized: return "optimized";
    case qx::platform::FsyncMode::kNever: return "never";
  }
  return "?";
}

// pugixml's save of `document` to `target` through `temporary`, with the
// syncs. `directory_fd` is the directory of both, kept open by the caller.
inline bool SaveDurably(const pugi::xml_document& document, const std::string& temporary,
                        const std::string& target, int directory_fd) {
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  pugi::xml_writer_file writer(file);
  document.save(writer, "", qx::kXmlSaveFormat, pugi::encoding_utf8);
  const bool written = std::fflush(file) == 0 && ::fdatasync(::fileno(file)) == 0;
  return std::fclose(file) == 0 && written && ::rename(temporary.c_str(), target.c_str()) == 0 &&
         ::fsync(directory_fd) == 0;
}

// The same replacement for bytes already in memory, written in one piece;
// without syncing, a plain write and rename.
inline bool WriteDurably(const std::string& bytes, const std::string& temporary,
                         const std::string& target, int directory_fd, bool durable) {
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                       (!durable || ::fdatasync(fd) == 0);
  return ::close(fd) == 0 && written && ::rename(temporary.c_str(), target.c_str()) == 0 &&
         (!durable || ::fsync(directory_fd) == 0);
}
