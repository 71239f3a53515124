// A file a script writes: its bytes wait in memory and reach the disk whole
// when it is closed, so a failed or short write never leaves a half file in
// place of a good one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PendingWrite {
 public:
  // Replaces the file at `path` on closing, starting from these bytes at
  // position 0.
  static PendingWrite Replacing(std::string path, std::vector<uint8_t> initial = {});
  // Adds to the end of the file at `path` on closing (made when missing).
  static PendingWrite Appending(std::string path);

  // Writes at the position (at the end when appending); a gap left by a seek
  // past the end reads as zeros.
  void Write(const void* data, size_t size);
  // The byte at the position, which moves on; -1 at the end.
  int ReadByte();
  int64_t Position() const { return position_; }
  int64_t Size() const { return int64_t(data_.size()); }
  // A position below 0 changes nothing.
  void Seek(int64_t position);
  // Empty, at position 0, replacing the file when closed.
  void Truncate();
  const std::string& Path() const { return path_; }
  // Puts the bytes on the disk; false (with a line on the output console)
  // when a write failed or the file cannot be written, the old file kept.
  bool Close();

 private:
  PendingWrite(std::string path, std::vector<uint8_t> data, bool append);
  std::string path_;
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
  bool append_ = false;
  bool failed_ = false;
};
