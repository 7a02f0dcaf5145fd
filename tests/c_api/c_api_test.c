/* Every exported function called from plain C through the shared library,
 * on a small store in a temporary directory. The C++ tests reach the same
 * code through C++ declarations; this program sees the records as a C
 * caller lays them out, so a field the library writes at another offset,
 * a record it takes for bigger or smaller, or a result of another width
 * shows up here. tests/c_api/check_coverage.cmake fails the suite when an
 * export is never called below. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <ftw.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "qxstore.h"

static const char* phase = "";

static void StartPhase(const char* name) {
  phase = name;
  printf("=== Test %s\n", name);
}

#define CheckCondition(cond)                                                                    \
  do {                                                                                          \
    if (!(cond)) {                                                                              \
      fprintf(stderr, "%s:%d: %s: check failed: %s\n", __FILE__, __LINE__, phase, #cond);       \
      exit(1);                                                                                  \
    }                                                                                           \
  } while (0)

#define CheckText(actual, expected) CheckCondition(strcmp((actual), (expected)) == 0)

/* A record followed by a guard word, to catch a write past its end. */
#define GUARD 0x600DF00Du

/* Files under the temporary root. ---------------------------------------- */

static char root[256];

/* root/relative, in one of a few rotating buffers. */
static const char* At(const char* format, ...) {
  static char buffers[8][1280];
  static int next = 0;
  char relative[900];
  va_list args;
  va_start(args, format);
  vsnprintf(relative, sizeof relative, format, args);
  va_end(args);
  char* out = buffers[next++ % 8];
  snprintf(out, sizeof buffers[0], "%s/%s", root, relative);
  return out;
}

static void MakeDirs(const char* path) {
  char partial[1024];
  snprintf(partial, sizeof partial, "%s", path);
  for (char* slash = partial + 1; *slash != '\0'; ++slash) {
    if (*slash != '/') continue;
    *slash = '\0';
    mkdir(partial, 0700);
    *slash = '/';
  }
  mkdir(partial, 0700);
}

static void WriteBytes(const char* path, const void* data, size_t size) {
  char directory[1024];
  snprintf(directory, sizeof directory, "%s", path);
  *strrchr(directory, '/') = '\0';
  MakeDirs(directory);
  FILE* file = fopen(path, "wb");
  CheckCondition(file != NULL);
  CheckCondition(fwrite(data, 1, size, file) == size);
  fclose(file);
}

static void WriteText(const char* path, const char* text) { WriteBytes(path, text, strlen(text)); }

/* The file's bytes, NUL-terminated, into out; its size, or -1. */
static long ReadBytes(const char* path, char* out, size_t capacity) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) return -1;
  size_t size = fread(out, 1, capacity - 1, file);
  fclose(file);
  out[size] = '\0';
  return (long)size;
}

static int Exists(const char* path) { return access(path, F_OK) == 0; }

static long FileSize(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 ? (long)st.st_size : -1;
}

/* 2021-03-04 05:06:08 UTC and its DOS date (high half) and time. */
static const time_t kStampTime = 1614834368;
static const uint32_t kStampDos = ((41u << 9 | 3u << 5 | 4u) << 16) | (5u << 11 | 6u << 5 | 4u);

static void SetWriteTime(const char* path, time_t seconds) {
  struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  CheckCondition(utimensat(AT_FDCWD, path, times, 0) == 0);
}

static int RemoveEntry(const char* path, const struct stat* st, int flag, struct FTW* ftw) {
  (void)st, (void)flag, (void)ftw;
  return remove(path);
}

static void RemoveRoot(void) {
  if (root[0] != '\0') nftw(root, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

/* The store. ------------------------------------------------------------- */

static const char* kMessageA = "From: ann@example.org\r\nSubject: first\r\n\r\nHello\r\n";
static const char* kMessageB = "From: bob@example.org\r\nSubject: second\r\nX-Read: 1\r\n\r\nAgain\r\n";
static const char* kMessageC = "From: cy@example.org\r\nSubject: third\r\n\r\nOnce more, longer\r\n";

static const char* Inbox(const char* file) { return At("mail/PO/MAILROOT/box/Inbox/%s", file); }
static const char* Mailbox(const char* file) { return At("mail/PO/MAILROOT/box/%s", file); }

/* A postoffice PO with the mailbox "box" (an Inbox of three messages), a
 * postoffice PO2 with one mailbox for the size calls, and a registry file
 * naming the mail root, the bad mail directory and the directories of the
 * configuration and the sibling libraries. */
static void BuildStore(void) {
  snprintf(root, sizeof root, "%s", "/tmp/qxstore-capi-XXXXXX");
  CheckCondition(mkdtemp(root) != NULL);
  atexit(RemoveRoot);
  WriteText(Inbox("A.MAI"), kMessageA);
  WriteText(Inbox("B.MAI"), kMessageB);
  WriteText(Inbox("C.MAI"), kMessageC);
  char big[3072];
  memset(big, 'x', sizeof big);
  WriteBytes(At("mail/PO2/MAILROOT/solo/Inbox/a.MAI"), big, sizeof big);
  WriteBytes(At("mail/PO2/MAILROOT/solo/Inbox/b.MAI"), big, 2048);
  MakeDirs(At("badmail"));
  MakeDirs(At("queue"));

  char registry[4096];
  snprintf(registry, sizeof registry,
           "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera]\r\n"
           "\"Mail Root\"=\"%s\"\r\n\"Bad Mail Directory\"=\"%s\"\r\n"
           "\"Configuration Directory\"=\"%s\"\r\n\"Application Directory\"=\"%s\"\r\n\r\n",
           At("mail"), At("badmail"), At("config"), At("app"));
  WriteText(At("registry.reg"), registry);
#ifdef QX_PROVIDER_DIR
  /* The postoffice configuration provider built beside the library. */
  MakeDirs(At("app64"));
  CheckCondition(symlink(QX_PROVIDER_DIR "/libqxaipo.so", At("app64/libqxaipo.so")) == 0);
#endif
}

/* Records. --------------------------------------------------------------- */

static STOREFOLDER BoxFolder(const char* parent, const char* name) {
  STOREFOLDER folder;
  memset(&folder, 0, sizeof folder);
  strcpy(folder.postoffice, "PO");
  strcpy(folder.mailbox, "box");
  snprintf(folder.parent, sizeof folder.parent, "%s", parent);
  snprintf(folder.name, sizeof folder.name, "%s", name);
  return folder;
}

/* The element of ID `id` in the Inbox's index, as text ("" without one). */
static const char* IndexEntry(const char* id) {
  static char index[16384], entry[2048], start[160];
  CheckCondition(ReadBytes(Inbox("_index.xml"), index, sizeof index) > 0);
  snprintf(start, sizeof start, "ID=\"%s\"", id);
  if (GetXMLDataEx(index, start, "</ELEMENT>", entry, sizeof entry) == NULL) entry[0] = '\0';
  return entry;
}

/* Phases. ---------------------------------------------------------------- */

#define FIELD(type, member, offset, size)                  \
  CheckCondition(offsetof(type, member) == (offset) &&     \
                 sizeof(((type*)0)->member) == (size))

static void TestLayouts(void) {
  StartPhase("layouts");
  CheckCondition(sizeof(FILETIME) == 8);
  FIELD(FILETIME, dwHighDateTime, 4, 4);
  CheckCondition(sizeof(StoreIndex) == 4208);
  FIELD(StoreIndex, mailbox, 1024, 1024); FIELD(StoreIndex, folder, 2048, 1024);
  FIELD(StoreIndex, folder_index, 3072, 8); FIELD(StoreIndex, entry_count, 3080, 4);
  FIELD(StoreIndex, folder_directory, 3084, 1024); FIELD(StoreIndex, modified, 4108, 4);
  FIELD(StoreIndex, last_uid, 4112, 4); FIELD(StoreIndex, index_stamp, 4116, 4);
  FIELD(StoreIndex, index_node, 4120, 8); FIELD(StoreIndex, index_file_size, 4128, 4);
  FIELD(StoreIndex, folder_type, 4132, 4); FIELD(StoreIndex, use_count, 4136, 4);
  FIELD(StoreIndex, folder_status, 4140, 52); FIELD(StoreIndex, block_handle, 4192, 8);
  FIELD(StoreIndex, mutex, 4200, 8);
  CheckCondition(sizeof(STOREFOLDER) == 2576);
  FIELD(STOREFOLDER, postoffice, 512, 512); FIELD(STOREFOLDER, parent, 1024, 1024);
  FIELD(STOREFOLDER, name, 2048, 512); FIELD(STOREFOLDER, size, 2560, 4);
  FIELD(STOREFOLDER, reserved, 2564, 12);
  CheckCondition(sizeof(BLOBRECORD) == 9220);
  FIELD(BLOBRECORD, data, 1024, 8192); FIELD(BLOBRECORD, length, 9216, 4);
  CheckCondition(sizeof(MESSAGEBLOBRECORD) == 9604);
  FIELD(MESSAGEBLOBRECORD, mailbox, 128, 128); FIELD(MESSAGEBLOBRECORD, folder, 256, 1024);
  FIELD(MESSAGEBLOBRECORD, file, 1280, 128); FIELD(MESSAGEBLOBRECORD, data, 1408, 8192);
  FIELD(MESSAGEBLOBRECORD, length, 9600, 4);
  CheckCondition(sizeof(COMMANDMESSAGE) == 26176);
  FIELD(COMMANDMESSAGE, server, 1024, 256); FIELD(COMMANDMESSAGE, domain_name, 1280, 256);
  FIELD(COMMANDMESSAGE, recipients, 1536, 24000); FIELD(COMMANDMESSAGE, sender, 25536, 512);
  FIELD(COMMANDMESSAGE, time_acquired, 26048, 4); FIELD(COMMANDMESSAGE, next_send_time, 26052, 4);
  FIELD(COMMANDMESSAGE, message_id, 26056, 64); FIELD(COMMANDMESSAGE, retries, 26120, 4);
  FIELD(COMMANDMESSAGE, reserved, 26124, 4); FIELD(COMMANDMESSAGE, priority, 26128, 32);
  FIELD(COMMANDMESSAGE, status, 26160, 16);
  CheckCondition(sizeof(FOLDERRECORD) == 1540);
  FIELD(FOLDERRECORD, name, 1024, 512); FIELD(FOLDERRECORD, reserved, 1536, 4);
  CheckCondition(sizeof(MESSAGELISTRECORD) == 5380);
  FIELD(MESSAGELISTRECORD, postoffice, 1024, 128); FIELD(MESSAGELISTRECORD, mailbox, 1152, 128);
  FIELD(MESSAGELISTRECORD, filter, 1280, 4096); FIELD(MESSAGELISTRECORD, rescan, 5376, 4);
  CheckCondition(sizeof(MESSAGEITEMRECORD) == 2184);
  FIELD(MESSAGEITEMRECORD, uid, 4, 4); FIELD(MESSAGEITEMRECORD, id, 8, 128);
  FIELD(MESSAGEITEMRECORD, xml, 136, 2048);
  CheckCondition(sizeof(MESSAGESEARCHRECORD) == 1160);
  FIELD(MESSAGESEARCHRECORD, size, 1024, 4); FIELD(MESSAGESEARCHRECORD, created, 1028, 4);
  FIELD(MESSAGESEARCHRECORD, name, 1032, 128);
  CheckCondition(sizeof(MAILBOXSIZE) == 720);
  FIELD(MAILBOXSIZE, mailbox, 128, 64); FIELD(MAILBOXSIZE, provider_data, 192, 516);
  FIELD(MAILBOXSIZE, enabled, 708, 4); FIELD(MAILBOXSIZE, quota_kb, 712, 4);
  FIELD(MAILBOXSIZE, size_kb, 716, 4);
}

/* The library read its settings when it was loaded, before main set the
 * registry: a new start reads them again from the test's file. */
static void TestLifecycle(void) {
  StartPhase("lifecycle");
  CheckCondition(StoreLibrary_UnInit() == 1);
  CheckCondition(StoreLibrary_Init() == 1);
  CheckCondition(StoreLibrary_ThreadInit() == 1);
  CheckCondition(StoreLibrary_SetAffinity(2) == 1);
  CheckCondition(StoreLibrary_SetAffinity(1) == 1);
}

static void TestUtilities(void) {
  StartPhase("utilities");
  FILETIME ft = {7, 7};
  CheckCondition(UnixTimeToFileTime(0, &ft) == 1);
  CheckCondition((((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime) == 116444736000000000ULL);
  CheckCondition(UnixTimeFromFileTime(&ft) == 0);
  CheckCondition(UnixTimeToFileTime(-1, &ft) == 1);
  CheckCondition(UnixTimeFromFileTime(&ft) == -1);
  /* Past 2038 the result needs all 64 bits of its width. */
  uint64_t late = 116444736000000000ULL + 5000000000ULL * 10000000ULL;
  ft.dwLowDateTime = (uint32_t)late;
  ft.dwHighDateTime = (uint32_t)(late >> 32);
  CheckCondition(UnixTimeFromFileTime(&ft) == 5000000000LL);

  unsigned char* block = Memory_Allocate(64);
  CheckCondition(block != NULL);
  memset(block, 0xAB, 64);
  CheckCondition(Memory_Free(block) == 1);
  CheckCondition(Memory_Free(NULL) == 1);
  CheckCondition(SetLoggingFunction(1, 2, 3, 4) == 0);

  char out[8];
  const char* text = "<a><b>value-too-long</b></a>";
  CheckCondition(GetXMLDataEx(text, "<b>", "</b>", out, sizeof out) == strstr(text, "</b>") + 4);
  CheckText(out, "value-t");
  CheckCondition(GetXMLDataEx(text, "<c>", "</c>", out, sizeof out) == NULL);
}

static void TestBlockFiles(void) {
  StartPhase("block files");
  const char* path = At("_index.blk");
  uintptr_t handle = 77;
  CheckCondition(WaitForAccessToIndexFileEx(path, 0, &handle) == 1);
  CheckCondition(handle == 0 && Exists(path));
  handle = 77;
  CheckCondition(WaitForAccessToIndexFileEx(path, 1, &handle) == 0);
  CheckCondition(handle == 77);
  CheckCondition(UnBlockIndexFileAccessEx(path, 0, &handle) == 1);
  CheckCondition(UnBlockIndexFileAccessEx(path, 0, &handle) == 0);
  CheckCondition(WaitForAccessToIndexFileEx(path, 1, &handle) == 1);
  CheckCondition(handle != 0);
  CheckCondition(UnBlockIndexFileAccessEx(path, 1, &handle) == 1);
  CheckCondition(handle == 0 && !Exists(path));
}

static void TestScanAndStatus(void) {
  StartPhase("scan and folder status");
  char directory[1024];
  snprintf(directory, sizeof directory, "%s", Inbox(""));
  CheckCondition(ScanFolders(directory, 1, 0) == 1);
  CheckCondition(strstr(IndexEntry("A.MAI"), "<SUBJECT>first</SUBJECT>") != NULL);

  struct { uint32_t status[13]; uint32_t guard; } read = {{0}, GUARD};
  CheckCondition(GetCachedStatus("PO", "box", "Inbox", read.status) == 1);
  CheckCondition(read.status[6] == 3);   /* entries */
  CheckCondition(read.status[7] == 1);   /* seen: B */
  CheckCondition(read.status[8] == 2);   /* recent: A and C */
  CheckCondition(read.status[11] == 3);  /* last UID */
  CheckCondition(read.guard == GUARD);

  /* The mailbox's own status: thirteen little-endian numbers, 52 bytes. */
  uint32_t written[13];
  for (int i = 0; i < 13; ++i) written[i] = 0x11000000u + (uint32_t)i;
  CheckCondition(SetCachedStatus("PO", "box", "", written) == 1);
  unsigned char bytes[128];
  CheckCondition(ReadBytes(Mailbox("_FOLDER.DAT"), (char*)bytes, sizeof bytes) == 52);
  CheckCondition(bytes[4 * 12] == 12 && bytes[4 * 12 + 3] == 0x11);
  CheckCondition(GetCachedStatus("PO", "box", "", read.status) == 1);
  CheckCondition(memcmp(read.status, written, sizeof written) == 0 && read.guard == GUARD);
  read.status[0] = 99;
  CheckCondition(GetCachedStatus("PO", "box", "Missing", read.status) == 0);
  CheckCondition(read.status[0] == 99);
  CheckCondition(SetCachedStatus("PO", "box", "Missing", written) == 0);
}

static void TestIndexObject(void) {
  StartPhase("index object");
  struct { StoreIndex index; uint32_t guard; } held;
  memset(&held, 0xEE, sizeof held);
  held.guard = GUARD;
  StoreIndex* index = &held.index;
  CheckCondition(StoreIndex_Init(index) == 1);
  const unsigned char* bytes = (const unsigned char*)index;
  size_t cleared = 0;
  while (cleared < sizeof *index && bytes[cleared] == 0) ++cleared;
  CheckCondition(cleared == sizeof *index && held.guard == GUARD);

  strcpy(index->postoffice, "PO");
  strcpy(index->mailbox, "box");
  strcpy(index->folder, "Inbox");
  CheckCondition(StoreIndex_SetPaths(index) == 1);
  char directory[1024];
  snprintf(directory, sizeof directory, "%s\\PO\\MAILROOT\\box\\Inbox", At("mail"));
  CheckText(index->folder_directory, directory);

  SetWriteTime(Inbox("_index.xml"), kStampTime);
  CheckCondition(StoreIndex_Open(index, 5) == 1);
  CheckCondition(index->folder_index != 0 && index->entry_count == 3 && index->last_uid == 3);
  CheckCondition(index->index_stamp == kStampDos);
  CheckCondition(index->index_file_size == (uint32_t)FileSize(Inbox("_index.xml")));
  CheckCondition(index->folder_type == 0 && index->mutex == 0 && index->block_handle == 0);
  CheckCondition(StoreIndex_Open(index, 3) == 2);  /* unchanged: reused */

  WriteText(Inbox("D.MAI"), "Subject: fourth\r\n\r\nd\r\n");
  CheckCondition(StoreIndex_InsertItem(index, "D.MAI", 1) == 1);
  CheckCondition(index->last_uid == 4 && index->index_node != 0);
  CheckCondition(StoreIndex_InsertItem(index, "D.MAI", 1) == 0);
  CheckCondition(StoreIndex_InsertItem(index, "missing.MAI", 1) == 0);
  CheckCondition(StoreIndex_Save(index, 0) == 1);
  CheckCondition(strstr(IndexEntry("D.MAI"), "<SUBJECT>fourth</SUBJECT>") != NULL);
  CheckCondition(index->modified == 0 && index->index_stamp != kStampDos);

  CheckCondition(StoreIndex_RemoveItem(index, "D.MAI", 0) == 1);
  CheckCondition(StoreIndex_RemoveItem(index, "D.MAI", 0) == 0);
  CheckCondition(StoreIndex_Sort(index) == 1);
  CheckCondition(StoreIndex_Save(index, 20) == 1);
  CheckCondition(IndexEntry("D.MAI")[0] == '\0');
  CheckCondition(remove(Inbox("D.MAI")) == 0);

  CheckCondition(StoreIndex_Get(index) == 1 && index->folder_index != 0);
  CheckCondition(StoreIndex_Scan(index) == 1);
  CheckCondition(StoreIndex_Open(index, 5) == 1 && index->entry_count == 3);
  CheckCondition(StoreIndex_Release(index) == 1);
  CheckCondition(index->folder_index == 0 && index->index_node == 0 && index->index_stamp == 0);
  CheckCondition(held.guard == GUARD);

  /* Item properties need a store item, and none is open on this thread. */
  void* value = &held;
  uint32_t type = 77;
  CheckCondition(StoreIndex_SetItemPropertyItem(NULL, NULL, "PR_SUBJECT", "x") == 0);
  CheckCondition(StoreIndex_GetItemPropertyItem(NULL, "PR_SUBJECT", &value, &type) == 0);
  CheckCondition(value == NULL);
}

static void TestDirectTransactions(void) {
  StartPhase("direct transactions");
  WriteText(Inbox("E.MAI"), "Subject: fifth\r\n\r\ne\r\n");
  WriteText(Inbox("F.MAI"), "Subject: sixth\r\n\r\nf\r\n");
  CheckCondition(Direct_StoreIndex_InsertItem("PO", "box", "Inbox", "E.MAI") == 1);
  CheckCondition(strstr(IndexEntry("E.MAI"), "<SUBJECT>fifth</SUBJECT>") != NULL);
  CheckCondition(Direct_StoreIndex_InsertItemEx("PO", "box", "Inbox", "F.MAI", "\\SEEN") == 1);
  CheckCondition(strstr(IndexEntry("F.MAI"), "\\SEEN") != NULL);
  CheckCondition(Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", "E.MAI", "+\\FLAGGED") == 1);
  CheckCondition(strstr(IndexEntry("E.MAI"), "\\FLAGGED") != NULL);
  CheckCondition(Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", "E.MAI,F.MAI") == 1);
  CheckCondition(IndexEntry("E.MAI")[0] == '\0' && IndexEntry("F.MAI")[0] == '\0');
  CheckCondition(remove(Inbox("E.MAI")) == 0 && remove(Inbox("F.MAI")) == 0);
}

static void TestMessageEnumeration(void) {
  StartPhase("message enumeration");
  MESSAGELISTRECORD list;
  memset(&list, 0, sizeof list);
  strcpy(list.folder, "\\Inbox");
  strcpy(list.postoffice, "PO");
  strcpy(list.mailbox, "box");
  struct { MESSAGEITEMRECORD item; uint32_t guard; } got;
  memset(&got, 0x55, sizeof got);
  got.guard = GUARD;
  CheckCondition(MessageItemFindFirst(&list, &got.item) == 1);
  CheckCondition(got.item.status == 0 && got.item.uid == 1);
  CheckText(got.item.id, "A.MAI");
  CheckCondition(strncmp(got.item.xml, "<ELEMENT ID=\"A.MAI\" UID=\"1\"", 26) == 0);
  CheckCondition(strstr(got.item.xml, "<SUBJECT>first</SUBJECT>") != NULL);
  CheckCondition(MessageItemFindNext(&list, &got.item) == 1 && got.item.uid == 2);
  CheckText(got.item.id, "B.MAI");
  uint32_t position = 2;
  CheckCondition(MessageItemListSetPosition(&position) == 1);
  CheckCondition(MessageItemFindNext(&list, &got.item) == 1 && got.item.uid == 3);
  CheckCondition(MessageItemFindNext(&list, &got.item) == 0);
  CheckText(got.item.id, "C.MAI");
  CheckCondition(got.guard == GUARD);
  CheckCondition(MessageItemFindClose(&list) == 1);

  CheckCondition(MessageItemListGetLength(&list) == 3);
  CheckCondition(MessageItemListGetUnReadLength(&list) == 2);
  CheckCondition(MessageItemListGetNewLength(&list) == 0);

  /* A stylesheet that keeps the unread elements; rescans that find a file
   * come and go. */
  snprintf(list.filter, sizeof list.filter, "%s",
           "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
           "<xsl:template match=\"/\"><BASEELEMENT><xsl:copy-of select=\"BASEELEMENT/ELEMENT"
           "[READ!='1']\"/></BASEELEMENT></xsl:template></xsl:stylesheet>");
  CheckCondition(MessageItemFindFirst(&list, &got.item) == 1 && got.item.uid == 1);
  CheckCondition(MessageItemFindNext(&list, &got.item) == 1 && got.item.uid == 3);
  CheckCondition(MessageItemFindNext(&list, &got.item) == 0);
  list.filter[0] = '\0';
  WriteText(Inbox("H.MAI"), kMessageA);
  CheckCondition(MessageItemListGetLength(&list) == 3);
  list.rescan = 1;
  CheckCondition(MessageItemFindFirst(&list, &got.item) == 1 && MessageItemListGetLength(&list) == 4);
  CheckCondition(remove(Inbox("H.MAI")) == 0);
  CheckCondition(MessageItemFindFirst(&list, &got.item) == 1 && MessageItemListGetLength(&list) == 3);
  CheckCondition(MessageItemFindClose(&list) == 1);

  MESSAGESEARCHRECORD search;
  memset(&search, 0, sizeof search);
  snprintf(search.pattern, sizeof search.pattern, "%s", Inbox("*.MAI"));
  CheckCondition(MessagesFindFirst(&search) == 1);
  CheckText(search.name, "A.MAI");
  CheckCondition(search.size == strlen(kMessageA));
  uint32_t now = (uint32_t)time(NULL);
  CheckCondition(search.created <= now + 1 && search.created + 60 >= now);
  CheckCondition(MessagesFindNext(&search) == 1 && search.size == strlen(kMessageB));
  CheckText(search.name, "B.MAI");
  CheckCondition(MessagesFindNext(&search) == 1 && MessagesFindNext(&search) == 0);
}

static void TestLegacyFolders(void) {
  StartPhase("legacy folders");
  FOLDERRECORD work, moved, listing;
  memset(&work, 0, sizeof work);
  snprintf(work.directory, sizeof work.directory, "%s", At("legacy"));
  MakeDirs(work.directory);
  strcpy(work.name, "Work");
  moved = work;
  strcpy(moved.name, "Moved");
  CheckCondition(FolderAdd(&work) != 0 && Exists(At("legacy/Work")));
  CheckCondition(FolderGet(&work) == 1);
  listing = work;
  listing.reserved = GUARD;
  const char* expected[] = {".", "..", "Work"};
  CheckCondition(FolderFindFirst(&listing) == 1);
  for (int i = 0; i < 3; ++i) {
    CheckText(listing.name, expected[i]);
    CheckCondition(FolderFindNext(&listing) == (i < 2 ? 1u : 0u));
  }
  CheckCondition(listing.reserved == GUARD);
  CheckCondition(FolderFindClose(&listing) == 0);
  CheckCondition(FolderEdit(&work, &moved) != 0 && Exists(At("legacy/Moved")));
  CheckCondition(FolderRemove(&moved) != 0 && !Exists(At("legacy/Moved")));
}

static void TestBlobs(void) {
  StartPhase("blobs");
  static BLOBRECORD blob;
  static unsigned char content[10000];
  for (size_t i = 0; i < sizeof content; ++i) content[i] = (unsigned char)(i * 7 + i / 251);
  snprintf(blob.path, sizeof blob.path, "%s", At("badmail/blob.bin"));
  memcpy(blob.data, content, 8192);
  blob.length = 8192;
  CheckCondition(BLOBWriteFirstChunk(&blob) == 1);
  memcpy(blob.data, content + 8192, sizeof content - 8192);
  blob.length = sizeof content - 8192;
  CheckCondition(BLOBWriteNextChunk(&blob) == 1);
  CheckCondition(FileSize(blob.path) == (long)sizeof content);

  blob.length = 1;
  CheckCondition(BLOBGetSize(&blob) == 0 && blob.length == sizeof content);
  CheckCondition(BLOBGetFirstChunk(&blob) == 1 && blob.length == 8192);
  CheckCondition(memcmp(blob.data, content, 8192) == 0);
  CheckCondition(BLOBGetNextChunk(&blob) == 1 && blob.length == sizeof content - 8192);
  CheckCondition(memcmp(blob.data, content + 8192, blob.length) == 0);
  CheckCondition(BLOBGetNextChunk(&blob) == 0 && blob.length == 0);
  snprintf(blob.path, sizeof blob.path, "%s", At("badmail/missing.bin"));
  CheckCondition(BLOBGetSize(&blob) == 0 && blob.length == 0);
  /* Outside the bad mail directory nothing is read or written. */
  snprintf(blob.path, sizeof blob.path, "%s", Inbox("A.MAI"));
  blob.length = 4242;
  CheckCondition(BLOBGetSize(&blob) == 0 && BLOBGetFirstChunk(&blob) == 0 && blob.length == 4242);

  static MESSAGEBLOBRECORD message;
  strcpy(message.postoffice, "PO");
  strcpy(message.mailbox, "box");
  strcpy(message.folder, "\\Inbox");
  strcpy(message.file, "C.MAI");
  CheckCondition(MessageItemBLOBGetSize(&message) == 0 && message.length == strlen(kMessageC));
  CheckCondition(MessageItemBLOBGetFirstChunk(&message) == 1 && message.length == strlen(kMessageC));
  CheckCondition(memcmp(message.data, kMessageC, message.length) == 0);
  CheckCondition(MessageItemBLOBGetNextChunk(&message) == 0 && message.length == 0);
  strcpy(message.file, "G.MAI");
  memcpy(message.data, "Subject: g\r\n", 12);
  message.length = 12;
  CheckCondition(MessageItemBLOBWriteFirstChunk(&message) == 1);
  memcpy(message.data, "\r\nbody\r\n", 8);
  message.length = 8;
  CheckCondition(MessageItemBLOBWriteNextChunk(&message) == 1);
  char text[64];
  CheckCondition(ReadBytes(Inbox("G.MAI"), text, sizeof text) == 20);
  CheckText(text, "Subject: g\r\n\r\nbody\r\n");
  CheckCondition(remove(Inbox("G.MAI")) == 0);
}

static void TestCommandMessages(void) {
  StartPhase("command messages");
  static COMMANDMESSAGE written, read;
  snprintf(written.directory, sizeof written.directory, "%s", At("queue"));
  strcpy(written.message_id, "Q1.MAI");
  strcpy(written.recipients, "ann@example.com,bob@example.com");
  strcpy(written.server, "relay.example.com");
  strcpy(written.sender, "carol@example.com");
  written.retries = 3;
  written.next_send_time = 1700000123;
  written.time_acquired = -5;
  strcpy(written.priority, "High");
  strcpy(written.status, "Deferred");
  CheckCondition(CommandMessageSet(&written) == 1);
  char text[1024];
  ReadBytes(At("queue/Q1.MAI"), text, sizeof text);
  CheckText(text,
            "Recipients=ann@example.com,bob@example.com\nServer=relay.example.com\n"
            "Sender=carol@example.com\nRetries=3\nNextSendTime=1700000123\nTimeAcquired=-5\n"
            "MessageID=Q1.MAI\nPriority=High\nStatus=Deferred\n");

  memcpy(read.directory, written.directory, sizeof read.directory);
  CheckCondition(CommandMessageFindFirst(&read) == 1);
  CheckText(read.message_id, "Q1.MAI");
  CheckCondition(CommandMessageFindNext(&read) == 0);
  CheckCondition(CommandMessageGet(&read) == 1);
  CheckText(read.recipients, written.recipients);
  CheckText(read.sender, written.sender);
  CheckText(read.priority, "High");
  CheckText(read.status, "Deferred");
  CheckCondition(read.server[0] == '\0');  /* never read */
  CheckCondition(read.retries == 3 && read.next_send_time == 1700000123 && read.time_acquired == -5);
  /* Fields without a line keep their values. */
  WriteText(At("queue/Q1.MAI"), "DomainName=example.org\nRetries=4\n");
  CheckCondition(CommandMessageGet(&read) == 1 && read.retries == 4);
  CheckText(read.domain_name, "example.org");
  CheckText(read.sender, written.sender);
}

/* The names StoreFolderFindFirst/Next give for `parent`, joined by ",". */
static const char* Children(const char* parent, TLSFOLDERLIST* list) {
  static char names[1024];
  STOREFOLDER folder = BoxFolder(parent, "");
  names[0] = '\0';
  uint32_t found = list != NULL ? TLS_StoreFolderFindFirst(&folder, list)
                                : StoreFolderFindFirst(&folder);
  for (; found == 1; found = list != NULL ? TLS_StoreFolderFindNext(&folder, list)
                                          : StoreFolderFindNext(&folder)) {
    if (names[0] != '\0') strcat(names, ",");
    strcat(names, folder.name);
  }
  CheckCondition(found == 0);
  CheckCondition((list != NULL ? TLS_StoreFolderFindClose(&folder, list)
                               : StoreFolderFindClose(&folder)) == 1);
  return names;
}

static void TestStoreFolders(void) {
  StartPhase("store folders");
  STOREFOLDER drafts = BoxFolder("\\", "drafts");
  CheckCondition(StoreFolderAdd(&drafts) != 0);
  CheckText(drafts.name, "Drafts");  /* written back in its canonical case */
  CheckCondition(Exists(Mailbox("Drafts")));
  STOREFOLDER projects = BoxFolder("\\", "Projects");
  CheckCondition(StoreFolderAdd(&projects) != 0);
  CheckCondition(StoreFolderAdd(&projects) == 0);
  STOREFOLDER orphan = BoxFolder("Missing", "Child");
  CheckCondition(StoreFolderAdd(&orphan) == 0);
  CheckText(Children("\\", NULL), "Drafts,Inbox,Projects");

  TLSFOLDERLIST* list = NULL;
  CheckCondition(CreateTLSFolderList(&list) == 1 && list != NULL);
  CheckCondition(InitTLSFolderList(list) == 1);
  CheckText(Children("/", list), "Drafts,Inbox,Projects");
  STOREFOLDER top = BoxFolder("\\", "");
  CheckCondition(TLS_StoreFolderFindFirst(&top, list) == 1);
  CheckText(top.name, "Drafts");
  CheckCondition(TLS_StoreFolderFindClose(NULL, list) == 1);
  CheckCondition(TLS_StoreFolderFindNext(&top, list) == 0);
  top.name[0] = '\0';
  CheckCondition(UnInitTLSFolderList(list) == 1);
  CheckCondition(FreeTLSFolderList(&list) == 1 && list == NULL);

  /* The child list and the dates of the lists. */
  remove(Mailbox("_folder.xml"));
  CheckCondition(StoreFolder_GetHierarchyModificationDate(&top) == 0);
  CheckCondition(StoreFolder_ReIndexChildFolders(&top) == 1);
  char text[1024];
  CheckCondition(ReadBytes(Mailbox("_folder.xml"), text, sizeof text) > 0);
  CheckCondition(strstr(text, "<name><![CDATA[Projects]]></name>") != NULL);
  SetWriteTime(Mailbox("_folder.xml"), kStampTime);
  CheckCondition(StoreFolder_GetHierarchyModificationDate(&top) == kStampDos);
  STOREFOLDER inbox = BoxFolder("\\", "Inbox");
  SetWriteTime(Inbox("_index.xml"), kStampTime);
  CheckCondition(StoreFolder_GetContentsModificationDate(&inbox) == kStampDos);
  WriteText(Inbox("_CHANGE.DTY"), "");
  CheckCondition(StoreFolder_GetContentsModificationDate(&inbox) == 0);
  CheckCondition(remove(Inbox("_CHANGE.DTY")) == 0);

  /* Rename, copy and remove whole trees. */
  WriteText(Mailbox("Projects/P.MAI"), kMessageA);
  STOREFOLDER archive = BoxFolder("\\", "Archive");
  STOREFOLDER backup = BoxFolder("/", "Backup");
  CheckCondition(StoreFolderEdit(&projects, &archive) == 1);
  CheckCondition(!Exists(Mailbox("Projects")) && Exists(Mailbox("Archive/P.MAI")));
  CheckCondition(StoreFolderEdit(&projects, &archive) == 0);
  CheckCondition(StoreFolderCopy(&archive, &backup) == 1);
  CheckCondition(FileSize(Mailbox("Backup/P.MAI")) == (long)strlen(kMessageA));
  STOREFOLDER inside = BoxFolder("\\Archive", "Inner");
  CheckCondition(StoreFolderCopy(&archive, &inside) == 0);
  CheckCondition(StoreFolderRemove(&backup) == 1 && !Exists(Mailbox("Backup")));
  CheckCondition(StoreFolderRemove(&archive) == 1 && StoreFolderRemove(&drafts) == 1);
  CheckCondition(StoreFolderRemove(&archive) == 0);
  CheckText(Children("\\", NULL), "Inbox");
}

static void TestSizes(void) {
  StartPhase("sizes");
  const uint32_t inbox_bytes = (uint32_t)(strlen(kMessageA) + strlen(kMessageB) + strlen(kMessageC));
  STOREFOLDER inbox = BoxFolder("\\Inbox", "");
  memset(inbox.reserved, 0x5A, sizeof inbox.reserved);
  inbox.size = 12345;
  CheckCondition(StoreFolderGetSize(&inbox) == 1 && inbox.size == inbox_bytes);
  inbox.size = 0;
  CheckCondition(StoreFolderGet(&inbox) == 1 && inbox.size == inbox_bytes);
  CheckCondition(inbox.reserved[0] == 0x5A && inbox.reserved[11] == 0x5A);
  CheckText(inbox.parent, "\\Inbox");

  WriteText(Mailbox("_3.NEW"), "");
  WriteText(Mailbox("_12.NEW"), "");
  CheckCondition(StoreGetDeliveredMessageCount(&inbox) == 12);
  CheckCondition(!Exists(Mailbox("_12.NEW")) && !Exists(Mailbox("_3.NEW")));
  CheckCondition(StoreGetDeliveredMessageCount(&inbox) == 0);

  /* The Inbox alone, by default: 5120 bytes of messages are 5 KB, result 0. */
  MAILBOXSIZE mailbox;
  memset(&mailbox, 0, sizeof mailbox);
  strcpy(mailbox.postoffice, "PO2");
  strcpy(mailbox.mailbox, "solo");
  mailbox.size_kb = 77;
  CheckCondition(GetMailboxSize(&mailbox) == 0 && mailbox.size_kb == 77);  /* disabled */
  mailbox.enabled = 1;
  CheckCondition(GetMailboxSize(&mailbox) == 0 && mailbox.size_kb == 5);
#ifdef QX_PROVIDER_DIR
  CheckCondition(GetPostofficeSize("PO2") == 5);
#endif
  CheckCondition(GetPostofficeSize("NOPO") == 0);
}

/* A host entry without an address: every forwarded call fails at once and
 * leaves its record alone, until the default choice is back. */
static void TestRemoteHostChoice(void) {
  StartPhase("remote host choice");
  STOREFOLDER inbox = BoxFolder("\\Inbox", ""), before;
  inbox.size = 4321;
  before = inbox;
  FOLDERRECORD folder;
  memset(&folder, 0, sizeof folder);
  CheckCondition(SetCurrentHost("Nowhere") == 1);
  CheckCondition(StoreFolderGet(&inbox) == 0 && memcmp(&inbox, &before, sizeof inbox) == 0);
  CheckCondition(FolderGet(&folder) == 0);  /* 1 when run here */
  CheckCondition(StoreFolderGetSize(&inbox) == 1 && inbox.size != 4321);  /* never forwarded */
  CheckCondition(SetCurrentHost("") == 1);
  inbox.size = 4321;
  CheckCondition(StoreFolderGet(&inbox) == 1 && inbox.size != 4321);
}

static const char* MatchProperty(const char* name) {
  char* value = NULL;
  uint32_t length = 99;
  CheckCondition(StoreItem_GetMatchProp(name, &value, &length) == 1);
  if (value == NULL) return length == 0 ? "<none>" : "<bad length>";
  CheckCondition(strlen(value) == length);
  return value;
}

static void TestSearch(void) {
  StartPhase("search");
  WriteText(At("tree/a.txt"), "my invoice");
  WriteText(At("tree/c.txt"), "a receipt");
  WriteText(At("tree/sub/b.txt"), "INVOICE");
  CheckCondition(MsgSearch_Init() == 1);
  CheckCondition(MsgSearch_SetParameter_String("Directory", At("tree")) == 1);
  CheckCondition(MsgSearch_SetParameter_String("SearchString", "*invoice*") == 1);
  CheckCondition(MsgSearch_SetParameter_String("Unknown", "x") == 0);
  CheckCondition(MsgSearch_SetParameter_Int("SearchSubFolders", 1) == 1);
  CheckCondition(StoreItem_FirstMatch() == 1);
  CheckText(MatchProperty("Filename"), "a.txt");
  CheckCondition(StoreItem_NextMatch() == 1);
  CheckText(MatchProperty("Filename"), "sub\\b.txt");
  CheckCondition(StoreItem_NextMatch() == 0);
  CheckCondition(MsgSearch_SetParameter_Int("CaseSensitive", 1) == 1);
  CheckCondition(MsgSearch_FindAll() == 1);
  CheckText(MatchProperty("FilenameList"), "a.txt");
  CheckText(MatchProperty("Filename"), "<none>");
  char* value = NULL;
  CheckCondition(StoreItem_GetMatchProp("filename", &value, NULL) == 0);
  CheckCondition(MsgSearch_UnInit() == 1);
}

static void TestShares(void) {
  StartPhase("shares");
  WriteText(Mailbox("_Shares.xml"),
            "<SHARES><SHARE><DESCRIPTION>i</DESCRIPTION><RESOURCE>/Inbox</RESOURCE></SHARE></SHARES>");
  WriteText(Inbox("_Access.XML"), "<LIST><ITEM USER=\"PO/anne\"><ACL>rw</ACL></ITEM></LIST>");
  WriteText(At("config/Postoffices/PO/Security/anne.xml"),
            "<LIST><ITEM URI=\"SF:PO/box/Inbox\"><ACL>rw</ACL></ITEM></LIST>");
  CheckCondition(RemoveMailboxShares("PO", "box") == 0);  /* mailbox first */
  CheckCondition(Exists(Mailbox("_Shares.xml")));
  CheckCondition(RemoveMailboxShares("box", "PO") == 1);
  CheckCondition(!Exists(Mailbox("_Shares.xml")) && !Exists(Inbox("_Access.XML")));
  CheckCondition(!Exists(At("config/Postoffices/PO/Security/anne.xml")));
  CheckCondition(Exists(Inbox("A.MAI")));
}

static const char* Items(const char* file) { return At("mail/PO/MAILROOT/box/Items/%s", file); }

/* The result of a text property of the current item, its text into out. */
static int32_t TextProperty(const char* name, char* out, size_t capacity) {
  void* value = NULL;
  uint32_t size = 0;
  const int32_t result = StoreItem_GetProperty(name, &value, &size);
  out[0] = '\0';
  if (result == 2) {
    CheckCondition(size == strlen((const char*)value) + 1 && size <= capacity);
    memcpy(out, value, size);
    CheckCondition(StoreItem_FreeProperty(value) == 1);
  }
  return result;
}

static void TestContacts(void) {
  StartPhase("contacts");
  char directory[1024], index[4096];
  snprintf(directory, sizeof directory, "%s", At("mail/PO/MAILROOT/box/Contacts"));
  WriteText(At("mail/PO/MAILROOT/box/Contacts/a.vcf"),
            "BEGIN:VCARD\r\nVERSION:2.1\r\nTEL;HOME;VOICE:123\r\nEND:VCARD\r\n");
  CheckCondition(ScanContacts(directory, 0, 0) == 1);
  CheckCondition(ReadBytes(At("mail/PO/MAILROOT/box/Contacts/_index.xml"), index, sizeof index) > 0);
  CheckCondition(strstr(index, "ID=\"a.vcf\" VERSION=\"2.1\" TEL_HOME_VOICE=\"123\"") != NULL);
  WriteText(At("mail/PO/MAILROOT/box/Contacts/_index.blk"), "");
  CheckCondition(ScanContacts(directory, 1, 0) == 0);
  CheckCondition(ScanContacts(directory, 1, 99) == 1);
  CheckCondition(Exists(At("mail/PO/MAILROOT/box/Contacts/_index.blk")));
  CheckCondition(ScanContacts(NULL, 0, 0) == 0);
}

static void TestStoreItems(void) {
  StartPhase("store items");
  WriteText(Items("A.MAI"), kMessageA);
  WriteText(Items("B.MAI"), kMessageB);
  char text[256];
  CheckCondition(StoreLibrary_SetAffinity(0) == 1);
  CheckCondition(StoreFolder_Open("PO", "box", "Items", 0, 1) == 1);
  CheckCondition(StoreFolder_Open("PO", "box", "Items", 0, 1) == 2);
  CheckCondition(StoreFolder_FindFirstItem() == 1);
  CheckCondition(TextProperty("QX_ITEM_ID", text, sizeof text) == 2);
  CheckText(text, "A.MAI");
  CheckCondition(StoreFolder_FindNextItem() == 1);
  CheckCondition(StoreFolder_FindNextItem() == 0);

  /* A 32-bit value in, the same out; saved into the index file. */
  const int32_t sensitivity = 2;
  CheckCondition(StoreItem_SetProperty("B.MAI", "PR_SENSITIVITY", &sensitivity) == 1);
  void* value = NULL;
  uint32_t size = 0;
  int32_t number = 0;
  CheckCondition(StoreItem_GetProperty("PR_SENSITIVITY", &value, &size) == 2 && size == 4);
  memcpy(&number, value, sizeof number);
  CheckCondition(number == 2 && StoreItem_FreeProperty(value) == 1);
  CheckCondition(StoreItem_SaveToStore() == 1);
  CheckCondition(StoreFolder_Save(0) == 1);
  CheckCondition(Store_Save(0) == 1);
  static char index[8192];
  CheckCondition(ReadBytes(Items("_index.xml"), index, sizeof index) > 0);
  CheckCondition(strstr(index, "<SENSITIVITY>2</SENSITIVITY>") != NULL);

  CheckCondition(StoreFolder_SelectItem("A.MAI") == 1);
  CheckCondition(StoreFolder_SelectItemByField("SUBJECT", "second") == 1);
  CheckCondition(StoreFolder_SelectItemByField_Ex("SUBJECT", "FIRST", 1) == 1);
  uint32_t type = 0;
  CheckCondition(StoreIndex_GetItemPropertyItem(NULL, "PR_SUBJECT", &value, &type) == 2);
  CheckCondition(type == 8);
  CheckText((const char*)value, "first");
  CheckCondition(StoreItem_FreeProperty(value) == 1);
  CheckCondition(StoreIndex_SetItemPropertyItem(NULL, NULL, "PR_QX_CC", "cc@example.org") == 1);
  CheckCondition(TextProperty("PR_QX_CC", text, sizeof text) == 2);
  CheckText(text, "cc@example.org");
  CheckCondition(StoreFolder_CreateItem("N.MAI") == 1);
  CheckCondition(TextProperty("QX_ITEM_ID", text, sizeof text) == 2);
  CheckText(text, "N.MAI");
  CheckCondition(StoreFolder_DeleteItem("N.MAI") == 1);
  CheckCondition(StoreFolder_DeleteItem("N.MAI") == 0);
  CheckCondition(StoreItemProperty_GetType("PR_BNP_PercentComplete", 3) == 9);
  CheckCondition(StoreItemProperty_GetType("PR_BNP_PercentComplete", 5) == 0);
  CheckCondition(StoreFolder_Close() == 1);

  CheckCondition(StoreFolder_OpenItem("PO", "box", "Items", "B.MAI", 0) == 1);
  CheckCondition(TextProperty("PR_SUBJECT", text, sizeof text) == 2);
  CheckText(text, "second");
  CheckCondition(TextProperty("QX_MAILBOX", text, sizeof text) == 2);
  CheckText(text, "box");
  CheckCondition(StoreFolder_FindClose() == 1);
  value = &size;
  CheckCondition(StoreItem_GetProperty("QX_MAILBOX", &value, &size) == 0 && value == NULL);
  CheckCondition(StoreFolder_FindFirstItem() == 0);
  CheckCondition(StoreLibrary_SetAffinity(1) == 1);
}

/* The calendar provider files of the mailbox "box": one bucket written,
 * read and emptied again through its six calls, a guard word behind each
 * record. */
static void TestAppointments(void) {
  StartPhase("appointments");
  CheckCondition(sizeof(APPOINTMENTRECORD) == 648);
  FIELD(APPOINTMENTRECORD, postoffice, 256, 256); FIELD(APPOINTMENTRECORD, start, 512, 4);
  FIELD(APPOINTMENTRECORD, end, 516, 4); FIELD(APPOINTMENTRECORD, identifier, 520, 64);
  FIELD(APPOINTMENTRECORD, bucket, 584, 64);
  struct {
    APPOINTMENTRECORD record;
    uint32_t guard;
  } entry, moved;
  memset(&entry, 0, sizeof entry);
  strcpy(entry.record.postoffice, "PO");
  strcpy(entry.record.mailbox, "box");
  entry.record.start = 1300179600; /* 15 March 2011, 09:00 UTC */
  entry.record.end = 1300183200;
  strcpy(entry.record.identifier, "appt.MAI");
  strcpy(entry.record.bucket, "Y11M03D15");
  entry.guard = GUARD;
  const char* file = Mailbox("Calendar/Y11M03D15.CAL");
  char text[256];

  CheckCondition(AppointmentAdd(&entry.record) == 1);
  CheckCondition(AppointmentAdd(&entry.record) == 0);
  CheckCondition(ReadBytes(file, text, sizeof text) == 30);
  CheckText(text, "1300179600\t1300183200\tappt.MAI");

  entry.record.start = 0;
  CheckCondition(AppointmentGet(&entry.record) == 1 && entry.record.start == 1300179600);
  entry.record.identifier[0] = '\0';
  CheckCondition(AppointmentFindFirst(&entry.record) == 1);
  CheckText(entry.record.identifier, "appt.MAI");
  entry.record.identifier[0] = '\0';
  CheckCondition(AppointmentFindNext(&entry.record) == 0);
  strcpy(entry.record.identifier, "appt.MAI");

  moved = entry;
  moved.record.start += 60;
  CheckCondition(AppointmentEdit(&entry.record, &moved.record) == 1);
  CheckCondition(ReadBytes(file, text, sizeof text) == 30);
  CheckText(text, "1300179660\t1300183200\tappt.MAI");
  CheckCondition(AppointmentRemove(&moved.record) == 1);
  CheckCondition(!Exists(file));
  CheckCondition(entry.guard == GUARD && moved.guard == GUARD);
}

int main(void) {
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  setvbuf(stdout, NULL, _IOLBF, 0);
  BuildStore();
  setenv("QXSTORE_REGISTRY", At("registry.reg"), 1);
  /* A program that is not one of the server's own: forwarding is possible. */
  setenv("QXSTORE_PROGRAM", "/opt/qxstore/bin/STOREADM.EXE", 1);
  setenv("QXSTORE_DIAG", "off", 1);

  TestLayouts();
  TestLifecycle();
  TestUtilities();
  TestBlockFiles();
  TestScanAndStatus();
  TestIndexObject();
  TestDirectTransactions();
  TestMessageEnumeration();
  TestLegacyFolders();
  TestBlobs();
  TestCommandMessages();
  TestStoreFolders();
  TestSizes();
  TestRemoteHostChoice();
  TestSearch();
  TestShares();
  TestStoreItems();
  TestContacts();
  TestAppointments();

  StartPhase("release");
  CheckCondition(StoreLibrary_ThreadRelease() == 1);
  CheckCondition(StoreLibrary_UnInit() == 1);
  clock_gettime(CLOCK_MONOTONIC, &end);
  printf("PASS in %ld ms\n",
         (long)((end.tv_sec - start.tv_sec) * 1000 + (end.tv_nsec - start.tv_nsec) / 1000000));
  return 0;
}
