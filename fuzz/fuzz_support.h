#pragma once
// What every fuzz target shares: a scratch store of its own (a mail root and
// a registry file under /dev/shm, or /tmp without it, removed when the run
// ends), the bytes of files, and the split of one input into parts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx::fuzz {

// Once per process, from LLVMFuzzerInitialize: diagnostics off, nothing
// synced (QXSTORE_FSYNC=never), QXSTORE_REGISTRY pointing at a registry
// whose "Mail Root" is MailRoot(), and the library started. The clock runs ten seconds ahead of the system's and its sleeps
// return at once (advancing it).
void StartScratchStore();

// Sets a string value under the store's settings key of the scratch
// registry (the file is rewritten; values read on each use follow at once).
void SetStoreSetting(const std::string& name, const std::string& value);

// The scratch directory ("/dev/shm/qxstore-fuzz-XXXXXX") and its mail root.
const std::string& ScratchRoot();
std::string MailRoot();

void MakeDirectories(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
// Removes everything inside `directory`, keeping it.
void EmptyDirectory(const std::string& directory);

std::string_view AsText(const uint8_t* data, size_t size);

// The input cut at its first `parts` - 1 NUL bytes: always `parts` pieces,
// the missing ones empty, the last holding the rest (NULs included). Seeds
// of multi-part targets are written the same way ("pattern\0text").
std::vector<std::string_view> SplitInput(std::string_view input, size_t parts);

}  // namespace qx::fuzz
