// Pieces of paths, directories and the game's temporary directory.

#include <cstdlib>

#include "files/files.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

std::string g_tempDirectory;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

// Where the extension of the name part starts, or npos.
size_t ExtensionStart(const std::string& path) {
  const size_t slash = LastSeparator(path);
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
  return dot;
}

}  // namespace

bool File_Exists(const std::string& path) {
  const FileInfo info = File_Info(path);
  return info.exists && info.regular;
}

bool Directory_Exists(const std::string& path) { return File_Info(path).directory; }

std::string File_GetDirectory(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos || slash == 0) return {};
  return path.substr(0, slash);
}

std::string File_GetName(const std::string& path) {
  const size_t slash = LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string File_GetExtension(const std::string& path) {
  const size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string File_GetDrive(const std::string&) { return {}; }  // no drive letters here

std::string File_ChangeExtension(const std::string& path, const std::string& extension) {
  const size_t dot = ExtensionStart(path);
  if (dot != std::string::npos) return path.substr(0, dot) + extension;
  if (extension.empty() || extension[0] == '.') return path + extension;
  return path + "." + extension;
}

bool File_CreateDirectoryTree(const std::string& rawPath) {
  std::string path = rawPath;
  for (char& c : path)
    if (c == '\\') c = '/';
  while (path.size() >= 2 && IsSeparator(path.back())) path.pop_back();
  if (path.empty()) return false;
  if (Directory_Exists(path)) return true;
  const std::string parent = File_GetDirectory(path);
  // A name without a parent is refused: every caller passes a whole path.
  if (parent.empty() || parent == path || !File_CreateDirectoryTree(parent)) return false;
  return Directory_Create(path) || Directory_Exists(path);
}

bool File_CreateDirectoryFor(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos || slash == 0) return true;
  return File_MakeDirectories(path.substr(0, slash));
}

bool Support_DeleteTree(const std::string& path) { return Directory_RemoveTree(path); }

std::string Support_GetCurrentDirectory() { return Path_WorkingDirectory(); }

void Support_CreateTempDirectory() {
  const char* base = std::getenv("TMPDIR");
  if (auto made = Directory_CreateUnique(std::string(base && *base ? base : "/tmp") + "/tarnwicke-")) g_tempDirectory = *made;
}

void Support_DeleteTempDirectory() {
  if (!g_tempDirectory.empty()) Support_DeleteTree(g_tempDirectory);
  g_tempDirectory.clear();
}

std::string Support_GetTempDirectory() { return g_tempDirectory; }
