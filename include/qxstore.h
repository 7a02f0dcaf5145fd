/*
 * qxstore: the message-store provider of the mail server.
 *
 * The flat C interface that the server's services and administration tools
 * call. Conventions:
 *  - Results are 32-bit: 1 for success, 0 for failure; some calls return 2
 *    for a second kind of success (an index reused or shared, a value the
 *    library allocated).
 *  - Records are caller-owned and fixed-size; their bytes are also their
 *    wire form when a call is forwarded to a remote administration host, so
 *    each record's size and field offsets are checked below.
 *  - Narrow strings are UTF-8, NUL-terminated, mostly in 1024-byte buffers.
 *  - A value the library allocates is freed by the caller with Memory_Free.
 */
#ifndef QXSTORE_H
#define QXSTORE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QXSTORE_BUILDING)
#define QXSTORE_API __attribute__((visibility("default")))
#else
#define QXSTORE_API
#endif

/* 100-nanosecond intervals since 1601-01-01 UTC, low half first. */
typedef struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
} FILETIME;

/* One folder's index object. Callers that need a private index allocate it
 * and pass it to StoreIndex_Init; the handles are owned by the library. */
typedef struct StoreIndex {
  char postoffice[1024];
  char mailbox[1024];
  char folder[1024];
  uintptr_t folder_index;     /* loaded index document, or 0 */
  uint32_t entry_count;       /* root children when the document was loaded */
  char folder_directory[1024];
  uint32_t modified;          /* 1 while the document has unsaved changes */
  uint32_t last_uid;
  uint32_t index_stamp;       /* DOS stamp of the index file; 0xFFFFFFFF: none */
  uintptr_t index_node;       /* the current entry, or 0 */
  uint32_t index_file_size;
  uint32_t folder_type;       /* 0 mail, 1 contacts, 2 calendar, 3 tasks, 54 groups */
  uint32_t use_count;
  uint32_t folder_status[13]; /* the 52-byte folder status */
  uintptr_t block_handle;     /* _index.blk while held, or 0 */
  uintptr_t mutex;            /* the StoreIndex mutex */
} StoreIndex;

/* Library lifecycle. */
QXSTORE_API uint32_t StoreLibrary_Init(void);
QXSTORE_API uint32_t StoreLibrary_UnInit(void);
QXSTORE_API uint32_t StoreLibrary_ThreadInit(void);
QXSTORE_API uint32_t StoreLibrary_ThreadRelease(void);
QXSTORE_API uint32_t StoreLibrary_SetAffinity(uint32_t mode);

/* Memory the library hands out is freed with Memory_Free. */
QXSTORE_API void* Memory_Allocate(uintptr_t size);
QXSTORE_API uint32_t Memory_Free(void* block);

/* Installs nothing; always 0. */
QXSTORE_API uint32_t SetLoggingFunction(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d);

QXSTORE_API uint32_t UnixTimeToFileTime(int32_t unix_seconds, FILETIME* out);
QXSTORE_API int64_t UnixTimeFromFileTime(const FILETIME* file_time);

/* Copies the text between start_tag and end_tag into out (at most size - 1
 * bytes) and returns the position just after end_tag, or NULL. */
QXSTORE_API const char* GetXMLDataEx(const char* text, const char* start_tag, const char* end_tag,
                                     char* out, uint32_t size);

/* Block files: one attempt to create the block file at path. */
QXSTORE_API uint32_t WaitForAccessToIndexFileEx(const char* path, uint32_t keep_open,
                                                uintptr_t* handle);
QXSTORE_API uint32_t UnBlockIndexFileAccessEx(const char* path, uint32_t close_handle,
                                              uintptr_t* handle);

/* Remote host: the host entry that forwarding functions use in a program
 * that is not one of the server's own (at most 1023 bytes are kept). An
 * empty name returns to the default choice. Always 1. */
QXSTORE_API uint32_t SetCurrentHost(const char* name);

/* Folder status cache: "_FOLDER.DAT" of a folder holds its 52-byte status
 * (thirteen little-endian 32-bit numbers). GetCachedStatus reads it into
 * record: 1 when at least one byte was read, 0 when the file is missing or
 * empty (record untouched). SetCachedStatus writes the 52 bytes: 1, or 0
 * when the file cannot be created. */
QXSTORE_API uint32_t GetCachedStatus(const char* postoffice, const char* mailbox,
                                     const char* folder, void* record);
QXSTORE_API uint32_t SetCachedStatus(const char* postoffice, const char* mailbox,
                                     const char* folder, void* record);

#ifdef __cplusplus
}  /* extern "C" */
#endif

/* Record layouts are fixed: they cross process and network boundaries. */
#ifdef __cplusplus
#define QXSTORE_STATIC_ASSERT static_assert
#else
#define QXSTORE_STATIC_ASSERT _Static_assert
#endif
QXSTORE_STATIC_ASSERT(sizeof(FILETIME) == 8, "FILETIME is 8 bytes");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, folder_index) == 3072, "StoreIndex.folder_index");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, entry_count) == 3080, "StoreIndex.entry_count");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, folder_directory) == 3084, "StoreIndex.folder_directory");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, modified) == 4108, "StoreIndex.modified");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, index_node) == 4120, "StoreIndex.index_node");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, folder_type) == 4132, "StoreIndex.folder_type");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, folder_status) == 4140, "StoreIndex.folder_status");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, block_handle) == 4192, "StoreIndex.block_handle");
QXSTORE_STATIC_ASSERT(offsetof(StoreIndex, mutex) == 4200, "StoreIndex.mutex");
QXSTORE_STATIC_ASSERT(sizeof(StoreIndex) == 4208, "StoreIndex is 4208 bytes");

#endif /* QXSTORE_H */
