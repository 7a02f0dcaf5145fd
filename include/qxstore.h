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
 *  - No postoffice, mailbox, folder or file name leads out of the store: a
 *    name holding ".." as a component, an absolute path where one name is
 *    expected, or a path that a symbolic link leads outside the store's
 *    roots makes the call fail, and nothing is created, read or deleted.
 *    FIFOs, devices and sockets are never opened. A remote administration
 *    host holds the full paths of the older calls to the same roots.
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
/* Writes the index object's document to the folder's index file under its
 * block file. 1 when saved with no other writer detected; 0 when not saved,
 * or when another writer had changed the file since it was loaded (the file
 * is written all the same and the folder is marked to be rescanned). Mode
 * 20 also runs StoreIndex_Sort afterwards. */
QXSTORE_API uint32_t StoreIndex_Save(StoreIndex* index, uint32_t mode);

/* Folder hierarchy. A store folder record names a folder of a mailbox by
 * its parent's path below the mailbox and its own name. The parent path is
 * "\" or "/" for the mailbox's top folder, else a path with either
 * separator; the prefixes "$VCFROOT", "$FILEROOT" and "Public/" select the
 * postoffice's contacts, the mailbox's file store and the public folders.
 * Fields are NUL-terminated; the 2576 bytes are also the record's wire form
 * when a call is forwarded. */
typedef struct STOREFOLDER {
  char mailbox[512];
  char postoffice[512];
  char parent[1024];
  char name[512];
  uint32_t size;         /* bytes of the folder and all below it (StoreFolderGetSize) */
  uint8_t reserved[12];  /* carried unchanged */
} STOREFOLDER;

/* A cache of child folder lists, one per folder directory, kept between the
 * calls of an enumeration. Opaque. Functions that take one accept NULL for
 * the calling thread's own lists, which live until StoreFolderFindClose
 * for their directory or the thread's release. */
typedef struct TLSFOLDERLIST TLSFOLDERLIST;

/* Creates the folder's directory (no parents). At the top level a special
 * name in any case ("inbox") is first written back into the record in its
 * canonical case ("Inbox"), and "Public" is refused while public folders
 * are enabled. Nonzero when the directory was created, 0 otherwise. */
QXSTORE_API uint32_t StoreFolderAdd(STOREFOLDER* folder);
/* Withdraws the folder's shares, deletes its directory tree and the
 * mailbox's size cache. An empty name removes the parent itself. 1 removed;
 * 0 when the parent is the public root or the tree could not be deleted. */
QXSTORE_API uint32_t StoreFolderRemove(STOREFOLDER* folder);
/* Renames or moves a folder's directory to the new record's place; both
 * records are canonicalised as in StoreFolderAdd. 1 moved, 0 refused (either
 * parent is the public root) or failed (the target exists, the source is
 * missing). */
QXSTORE_API uint32_t StoreFolderEdit(STOREFOLDER* old_folder, STOREFOLDER* new_folder);
/* Copies a folder's directory tree into the target's place, merging with
 * what is there. 1 copied, 0 failed (also for a target inside the source). */
QXSTORE_API uint32_t StoreFolderCopy(STOREFOLDER* source, STOREFOLDER* target);
/* Enumerates the child folders of the folder that the record's parent path
 * names, in ascending byte order of their names: each child's name goes to
 * the record's name field. 1 while a child was found, 0 at the end. The
 * caller keeps the record between calls; FindClose ends the enumeration and
 * always returns 1. */
QXSTORE_API uint32_t StoreFolderFindFirst(STOREFOLDER* folder);
QXSTORE_API uint32_t StoreFolderFindNext(STOREFOLDER* folder);
QXSTORE_API uint32_t StoreFolderFindClose(STOREFOLDER* folder);
/* The same with a caller's folder list (NULL: the thread's own).
 * TLS_StoreFolderFindClose with a list empties that list. */
QXSTORE_API uint32_t TLS_StoreFolderFindFirst(STOREFOLDER* folder, TLSFOLDERLIST* list);
QXSTORE_API uint32_t TLS_StoreFolderFindNext(STOREFOLDER* folder, TLSFOLDERLIST* list);
QXSTORE_API uint32_t TLS_StoreFolderFindClose(STOREFOLDER* folder, TLSFOLDERLIST* list);
/* Rewrites "_folder.xml" in the directory of the record's parent path from
 * the directories in it. 1 when written, 0 when it could not be created. */
QXSTORE_API uint32_t StoreFolder_ReIndexChildFolders(STOREFOLDER* folder);
/* DOS date (high half) and time of the folder's "_index.xml"; 0 when it is
 * missing or the folder is marked changed ("_CHANGE.DTY"). */
QXSTORE_API uint32_t StoreFolder_GetContentsModificationDate(STOREFOLDER* folder);
/* DOS date and time of the folder's "_folder.xml"; 0 when it is missing. */
QXSTORE_API uint32_t StoreFolder_GetHierarchyModificationDate(STOREFOLDER* folder);
/* A new, empty folder list in *list. 1. */
QXSTORE_API uint32_t CreateTLSFolderList(TLSFOLDERLIST** list);
/* Destroys *list (NULL allowed) and sets *list to NULL. 1. */
QXSTORE_API uint32_t FreeTLSFolderList(TLSFOLDERLIST** list);
/* Both empty the list's cache; the list itself stays usable. 1. */
QXSTORE_API uint32_t InitTLSFolderList(TLSFOLDERLIST* list);
QXSTORE_API uint32_t UnInitTLSFolderList(TLSFOLDERLIST* list);

/* Shares. Withdraws every share listed in the mailbox's "_Shares.xml":
 * the share entries, the shared folders' "_Access.XML" lists and the
 * grantees' security entries. Note the order: mailbox, then postoffice.
 * 1 when the share list was loaded (also when empty), 0 when it was not. */
QXSTORE_API uint32_t RemoveMailboxShares(const char* mailbox, const char* postoffice);

/* Chunked transfer of whole files, 8192 bytes at a time. A read is: an
 * optional size call, the first chunk, then next chunks until one returns
 * 0. A write is: the first chunk, which deletes and re-creates the file,
 * then next chunks, which append. Each family keeps one read offset for the
 * whole process, shared by its threads and files: run one read per family
 * at a time in a process.
 *
 * The BLOB family names a file by its full path, which must begin with the
 * "Bad Mail Directory" setting (byte for byte) and hold none of "..", two
 * backslashes or "//"; otherwise every BLOB call returns 0 and touches no
 * file. The message BLOB family names a file in a store folder; its folder
 * text carries its own leading "\" ("\Inbox"), and "Public/Sales" names a
 * public folder.
 *
 * Size calls return 0 and set length to the file's size (0 when missing).
 * Chunk reads return 1 with length bytes in data, or 0 at the end of the
 * file (length 0) or when it cannot be opened (length unchanged). Chunk
 * writes take the first length bytes of data (at most 8192) and return 1,
 * also when the file could not be opened. */
typedef struct BLOBRECORD {
  char path[1024];
  uint8_t data[8192];
  uint32_t length; /* valid bytes in data; the file's size after a size call */
} BLOBRECORD;

typedef struct MESSAGEBLOBRECORD {
  char postoffice[128];
  char mailbox[128];
  char folder[1024];
  char file[128]; /* the file's name inside the folder */
  uint8_t data[8192];
  uint32_t length; /* valid bytes in data; the file's size after a size call */
} MESSAGEBLOBRECORD;

QXSTORE_API uint32_t BLOBGetSize(BLOBRECORD* blob);
QXSTORE_API uint32_t BLOBGetFirstChunk(BLOBRECORD* blob);
QXSTORE_API uint32_t BLOBGetNextChunk(BLOBRECORD* blob);
QXSTORE_API uint32_t BLOBWriteFirstChunk(BLOBRECORD* blob);
QXSTORE_API uint32_t BLOBWriteNextChunk(BLOBRECORD* blob);
QXSTORE_API uint32_t MessageItemBLOBGetSize(MESSAGEBLOBRECORD* blob);
QXSTORE_API uint32_t MessageItemBLOBGetFirstChunk(MESSAGEBLOBRECORD* blob);
QXSTORE_API uint32_t MessageItemBLOBGetNextChunk(MESSAGEBLOBRECORD* blob);
QXSTORE_API uint32_t MessageItemBLOBWriteFirstChunk(MESSAGEBLOBRECORD* blob);
QXSTORE_API uint32_t MessageItemBLOBWriteNextChunk(MESSAGEBLOBRECORD* blob);

/* Command messages: one text file per message waiting for delivery, in a
 * queue directory, named by its message ID ("<id>.MAI"), one "Key=value"
 * line per field. Text fields are NUL-terminated; numbers are whole numbers
 * as the writer put them.
 *
 * FindFirst lists "*.MAI" of directory and FindNext continues (one listing
 * per process): 1 with the file's name in message_id, 0 at the end. Get
 * reads directory\message_id into the record: 1, or 0 when the file cannot
 * be opened (record unchanged); fields without a line keep their values and
 * server is never read. Set writes the record's nine lines, Recipients
 * first and Status last: 1, also when the file could not be written; 0 only
 * when directory\message_id does not fit 1024 bytes. */
typedef struct COMMANDMESSAGE {
  char directory[1024]; /* the queue directory; not stored in the file */
  char server[256];     /* "Server=", written only */
  char domain_name[256]; /* "DomainName=", read only */
  char recipients[24000];
  char sender[512];
  int32_t time_acquired;
  int32_t next_send_time;
  char message_id[64]; /* also the file's name in directory */
  int32_t retries;
  uint32_t reserved;
  char priority[32];
  char status[16];
} COMMANDMESSAGE;

QXSTORE_API uint32_t CommandMessageFindFirst(COMMANDMESSAGE* message);
QXSTORE_API uint32_t CommandMessageFindNext(COMMANDMESSAGE* message);
QXSTORE_API uint32_t CommandMessageGet(COMMANDMESSAGE* message);
QXSTORE_API uint32_t CommandMessageSet(COMMANDMESSAGE* message);

/* Folder index objects. StoreIndex_Init clears an object (a caller's
 * private object has no StoreIndex mutex). StoreIndex_SetPaths computes its
 * folder directory from the three names unless it is set. StoreIndex_Open
 * returns 0 on failure, 1 when the index was loaded, 2 when the document
 * already held was reused unchanged. Modes: 1 check for changes (rescan a
 * folder marked changed), notify, then reuse or load; 2 rescan the folder,
 * then load; 4 as 1 without notifying; 5 load at once; 6 as 1 without the
 * sort step; others reuse or load. StoreIndex_Get makes sure the object
 * holds its folder's document; StoreIndex_Scan rescans the folder;
 * StoreIndex_Release drops the document and closes the object's mutex;
 * StoreIndex_Sort leaves the order of the entries as they are made. All
 * return 0 for a null object. ScanFolders merges the message files of a
 * folder directory into its index (a new index with create_new; "\RECENT"
 * dropped with clear_recent): 1 when the scan completed. */
QXSTORE_API uint32_t StoreIndex_Init(StoreIndex* index);
QXSTORE_API uint32_t StoreIndex_SetPaths(StoreIndex* index);
QXSTORE_API uint32_t StoreIndex_Open(StoreIndex* index, uint32_t mode);
QXSTORE_API uint32_t StoreIndex_Get(StoreIndex* index);
QXSTORE_API uint32_t StoreIndex_Scan(StoreIndex* index);
QXSTORE_API uint32_t StoreIndex_Release(StoreIndex* index);
QXSTORE_API uint32_t StoreIndex_Sort(StoreIndex* index);
QXSTORE_API uint32_t ScanFolders(char* folder_directory, uint8_t create_new, uint8_t clear_recent);

/* Contacts. A contact folder holds one vCard file ("*.vcf") per contact and
 * an index ("_index.xml") with one ELEMENT per file, whose attributes are
 * the card's lines. ScanContacts brings the index of the folder directory
 * folder_path (no trailing separator) in step with its files: rebuild
 * nonzero starts from an empty index; mode 99 says the caller holds the
 * folder's "_index.blk" already, any other mode takes it and removes it
 * afterwards, without waiting (0 at once when another holds it). 1 when the
 * index holds the folder's contacts, 0 otherwise. Never forwarded to a
 * remote host. */
QXSTORE_API uint32_t ScanContacts(const char* folder_path, uint32_t rebuild, uint32_t mode);

/* Index items. StoreIndex_InsertItem adds an entry for a file of the
 * object's folder to its loaded document: UID LASTUID + 1, placed before
 * the first entry whose ID is greater byte by byte, the message values read
 * from the file when read_file is 1; 0 when the name is already indexed or
 * the file cannot be read. StoreIndex_RemoveItem removes the entry of a
 * file: 1 when one was removed. Both change only the document in memory;
 * the caller commits (StoreIndex_Save).
 * StoreIndex_SetItemPropertyItem and StoreIndex_GetItemPropertyItem write
 * and read one property of a store item (see the store items below). `item`
 * is a thread's store item record, NULL for the calling thread's own (the
 * item selected after StoreFolder_Open); `entry` NULL means the item's
 * current entry. Set takes the value in the property's caller type, marks
 * the entry pending until the item is saved, and leaves the index object's
 * modified flag alone: 1 written, 0 otherwise. Get returns 2 with *value
 * allocated (free it with Memory_Free) and *type the caller type, or 0 when
 * the property is unknown or absent. */
QXSTORE_API uint32_t StoreIndex_InsertItem(StoreIndex* index, const char* file_name,
                                           uint32_t read_file);
QXSTORE_API uint32_t StoreIndex_RemoveItem(StoreIndex* index, const char* file_name,
                                           uint32_t mode);
QXSTORE_API uint32_t StoreIndex_SetItemPropertyItem(void* item, void* entry,
                                                    const char* property_name,
                                                    const void* value);
QXSTORE_API uint32_t StoreIndex_GetItemPropertyItem(void* item, const char* property_name,
                                                    void** value, uint32_t* type);

/* Store items: a thread opens one folder of a mailbox as a collection of
 * typed items, walks or selects them, reads and writes their properties by
 * name (PR_SUBJECT, PR_QX_FLAGSTATUS, PR_BODY, ...) and saves. Every call
 * works on the calling thread's record and runs in this process.
 *
 * Folder types: 0 messages, 1 contacts, 2 appointments, 3 tasks, 4 files,
 * 5 an iCalendar file or "http://" address read as a list of VEVENTs. A type
 * whose items this library cannot serve opens with 0.
 *
 * Threads share one index object per folder while affinity is off
 * (StoreLibrary_SetAffinity); with affinity on (the state at load) each
 * thread has its own. A thread has one folder open: opening another lets
 * the first go.
 *
 * StoreFolder_Open: 0 failed; 1 index opened (loaded, or reused unchanged);
 * 2 this thread has the same folder open already (nothing is reloaded), or
 * open_mode is 200 (attached without loading: the first find or select
 * loads it). StoreFolder_OpenItem opens one item alone under its own key:
 * 1 the item was loaded from its file as the current item, 2 the same item
 * is open on this thread already, 0 failed (also for an identifier holding
 * a path separator). Its changes are written back by StoreFolder_Save or
 * StoreItem_SaveToStore of that thread; the folder's index is not written.
 * StoreFolder_Close lets the folder go; StoreFolder_FindClose also clears
 * the thread's folder names. Both 1.
 *
 * StoreFolder_FindFirstItem and StoreFolder_FindNextItem step through the
 * items, StoreFolder_SelectItem selects one by its identifier (its file
 * name), StoreFolder_SelectItemByField by the value of an index field
 * (exactly; with match_option nonzero without regard to case): nonzero when
 * an item became current. StoreFolder_CreateItem: 1 when an item with that
 * identifier exists (it becomes current) or the identifier is empty,
 * otherwise the result of inserting a new entry, which becomes current.
 * StoreFolder_DeleteItem removes the item's entry: 1 removed, 0 not found.
 * All 0 when no folder is open.
 *
 * StoreItem_GetProperty: 2 with *value a new block of *size bytes (free it
 * with StoreItem_FreeProperty); 1 with *value pointing into the item (valid
 * until the item changes); 0 or -1 when not found (*value NULL). Values come
 * in the property's caller type, StoreItemProperty_GetType: 3 FILETIME,
 * 7 int32_t, 9 double, 10 int32_t 0 or 1, 12 int32_t sensitivity (PUBLIC 0,
 * PRIVATE 2, CONFIDENTIAL 3), 16 UTF-16LE text, and NUL-terminated text for
 * 1, 4, 6, 8, 14, 15 (size = length + 1). QX_POSTOFFICE, QX_MAILBOX,
 * QX_FOLDER and QX_FOLDER_PATH give the item's names and folder directory.
 * StoreItem_SetProperty takes the value in the same form; a non-empty
 * item_id first selects (or creates, as StoreFolder_CreateItem) that item.
 * It returns 1 whenever a folder is open (0 otherwise), also for a name the
 * folder type does not know. The change is kept in the index (or, for bodies
 * and calendar parts of tasks, written into the item's file at once) and
 * marks the item pending.
 *
 * StoreFolder_Save writes the thread's pending items back and commits the
 * folder's index; Store_Save does so for every folder open in the process;
 * StoreItem_SaveToStore writes back the current item. All 1 (SaveToStore 0
 * when no folder is open); the argument of the first two is not read.
 *
 * StoreItemProperty_GetType: the caller type of a property for a folder type
 * 0 to 4, 1 when that type does not know the name; for any other type the
 * message, contact and appointment types are tried in turn, 0 when none
 * knows it. It needs no open folder. */
QXSTORE_API uint32_t StoreFolder_Open(const char* postoffice, const char* mailbox,
                                      const char* folder, uint32_t folder_type,
                                      uint32_t open_mode);
QXSTORE_API uint32_t StoreFolder_OpenItem(const char* postoffice, const char* mailbox,
                                          const char* folder, const char* item_id,
                                          uint32_t folder_type);
QXSTORE_API uint32_t StoreFolder_Close(void);
QXSTORE_API uint32_t StoreFolder_FindClose(void);
QXSTORE_API uint32_t StoreFolder_Save(uint32_t unused);
QXSTORE_API uint32_t Store_Save(uint32_t unused);
QXSTORE_API uint32_t StoreFolder_CreateItem(const char* item_id);
QXSTORE_API uint32_t StoreFolder_DeleteItem(const char* item_id);
QXSTORE_API uint32_t StoreFolder_SelectItem(const char* item_id);
QXSTORE_API uint32_t StoreFolder_SelectItemByField(const char* field, const char* value);
QXSTORE_API uint32_t StoreFolder_SelectItemByField_Ex(const char* field, const char* value,
                                                      uint32_t match_option);
QXSTORE_API uint32_t StoreFolder_FindFirstItem(void);
QXSTORE_API uint32_t StoreFolder_FindNextItem(void);
QXSTORE_API int32_t StoreItem_GetProperty(const char* name, void** value, uint32_t* size);
QXSTORE_API uint32_t StoreItem_SetProperty(const char* item_id, const char* name,
                                           const void* value);
QXSTORE_API uint32_t StoreItem_FreeProperty(void* value);
QXSTORE_API uint32_t StoreItem_SaveToStore(void);
QXSTORE_API uint32_t StoreItemProperty_GetType(const char* name, uint32_t folder_type);

/* Index transactions for programs that have just written or deleted
 * message files in a folder. Each takes the folder's block file, tells the
 * mailbox's connected clients "COMMIT", applies a comma-separated list of
 * file names to the folder's index, saves it, releases the block and
 * adjusts the mailbox's and the folder's size caches (_DIRSIZE.TMP). A
 * transaction that finds the block taken returns 0 at once and changes
 * nothing (an insert also marks the folder changed, so the next open
 * rescans it); the caller may retry. Files already indexed (insert) or not
 * indexed (update, remove) are skipped.
 * InsertItemEx: field i of flag_list holds the flags of file i (one field
 * serves every file); a flag list holding "$QXGROUP" sends the entries to
 * the group index _groups.xml. UpdateItem applies a flag change text to each
 * file's flags: "+\SEEN" adds, "-\RECENT" removes, a text whose first word
 * has no sign replaces the flags; READ follows \SEEN. */
QXSTORE_API uint32_t Direct_StoreIndex_InsertItem(const char* postoffice, const char* mailbox,
                                                  const char* folder, const char* file_list);
QXSTORE_API uint32_t Direct_StoreIndex_InsertItemEx(const char* postoffice, const char* mailbox,
                                                    const char* folder, const char* file_list,
                                                    const char* flag_list);
QXSTORE_API uint32_t Direct_StoreIndex_UpdateItem(const char* postoffice, const char* mailbox,
                                                  const char* folder, const char* file_list,
                                                  const char* flag_changes);
QXSTORE_API uint32_t Direct_StoreIndex_RemoveItem(const char* postoffice, const char* mailbox,
                                                  const char* folder, const char* file_list);

/* Content search over the files of one directory tree, on the calling
 * thread's own search state (created on first use, freed by
 * MsgSearch_UnInit or when the thread ends). Never forwarded.
 *
 * Parameters, kept between searches: "SearchString" the pattern,
 * "Directory" the start directory (at most 259 characters are kept),
 * "SearchSubFolders" non-zero to search the directories below it (except
 * those whose name begins with "."), "CaseSensitive" exactly 1 to compare
 * with case. The setters return 1 for these names and 0 for any other.
 *
 * A file matches when one 1023-byte piece of it, read from the start,
 * matches the pattern as a whole. '*' is the only wildcard and each '*' is
 * tried only at the first occurrence of the character after it, so a word
 * is searched for with "*word*", and "*ab*" does not match "xaxab".
 *
 * MsgSearch_FindAll runs the search: the result list holds the matching
 * paths relative to the start directory, joined by ",", depth first
 * ("a.txt,sub\b.txt"); always 1. StoreItem_FirstMatch runs the search and
 * moves to the first path, StoreItem_NextMatch to the next: 1 when there is
 * one, else 0. StoreItem_GetMatchProp: "Filename" the current path (NULL
 * and length 0 when there is none), "FilenameList" the whole list; the text
 * belongs to the search state and stays valid until the next search call;
 * 1 for these names, 0 for any other. */
QXSTORE_API uint32_t MsgSearch_Init(void);
QXSTORE_API uint32_t MsgSearch_SetParameter_String(const char* name, const char* value);
QXSTORE_API uint32_t MsgSearch_SetParameter_Int(const char* name, uint32_t value);
QXSTORE_API uint32_t MsgSearch_FindAll(void);
QXSTORE_API uint32_t StoreItem_FirstMatch(void);
QXSTORE_API uint32_t StoreItem_NextMatch(void);
QXSTORE_API uint32_t StoreItem_GetMatchProp(const char* name, char** value, uint32_t* length);
QXSTORE_API uint32_t MsgSearch_UnInit(void);

/* Folders and messages through the older flat interface: plain directory
 * operations, the elements of a folder's "_index.xml" one at a time, and
 * plain directory listings. Each call runs on the remote administration
 * host while forwarding is active, else here. Listings, the enumerated
 * index and its element list are kept once per process: run one of each
 * kind at a time in a process. The position in the element list is kept
 * per thread.
 *
 * Folder calls work on directory\name. FolderAdd creates it (one level),
 * FolderRemove removes it (it must be empty), FolderEdit moves it to the
 * second record's directory\name: nonzero when done. FolderGet examines
 * nothing and returns 1. FolderFindFirst lists the names without an
 * extension in directory, directories and files alike, "." and ".." first;
 * FolderFindNext continues that listing whatever the record holds: 1 with a
 * name in the record, 0 at the end. FolderFindClose ends it and returns 0. */
typedef struct FOLDERRECORD {
  char directory[1024]; /* full path of the parent directory */
  char name[512];       /* the child directory; filled by the find calls */
  uint32_t reserved;    /* neither read nor written */
} FOLDERRECORD;

QXSTORE_API uint32_t FolderAdd(FOLDERRECORD* folder);
QXSTORE_API uint32_t FolderGet(FOLDERRECORD* folder);
QXSTORE_API uint32_t FolderRemove(FOLDERRECORD* folder);
QXSTORE_API uint32_t FolderEdit(FOLDERRECORD* old_folder, FOLDERRECORD* new_folder);
QXSTORE_API uint32_t FolderFindFirst(FOLDERRECORD* folder);
QXSTORE_API uint32_t FolderFindNext(FOLDERRECORD* folder);
QXSTORE_API uint32_t FolderFindClose(FOLDERRECORD* folder);

/* MessageItemFindFirst rebuilds the folder's index when rescan is set, when
 * the index is missing or while another holder blocks it, then loads it and
 * returns its first ELEMENT; with a filter, the elements of the document the
 * stylesheet makes of the index (its output must keep the
 * BASEELEMENT/ELEMENT shape). MessageItemFindNext returns the element at the
 * thread's position and moves on; MessageItemListSetPosition sets that
 * position (0 is the first element). Both return 1 with the item filled, 0
 * at the end; FindFirst also 0 when the index does not load or the filter is
 * not well-formed XML. MessageItemFindClose releases the index (the list
 * stays usable until it runs out) and returns 1.
 *
 * The counts: while an enumeration is open they count its list, and the
 * unread and new counts narrow the rest of the enumeration to the elements
 * whose READ is not "1". Otherwise they load the index on their own and
 * count all elements, the unread ones, or those whose FLAGS is "/RECENT"
 * (the store keeps flags in FLAGSTATUS, so that count is 0 for its own
 * indexes), leaving no enumeration open and the position at 0. */
typedef struct MESSAGELISTRECORD {
  char folder[1024];    /* "\Inbox"; "\" or "/" alone: the mailbox directory;
                           "Public" names the public folders, "Public/Sales" one of them */
  char postoffice[128];
  char mailbox[128];
  char filter[4096];    /* empty, or the text of an XSL stylesheet */
  uint32_t rescan;      /* nonzero: rebuild the index before reading it */
} MESSAGELISTRECORD;

typedef struct MESSAGEITEMRECORD {
  uint32_t status;  /* always 0 */
  int32_t uid;      /* the element's UID, 0 without one */
  char id[128];     /* the element's ID: the item's file name */
  char xml[2048];   /* the whole element as XML text, cut to 2047 bytes */
} MESSAGEITEMRECORD;

QXSTORE_API uint32_t MessageItemFindFirst(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item);
QXSTORE_API uint32_t MessageItemFindNext(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item);
QXSTORE_API uint32_t MessageItemFindClose(MESSAGELISTRECORD* list);
QXSTORE_API uint32_t MessageItemListSetPosition(uint32_t* position);
QXSTORE_API uint32_t MessageItemListGetLength(MESSAGELISTRECORD* list);
QXSTORE_API uint32_t MessageItemListGetNewLength(MESSAGELISTRECORD* list);
QXSTORE_API uint32_t MessageItemListGetUnReadLength(MESSAGELISTRECORD* list);

/* MessagesFindFirst lists the pattern when it holds '*', else every entry
 * of the directory it names ("." and ".." too); MessagesFindNext continues:
 * 1 with the entry in the record, 0 at the end. */
typedef struct MESSAGESEARCHRECORD {
  char pattern[1024]; /* a directory, or a listing pattern with '*' */
  uint32_t size;      /* the entry's size in bytes (low 32 bits) */
  uint32_t created;   /* its creation time in Unix seconds (low 32 bits) */
  char name[128];
} MESSAGESEARCHRECORD;

QXSTORE_API uint32_t MessagesFindFirst(MESSAGESEARCHRECORD* search);
QXSTORE_API uint32_t MessagesFindNext(MESSAGESEARCHRECORD* search);

/* Mailbox and postoffice sizes, for quota checks. ------------------------ */

/* A mailbox's size query, also filled by the postoffice configuration
 * provider (libqxaipo.so) while it enumerates a postoffice's mailboxes. */
typedef struct MAILBOXSIZE {
  char postoffice[128];
  char mailbox[64];
  uint8_t provider_data[516]; /* the provider's own mailbox data; not read here */
  uint32_t enabled;           /* 0 = disabled */
  int32_t quota_kb;           /* 0 or negative = no limit */
  uint32_t size_kb;           /* result */
} MAILBOXSIZE;

/* The mailbox's size in KB into size_kb, from a cache "_DIRSIZE.TMP" aged 1
 * to 1200 seconds or computed anew by "Quota Enumeration Mode": Inbox only
 * (result 0 always) or the whole mailbox (1 when a size was found, else 0
 * with size 0). 0 without a size for a disabled mailbox or an unknown mode. */
QXSTORE_API uint32_t GetMailboxSize(MAILBOXSIZE* mailbox);
/* The total size in KB of the postoffice's mailboxes as the postoffice
 * configuration provider lists them; 0 when the provider cannot be used. */
QXSTORE_API uint32_t GetPostofficeSize(const char* postoffice);
/* Both 1; the record's size receives the bytes of the folder its parent path
 * names and of all folders below it, summed from their indexes (small
 * indexes of folders marked changed are rescanned first). 0 with size 0 for
 * names that lead out of the store. StoreFolderGet is
 * forwarded to the remote administration host when one is in use. */
QXSTORE_API uint32_t StoreFolderGet(STOREFOLDER* folder);
QXSTORE_API uint32_t StoreFolderGetSize(STOREFOLDER* folder);
/* The highest N among the mailbox's delivery flags "_<N>.NEW", 0 when there
 * are none; the flags are deleted. */
QXSTORE_API uint32_t StoreGetDeliveredMessageCount(STOREFOLDER* folder);

/* Calendar provider files. Besides its appointment messages, a mailbox's
 * Calendar folder files every appointment by date in small text files
 * "<bucket>.CAL", one line "<start>\t<end>\t<identifier>" per appointment
 * (LF between lines, none after the last). The bucket comes from the UTC
 * dates of start and end, years counted from 2000: "Y11M03D15" for one day,
 * "Y11M03" for one month, "Y11" for one year (year - 2000 without padding),
 * "Y" otherwise. Callers fill in the bucket before every call. Each call
 * runs on the remote administration host while forwarding is active, else
 * here; all give 0 for an empty postoffice name, and for names that would
 * lead out of the store.
 *
 * AppointmentAdd files the entry unless its bucket holds its identifier
 * already: 1 added, 0 otherwise. AppointmentRemove removes every line of
 * the identifier (every line for an empty identifier), deleting the file
 * when none is left: 1 when a line went. AppointmentEdit replaces, in the
 * old entry's bucket, the lines of the old identifier by the new entry's
 * times and identifier: 1 when the file was processed. AppointmentGet fills
 * start, end and identifier from the last line of the identifier (any line
 * for an empty one): 1 found. AppointmentFindFirst and AppointmentFindNext
 * step through the lines of the bucket that match the same way, with one
 * position per thread: 1 with the entry filled, 0 at the end or without a
 * file. The identifier filled in selects the next call's lines: a caller
 * walking every line empties it before each call. Writers wait for the bucket's block file "<bucket>.BLK" up to "Write
 * Wait Timeout" seconds and then break it; readers wait up to "Read Wait
 * Timeout" seconds. A rewritten file keeps its previous content as
 * "<bucket>.BAK". Text fields are NUL-terminated. */
typedef struct APPOINTMENTRECORD {
  char mailbox[256];
  char postoffice[256];
  int32_t start;         /* Unix seconds */
  int32_t end;           /* Unix seconds */
  char identifier[64];   /* the appointment message's file name */
  char bucket[64];       /* the provider file's base name, as above */
} APPOINTMENTRECORD;

QXSTORE_API uint32_t AppointmentAdd(APPOINTMENTRECORD* entry);
QXSTORE_API uint32_t AppointmentRemove(APPOINTMENTRECORD* entry);
QXSTORE_API uint32_t AppointmentEdit(APPOINTMENTRECORD* old_entry, APPOINTMENTRECORD* new_entry);
QXSTORE_API uint32_t AppointmentGet(APPOINTMENTRECORD* entry);
QXSTORE_API uint32_t AppointmentFindFirst(APPOINTMENTRECORD* entry);
QXSTORE_API uint32_t AppointmentFindNext(APPOINTMENTRECORD* entry);

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

QXSTORE_STATIC_ASSERT(offsetof(STOREFOLDER, postoffice) == 512, "STOREFOLDER.postoffice");
QXSTORE_STATIC_ASSERT(offsetof(STOREFOLDER, parent) == 1024, "STOREFOLDER.parent");
QXSTORE_STATIC_ASSERT(offsetof(STOREFOLDER, name) == 2048, "STOREFOLDER.name");
QXSTORE_STATIC_ASSERT(offsetof(STOREFOLDER, size) == 2560, "STOREFOLDER.size");
QXSTORE_STATIC_ASSERT(offsetof(STOREFOLDER, reserved) == 2564, "STOREFOLDER.reserved");
QXSTORE_STATIC_ASSERT(sizeof(STOREFOLDER) == 2576, "STOREFOLDER is 2576 bytes");

QXSTORE_STATIC_ASSERT(offsetof(BLOBRECORD, data) == 1024, "BLOBRECORD.data");
QXSTORE_STATIC_ASSERT(offsetof(BLOBRECORD, length) == 9216, "BLOBRECORD.length");
QXSTORE_STATIC_ASSERT(sizeof(BLOBRECORD) == 9220, "BLOBRECORD is 9220 bytes");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEBLOBRECORD, mailbox) == 128, "MESSAGEBLOBRECORD.mailbox");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEBLOBRECORD, folder) == 256, "MESSAGEBLOBRECORD.folder");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEBLOBRECORD, file) == 1280, "MESSAGEBLOBRECORD.file");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEBLOBRECORD, data) == 1408, "MESSAGEBLOBRECORD.data");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEBLOBRECORD, length) == 9600, "MESSAGEBLOBRECORD.length");
QXSTORE_STATIC_ASSERT(sizeof(MESSAGEBLOBRECORD) == 9604, "MESSAGEBLOBRECORD is 9604 bytes");

QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, server) == 1024, "COMMANDMESSAGE.server");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, domain_name) == 1280, "COMMANDMESSAGE.domain_name");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, recipients) == 1536, "COMMANDMESSAGE.recipients");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, sender) == 25536, "COMMANDMESSAGE.sender");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, time_acquired) == 26048,
                      "COMMANDMESSAGE.time_acquired");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, next_send_time) == 26052,
                      "COMMANDMESSAGE.next_send_time");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, message_id) == 26056, "COMMANDMESSAGE.message_id");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, retries) == 26120, "COMMANDMESSAGE.retries");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, reserved) == 26124, "COMMANDMESSAGE.reserved");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, priority) == 26128, "COMMANDMESSAGE.priority");
QXSTORE_STATIC_ASSERT(offsetof(COMMANDMESSAGE, status) == 26160, "COMMANDMESSAGE.status");
QXSTORE_STATIC_ASSERT(sizeof(COMMANDMESSAGE) == 26176, "COMMANDMESSAGE is 26176 bytes");

QXSTORE_STATIC_ASSERT(offsetof(FOLDERRECORD, name) == 1024, "FOLDERRECORD.name");
QXSTORE_STATIC_ASSERT(offsetof(FOLDERRECORD, reserved) == 1536, "FOLDERRECORD.reserved");
QXSTORE_STATIC_ASSERT(sizeof(FOLDERRECORD) == 1540, "FOLDERRECORD is 1540 bytes");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGELISTRECORD, postoffice) == 1024,
                      "MESSAGELISTRECORD.postoffice");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGELISTRECORD, mailbox) == 1152, "MESSAGELISTRECORD.mailbox");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGELISTRECORD, filter) == 1280, "MESSAGELISTRECORD.filter");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGELISTRECORD, rescan) == 5376, "MESSAGELISTRECORD.rescan");
QXSTORE_STATIC_ASSERT(sizeof(MESSAGELISTRECORD) == 5380, "MESSAGELISTRECORD is 5380 bytes");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEITEMRECORD, uid) == 4, "MESSAGEITEMRECORD.uid");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEITEMRECORD, id) == 8, "MESSAGEITEMRECORD.id");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGEITEMRECORD, xml) == 136, "MESSAGEITEMRECORD.xml");
QXSTORE_STATIC_ASSERT(sizeof(MESSAGEITEMRECORD) == 2184, "MESSAGEITEMRECORD is 2184 bytes");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGESEARCHRECORD, size) == 1024, "MESSAGESEARCHRECORD.size");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGESEARCHRECORD, created) == 1028,
                      "MESSAGESEARCHRECORD.created");
QXSTORE_STATIC_ASSERT(offsetof(MESSAGESEARCHRECORD, name) == 1032, "MESSAGESEARCHRECORD.name");
QXSTORE_STATIC_ASSERT(sizeof(MESSAGESEARCHRECORD) == 1160, "MESSAGESEARCHRECORD is 1160 bytes");

QXSTORE_STATIC_ASSERT(offsetof(MAILBOXSIZE, mailbox) == 128, "MAILBOXSIZE.mailbox");
QXSTORE_STATIC_ASSERT(offsetof(MAILBOXSIZE, provider_data) == 192, "MAILBOXSIZE.provider_data");
QXSTORE_STATIC_ASSERT(offsetof(MAILBOXSIZE, enabled) == 708, "MAILBOXSIZE.enabled");
QXSTORE_STATIC_ASSERT(offsetof(MAILBOXSIZE, quota_kb) == 712, "MAILBOXSIZE.quota_kb");
QXSTORE_STATIC_ASSERT(offsetof(MAILBOXSIZE, size_kb) == 716, "MAILBOXSIZE.size_kb");
QXSTORE_STATIC_ASSERT(sizeof(MAILBOXSIZE) == 720, "MAILBOXSIZE is 720 bytes");

QXSTORE_STATIC_ASSERT(offsetof(APPOINTMENTRECORD, postoffice) == 256,
                      "APPOINTMENTRECORD.postoffice");
QXSTORE_STATIC_ASSERT(offsetof(APPOINTMENTRECORD, start) == 512, "APPOINTMENTRECORD.start");
QXSTORE_STATIC_ASSERT(offsetof(APPOINTMENTRECORD, end) == 516, "APPOINTMENTRECORD.end");
QXSTORE_STATIC_ASSERT(offsetof(APPOINTMENTRECORD, identifier) == 520,
                      "APPOINTMENTRECORD.identifier");
QXSTORE_STATIC_ASSERT(offsetof(APPOINTMENTRECORD, bucket) == 584, "APPOINTMENTRECORD.bucket");
QXSTORE_STATIC_ASSERT(sizeof(APPOINTMENTRECORD) == 648, "APPOINTMENTRECORD is 648 bytes");

#endif /* QXSTORE_H */
