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

// What the file system says of a path, links followed.
struct FileInfo {
  bool exists = false;
  bool directory = false;
  bool regular = false;        // a plain file (not a device, pipe or socket)
  bool ownerWritable = false;
};
FileInfo File_Info(const std::string& path);
// Appends to `path`, creating it when missing.
bool File_Append(const std::string& path, const void* data, size_t size, std::string* error = nullptr);
// Removes a file; never a directory.
bool File_Remove(const std::string& path);
// Renames a file; false, and nothing changed, when `to` exists already.
bool File_RenameNoReplace(const std::string& from, const std::string& to);
// Removes a directory with every entry in it; links are removed, never
// followed, and read-only directories are made writable on the way. False
// when anything is left.
bool Directory_RemoveTree(const std::string& path);
// The entries of `directory` whose names match the shell pattern `pattern`
// (letter case ignored when asked; "." and ".." left out), sorted by name; kinds are those of the files links point to, and
// entries that are neither files nor directories (or dangling links) are left
// out.
struct MatchedEntry {
  std::string name;
  FileInfo info;
};
std::vector<MatchedEntry> Directory_Match(const std::string& directory, const std::string& pattern, bool ignoreCase);
// Makes a new directory named `prefix` followed by six characters of its
// own, readable by its owner alone; its path, or nothing.
std::optional<std::string> Directory_CreateUnique(const std::string& prefix);
