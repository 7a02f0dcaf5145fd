/* A program of the library's users, built against an installed tree with
 * nothing but `pkg-config --cflags --libs qxstore`: prints each item of one
 * folder as "<file name> <subject>". Exit 1 when the folder does not open. */
#include <qxstore.h>
#include <stdio.h>

static void PrintText(const char* name) {
  void* value = NULL;
  uint32_t size = 0;
  if (StoreItem_GetProperty(name, &value, &size) == 2) {
    fputs((const char*)value, stdout);
    StoreItem_FreeProperty(value);
  }
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: list_folder <postoffice> <mailbox> <folder>\n");
    return 2;
  }
  if (StoreFolder_Open(argv[1], argv[2], argv[3], 0, 1) == 0) return 1;
  for (uint32_t more = StoreFolder_FindFirstItem(); more != 0; more = StoreFolder_FindNextItem()) {
    PrintText("QX_ITEM_ID");
    fputc(' ', stdout);
    PrintText("PR_SUBJECT");
    fputc('\n', stdout);
  }
  StoreFolder_Close();
  return 0;
}
