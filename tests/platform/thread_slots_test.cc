#include "platform/thread_slots.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/errors.h"

namespace qx::platform {
namespace {

TEST(ThreadSlots, SlotFreedAndAllocatedAgainStartsEmptyOnEveryThread) {
  const uint32_t slot = TlsAlloc();
  ASSERT_NE(slot, kInvalidSlot);
  int main_value = 1;
  int other_value = 2;
  ASSERT_TRUE(TlsSetValue(slot, &main_value));
  // A second thread keeps its own value across the free and the new allocation.
  std::atomic<int> step{0};
  void* other_read_after = &main_value;
  std::thread other([&] {
    TlsSetValue(slot, &other_value);
    EXPECT_EQ(TlsGetValue(slot), &other_value);
    step = 1;
    while (step.load() != 2) std::this_thread::yield();
    other_read_after = TlsGetValue(slot);
  });
  while (step.load() != 1) std::this_thread::yield();
  EXPECT_EQ(TlsGetValue(slot), &main_value);

  ASSERT_TRUE(TlsFree(slot));
  EXPECT_FALSE(TlsFree(slot));

  ASSERT_EQ(TlsAlloc(), slot);  // the lowest free slot is handed out first
  EXPECT_EQ(TlsGetValue(slot), nullptr);
  step = 2;
  other.join();
  EXPECT_EQ(other_read_after, nullptr);
  EXPECT_TRUE(TlsFree(slot));
}

std::atomic<uint32_t> g_slot{kInvalidSlot};
std::atomic<int> g_detach_calls{0};
std::atomic<void*> g_value_seen_at_detach{nullptr};

void RecordingDetachHandler() {
  ++g_detach_calls;
  g_value_seen_at_detach = TlsGetValue(g_slot.load());
  TlsSetValue(g_slot.load(), nullptr);
}

TEST(ThreadSlots, DetachRunsOnceForThreadsThatUsedSlotsWhileValuesAreReadable) {
  g_slot = TlsAlloc();
  ASSERT_NE(g_slot.load(), kInvalidSlot);
  SetThreadDetachHandler(&RecordingDetachHandler);

  static int record = 7;
  std::thread([] {
    TlsSetValue(g_slot.load(), &record);
    TlsSetValue(g_slot.load(), &record);
  }).join();
  EXPECT_EQ(g_detach_calls.load(), 1);
  EXPECT_EQ(g_value_seen_at_detach.load(), &record);

  std::thread([] {}).join();
  EXPECT_EQ(g_detach_calls.load(), 1);

  SetThreadDetachHandler(nullptr);
  std::thread([] { TlsSetValue(g_slot.load(), &record); }).join();
  EXPECT_EQ(g_detach_calls.load(), 1);
  TlsFree(g_slot.load());
}

int g_exit_pipe = -1;

TEST(ThreadSlots, DetachDoesNotRunForTheMainThreadAtExit) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    g_exit_pipe = fds[1];
    SetThreadDetachHandler([] { (void)!write(g_exit_pipe, "D", 1); });
    const uint32_t slot = TlsAlloc();
    static int value = 1;
    TlsSetValue(slot, &value);
    std::thread([slot] { TlsSetValue(slot, &value); }).join();
    std::exit(0);
  }
  close(fds[1]);
  std::string written;
  char c;
  while (read(fds[0], &c, 1) == 1) written += c;
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(written, "D");  // the helper thread only
}

}  // namespace
}  // namespace qx::platform
