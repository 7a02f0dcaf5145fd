// The library family of the exported interface.

#include <cstdlib>

#include "library/lifecycle.h"
#include "frame/time_conversion.h"
#include "frame/xml_slices.h"
#include "qxstore.h"

extern "C" {

QXSTORE_API uint32_t StoreLibrary_Init(void) { return qx::StoreLibraryInit(); }

QXSTORE_API uint32_t StoreLibrary_UnInit(void) { return qx::StoreLibraryUnInit(); }

QXSTORE_API uint32_t StoreLibrary_ThreadInit(void) { return qx::ThreadInit(); }

QXSTORE_API uint32_t StoreLibrary_ThreadRelease(void) { return qx::ThreadRelease(); }

QXSTORE_API uint32_t StoreLibrary_SetAffinity(uint32_t mode) { return qx::SetAffinity(mode); }

QXSTORE_API void* Memory_Allocate(uintptr_t size) { return std::malloc(size); }

QXSTORE_API uint32_t Memory_Free(void* block) {
  std::free(block);
  return 1;
}

QXSTORE_API uint32_t SetLoggingFunction(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return 0; }

QXSTORE_API uint32_t UnixTimeToFileTime(int32_t unix_seconds, FILETIME* out) {
  if (out != nullptr) *out = qx::FileTimeFromUnixTime(unix_seconds);
  return 1;
}

QXSTORE_API int64_t UnixTimeFromFileTime(const FILETIME* file_time) {
  return file_time == nullptr ? 0 : qx::UnixTimeFromFileTime(*file_time);
}

QXSTORE_API const char* GetXMLDataEx(const char* text, const char* start_tag,
                                     const char* end_tag, char* out, uint32_t size) {
  return qx::GetXMLData(text, start_tag, end_tag, out, size);
}

}  // extern "C"
