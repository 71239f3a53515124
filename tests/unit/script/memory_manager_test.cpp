#include "script/memory_manager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "script/errors.h"

namespace {

TEST(MemoryManager, ZeroSizeGivesNullAndChangesNothing) {
  uint32_t bytes = MemoryManager::LiveBytes(), blocks = MemoryManager::LiveBlocks();
  EXPECT_EQ(TW_ALLOC(0, true), nullptr);
  EXPECT_EQ(MemoryManager::Resize(nullptr, 0, __FILE__, __LINE__), nullptr);
  EXPECT_EQ(MemoryManager::BlockSize(nullptr), 0u);
  EXPECT_EQ(MemoryManager::LiveBytes(), bytes);
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(MemoryManager, BlocksCarryTheGuardedHeaderAndTotals) {
  uint32_t bytes = MemoryManager::LiveBytes(), blocks = MemoryManager::LiveBlocks();
  auto* p = static_cast<uint8_t*>(TW_ALLOC(300, true));
  ASSERT_NE(p, nullptr);
  const auto* h = reinterpret_cast<const MemBlockHeader*>(p) - 1;
  EXPECT_EQ(h->size, 300u);
  EXPECT_EQ(h->guard1, 0xDEADC0DEu);
  EXPECT_EQ(h->guard2, 0xBAADB00Bu);
  EXPECT_EQ(h->zero, 0u);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(p[i], 0);
  EXPECT_EQ(MemoryManager::LiveBytes(), bytes + 300);
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks + 1);
  MemoryManager::Release(p);
  EXPECT_EQ(MemoryManager::LiveBytes(), bytes);
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(MemoryManager, ResizeNeverShrinks) {
  void* p = TW_ALLOC(40, true);
  EXPECT_EQ(MemoryManager::Resize(p, 24, __FILE__, __LINE__), p);
  EXPECT_EQ(MemoryManager::Resize(p, 0, __FILE__, __LINE__), p);
  EXPECT_EQ(MemoryManager::BlockSize(p), 40u);
  MemoryManager::Release(p);
}

TEST(MemoryManager, ResizeGrowsKeepingDataWithAZeroTail) {
  auto* p = static_cast<uint8_t*>(TW_ALLOC(40, false));
  for (int i = 0; i < 40; ++i) p[i] = uint8_t(i + 1);
  uint32_t bytes = MemoryManager::LiveBytes(), blocks = MemoryManager::LiveBlocks();
  auto* q = static_cast<uint8_t*>(MemoryManager::ResizeField(p, 100, __FILE__, __LINE__));
  EXPECT_EQ(q, p);  // the field was updated
  EXPECT_EQ(MemoryManager::BlockSize(q), 100u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(q[i], i + 1);
  for (int i = 40; i < 100; ++i) EXPECT_EQ(q[i], 0);
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
  EXPECT_EQ(MemoryManager::LiveBytes(), bytes + 60);
  MemoryManager::Release(q);
}

TEST(MemoryManager, ResizeOfNullGivesAClearedBlock) {
  auto* p = static_cast<uint8_t*>(MemoryManager::Resize(nullptr, 16, __FILE__, __LINE__));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0);
  MemoryManager::Release(p);
}

TEST(MemoryManager, ReleaseTakesPlainHeapBlocksWithoutTouchingTotals) {
  uint32_t bytes = MemoryManager::LiveBytes(), blocks = MemoryManager::LiveBlocks();
  char* s = strdup("from the runtime library");
  MemoryManager::Release(s);
  MemoryManager::Release(nullptr);
  EXPECT_EQ(MemoryManager::LiveBytes(), bytes);
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(MemoryManager, UsageLineShowsDecimalAndHex) {
  uint32_t before = MemoryManager::LiveBytes();
  void* p = TW_ALLOC(300, false);
  testing::internal::CaptureStdout();
  MemoryManager::ReportUsage();
  std::string line = testing::internal::GetCapturedStdout();
  MemoryManager::Release(p);
  char expected[64];
  std::snprintf(expected, sizeof expected, "Total memory used = %u(0x%08x) bytes\n", before + 300, before + 300);
  EXPECT_EQ(line, expected);
}

TEST(MemoryManagerDeathTest, ResizeOfAForeignPointerStops) {
  char* s = strdup("x");
  EXPECT_DEATH(MemoryManager::Resize(s, 100, __FILE__, __LINE__), "not an engine block");
  std::free(s);
}

void SayShutdown() { std::fputs("ordered shutdown\n", stderr); }

// A shutdown that runs out of memory itself.
void ShutdownOutOfMemory() {
  SayShutdown();
  TW_ALLOC(0x80000000u, false);
}

TEST(MemoryManagerDeathTest, ExhaustionSaysSoAndEndsThroughTheOrderedShutdownWith255) {
  // A size the header cannot record is as fatal as an exhausted heap.
  EXPECT_EXIT(
      {
        Error_SetFatalShutdown(SayShutdown);
        TW_ALLOC(0x80000000u, false);
      },
      testing::ExitedWithCode(255), "^Fatal Memory Error: Out of Memory!\nordered shutdown\n$");
  // Running out again while shutting down ends at once, with the same status.
  EXPECT_EXIT(
      {
        Error_SetFatalShutdown(ShutdownOutOfMemory);
        MemoryManager::OutOfMemory();
      },
      testing::ExitedWithCode(255), "^Fatal Memory Error: Out of Memory!\nordered shutdown\n$");
}

TEST(List, GrowsBeforeSearchingAndKeepsFirstPositions) {
  List list;
  int items[70];
  for (int i = 0; i < 32; ++i) EXPECT_EQ(list.AddUnique(&items[i]), i);
  EXPECT_EQ(list.Capacity(), 32);
  // Full: a duplicate still doubles the list, and keeps its old position.
  EXPECT_EQ(list.AddUnique(&items[5]), 5);
  EXPECT_EQ(list.Capacity(), 64);
  EXPECT_EQ(list.Count(), 32);
  EXPECT_EQ(list.AddUnique(&items[40]), 32);
  EXPECT_EQ(list.At(32), &items[40]);
  EXPECT_EQ(list.At(99), nullptr);
}

}  // namespace
