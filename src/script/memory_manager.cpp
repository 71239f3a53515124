#include "script/memory_manager.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "script/console.h"
#include "platform/message_box.h"
#include "script/errors.h"

namespace {
uint32_t g_liveBytes = 0;
uint32_t g_liveBlocks = 0;

constexpr uint32_t kSizeMask = 0x7FFFFFFFu;

MemBlockHeader* HeaderOf(void* p) { return static_cast<MemBlockHeader*>(p) - 1; }

// Reads the guard words before a pointer that may not be ours. The words lie
// inside the heap's own bookkeeping for foreign blocks, so the access is kept
// out of the address sanitizer's view.
__attribute__((no_sanitize("address"))) bool HasGuards(const void* p) {
  const auto* words = static_cast<const uint32_t*>(p);
  uint32_t g1, g2;
  std::memcpy(&g1, words - 3, 4);
  std::memcpy(&g2, words - 2, 4);
  return g1 == MemoryManager::kGuard1 && g2 == MemoryManager::kGuard2;
}
}  // namespace

namespace MemoryManager {

void* Allocate(uint32_t size, const char* /*file*/, int /*line*/, bool zeroFill) {
  if (size == 0) return nullptr;
  // Sizes keep 31 bits; anything larger cannot be recorded and is as fatal
  // as an exhausted heap.
  if (size > kSizeMask) OutOfMemory();
  auto* h = static_cast<MemBlockHeader*>(std::malloc(size_t(size) + sizeof(MemBlockHeader)));
  if (!h) OutOfMemory();
  *h = {size, kGuard1, kGuard2, 0};
  g_liveBytes += size;
  g_liveBlocks += 1;
  if (zeroFill) std::memset(h + 1, 0, size);
  return h + 1;
}

void Release(void* p) {
  if (!p) return;
  if (HasGuards(p)) {
    MemBlockHeader* h = HeaderOf(p);
    g_liveBytes -= h->size & kSizeMask;
    g_liveBlocks -= 1;
    h->guard1 = h->guard2 = 0;  // a second release then goes nowhere near our totals
    std::free(h);
    return;
  }
  std::free(p);
}

void* Resize(void* p, uint32_t newSize, const char* file, int line) {
  if (!p) return Allocate(newSize, file, line, true);
  if (!HasGuards(p)) {
    Console_Error("MemoryManager::Resize: %p is not an engine block (%s:%d)\n", p, file, line);
    std::abort();
  }
  uint32_t old = HeaderOf(p)->size & kSizeMask;
  if (old >= newSize) return p;
  if (newSize > kSizeMask) OutOfMemory();
  // The heap can often grow the block where it is (or move its pages) where
  // a copy would touch every byte: doubling arrays rely on it.
  auto* h = static_cast<MemBlockHeader*>(std::realloc(HeaderOf(p), size_t(newSize) + sizeof(MemBlockHeader)));
  if (!h) OutOfMemory();
  h->size = (h->size & ~kSizeMask) | newSize;
  g_liveBytes += newSize - old;
  std::memset(reinterpret_cast<uint8_t*>(h + 1) + old, 0, newSize - old);
  return h + 1;
}

uint32_t BlockSize(const void* p) {
  if (!p) return 0;
  return (static_cast<const MemBlockHeader*>(p) - 1)->size & kSizeMask;
}

uint32_t LiveBytes() { return g_liveBytes; }
uint32_t LiveBlocks() { return g_liveBlocks; }

void ReportUsage() {
  g_DebugConsole->Output("Total memory used = %d(0x%08lx) bytes\n", int(g_liveBytes), (unsigned long)g_liveBytes);
}

void Tick() {}
void Dump() {}

void OutOfMemory() {
  // Memory may run out again while this says so or while the program shuts
  // down: that second time it ends at once.
  static std::atomic_flag reported = ATOMIC_FLAG_INIT;
  if (reported.test_and_set()) {
    std::fflush(nullptr);
    std::_Exit(kFatalExitStatus);
  }
  MessageBox_Show("Fatal Memory Error", "Out of Memory!");
  Error_FatalExit();
}

void InstallHandler() {
  std::set_new_handler([] { OutOfMemory(); });
}

}  // namespace MemoryManager

List::List() = default;
List::~List() { MemoryManager::Release(items_); }

int List::AddUnique(void* item) {
  if (count_ == capacity_) {
    int grown = capacity_ == 0 ? 32 : capacity_ * 2;
    MemoryManager::ResizeField(items_, uint32_t(grown) * sizeof(void*), "Platform/MemoryManager", 0);
    capacity_ = grown;
  }
  for (int i = 0; i < count_; ++i)
    if (items_[i] == item) return i;
  items_[count_] = item;
  return count_++;
}
