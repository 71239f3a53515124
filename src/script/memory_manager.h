// The engine allocator for raw blocks (strings, array rows, growable tables).
// Every block carries a 16-byte guarded header so that Release can tell the
// allocator's blocks from plain heap blocks. Running out of memory is fatal:
// no caller ever sees a failed allocation.
#pragma once
#include <cstddef>
#include <cstdint>

struct MemBlockHeader {
  uint32_t size;  // bit 31 is not part of the size
  uint32_t guard1;
  uint32_t guard2;
  uint32_t zero;
};

namespace MemoryManager {
constexpr uint32_t kGuard1 = 0xDEADC0DE;
constexpr uint32_t kGuard2 = 0xBAADB00B;

void* Allocate(uint32_t size, const char* file, int line, bool zeroFill);
void Release(void* p);
// Grow-only: a smaller (or equal) size returns the block unchanged; a larger
// one gives the block, moved or not, with the old bytes and a zeroed tail.
void* Resize(void* p, uint32_t newSize, const char* file, int line);
template <typename T>
T* ResizeField(T*& field, uint32_t newSize, const char* file, int line) {
  field = static_cast<T*>(Resize(field, newSize, file, line));
  return field;
}
uint32_t BlockSize(const void* p);

// Totals of live blocks, for the usage report.
uint32_t LiveBytes();
uint32_t LiveBlocks();
void ReportUsage();
void Tick();
void Dump();

// Shows "Out of Memory!" and ends the program as every fatal error does
// (status 255).
[[noreturn]] void OutOfMemory();
// Makes a failing operator new fatal through OutOfMemory.
void InstallHandler();
}  // namespace MemoryManager

#define TW_ALLOC(size, zero) MemoryManager::Allocate((size), __FILE__, __LINE__, (zero))

// The engine's growable pointer list (starts at 32 slots).
class List {
 public:
  List();
  ~List();
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  // Position of `item`, appending it when absent. A full list doubles first,
  // even when the item is already present.
  int AddUnique(void* item);
  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  void* At(int i) const { return (i >= 0 && i < count_) ? items_[i] : nullptr; }

 private:
  void** items_ = nullptr;
  int capacity_ = 0;
  int count_ = 0;
};
