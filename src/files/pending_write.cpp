#include "files/pending_write.h"

#include <cstring>
#include <new>

#include "files/files.h"
#include "platform/files.h"
#include "script/console.h"

namespace {
// Sizes stay within what the scripts' 32-bit positions reach.
constexpr int64_t kMaxSize = INT32_MAX;
}  // namespace

PendingWrite::PendingWrite(std::string path, std::vector<uint8_t> data, bool append)
    : path_(std::move(path)), data_(std::move(data)), append_(append) {}

PendingWrite PendingWrite::Replacing(std::string path, std::vector<uint8_t> initial) {
  return PendingWrite(std::move(path), std::move(initial), false);
}

PendingWrite PendingWrite::Appending(std::string path) { return PendingWrite(std::move(path), {}, true); }

void PendingWrite::Write(const void* data, size_t size) {
  if (failed_ || size == 0) return;
  const int64_t at = append_ ? Size() : position_;
  if (at > kMaxSize || int64_t(size) > kMaxSize - at) {
    failed_ = true;
    return;
  }
  try {
    if (at + int64_t(size) > Size()) data_.resize(size_t(at) + size);
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return;
  }
  std::memcpy(data_.data() + at, data, size);
  position_ = at + int64_t(size);
}

int PendingWrite::ReadByte() {
  if (position_ >= Size()) return -1;
  return data_[size_t(position_++)];
}

void PendingWrite::Seek(int64_t position) {
  if (position >= 0) position_ = position;
}

void PendingWrite::Truncate() {
  data_.clear();
  position_ = 0;
  append_ = false;
}

bool PendingWrite::Close() {
  bool ok = !failed_;
  if (ok) {
    if (append_) {
      std::string why;
      ok = File_CreateDirectoryFor(path_) && File_Append(path_, data_.data(), data_.size(), &why);
    } else {
      ok = LoadSave_WritePath(path_, data_.data(), data_.size());
    }
  }
  if (!ok && g_OutputConsole) g_OutputConsole->Output("Error writing file %s\n", path_.c_str());
  data_.clear();
  return ok;
}
