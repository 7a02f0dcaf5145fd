/* The exported surface called from plain C, through the shared library. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "qxstore.h"

static int failures = 0;
static int checks = 0;

#define CHECK(cond)                                              \
  do {                                                           \
    ++checks;                                                    \
    if (!(cond)) {                                               \
      ++failures;                                                \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
    }                                                            \
  } while (0)

static void test_time_conversion(void) {
  FILETIME ft;
  CHECK(UnixTimeToFileTime(0, &ft) == 1);
  CHECK((((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime) == 116444736000000000ULL);
  CHECK(UnixTimeFromFileTime(&ft) == 0);
  CHECK(UnixTimeToFileTime(-1, &ft) == 1);
  CHECK(UnixTimeFromFileTime(&ft) == -1);
}

static void test_memory_and_logging(void) {
  void* block = Memory_Allocate(64);
  CHECK(block != NULL);
  memset(block, 0xAB, 64);
  CHECK(Memory_Free(block) == 1);
  CHECK(Memory_Free(NULL) == 1);
  CHECK(SetLoggingFunction(1, 2, 3, 4) == 0);
}

static void test_xml_data(void) {
  char out[8];
  const char* text = "<a><b>value-too-long</b></a>";
  const char* next = GetXMLDataEx(text, "<b>", "</b>", out, sizeof out);
  CHECK(next == strstr(text, "</b>") + 4);
  CHECK(strcmp(out, "value-t") == 0);
  CHECK(GetXMLDataEx(text, "<c>", "</c>", out, sizeof out) == NULL);
}

static void test_block_files(void) {
  char dir[] = "/tmp/qxstore-capi-XXXXXX";
  char path[256];
  uintptr_t handle = 77;
  if (mkdtemp(dir) == NULL) {
    ++failures;
    return;
  }
  snprintf(path, sizeof path, "%s/_index.blk", dir);
  CHECK(WaitForAccessToIndexFileEx(path, 0, &handle) == 1);
  CHECK(handle == 0);
  handle = 77;
  CHECK(WaitForAccessToIndexFileEx(path, 1, &handle) == 0);
  CHECK(handle == 77);
  CHECK(UnBlockIndexFileAccessEx(path, 0, &handle) == 1);
  CHECK(UnBlockIndexFileAccessEx(path, 0, &handle) == 0);
  CHECK(WaitForAccessToIndexFileEx(path, 1, &handle) == 1);
  CHECK(handle != 0);
  CHECK(UnBlockIndexFileAccessEx(path, 1, &handle) == 1);
  CHECK(handle == 0);
  rmdir(dir);
}

static void test_lifecycle(void) {
  CHECK(StoreLibrary_ThreadInit() == 1);
  CHECK(StoreLibrary_SetAffinity(2) == 1);
  CHECK(StoreLibrary_SetAffinity(1) == 1);
  CHECK(StoreLibrary_ThreadRelease() == 1);
}

static void test_store_items(void) {
  void* value = (void*)&failures;
  uint32_t size = 99;
  /* No folder open: every item call answers 0, the value pointer cleared. */
  CHECK(StoreItem_GetProperty("QX_MAILBOX", &value, &size) == 0);
  CHECK(value == NULL);
  CHECK(StoreFolder_FindFirstItem() == 0);
  CHECK(StoreItem_SetProperty("", "PR_SUBJECT", "x") == 0);
  CHECK(StoreItem_FreeProperty(NULL) == 1);
  CHECK(StoreItemProperty_GetType("PR_BNP_PercentComplete", 3) == 9);
  CHECK(StoreItemProperty_GetType("PR_BNP_PercentComplete", 5) == 0);
  CHECK(StoreFolder_FindClose() == 1);
}

int main(void) {
  /* No registry of the machine's: an empty one is enough here. */
  setenv("QXSTORE_REGISTRY", "/nonexistent/registry.reg", 1);
  test_time_conversion();
  test_memory_and_logging();
  test_xml_data();
  test_block_files();
  test_lifecycle();
  test_store_items();
  printf("c_api: %d passed, %d failed\n", checks - failures, failures);
  return failures == 0 ? 0 : 1;
}
