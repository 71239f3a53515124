// Whole-file reading and writing, and the few directory operations the
// engine needs.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The whole file, or nothing with `error` set to the system's reason.
std::optional<std::vector<uint8_t>> File_ReadAll(const std::string& path, std::string* error = nullptr);
// True when `path` names a regular file that can be opened for reading.
bool File_CanRead(const std::string& path);
// Writes through a temporary file renamed over `path`, so a failed write
// never leaves a half-written file.
bool File_WriteAtomic(const std::string& path, const void* data, size_t size, std::string* error = nullptr);
// Creates `path` and any missing parents; true when the directory exists after.
bool File_MakeDirectories(const std::string& path);
// Removes a directory tree; missing trees are fine.
void File_RemoveTree(const std::string& path);
// True when `path` itself is a symbolic link.
bool File_IsSymlink(const std::string& path);
// Makes one directory (its parent must exist); false when it was not made.
bool Directory_Create(const std::string& path);
// The entries of a directory ("." and ".." left out), not following links.
struct DirectoryEntry {
  std::string name;
  bool plainFile = false;     // a regular file, not a link or a directory
  bool ownerWritable = false;
};
std::vector<DirectoryEntry> Directory_List(const std::string& path);
