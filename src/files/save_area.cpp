// The save sandbox: where the names a script gives end up on the disk.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "core/builtin_vars.h"
#include "core/game_info.h"
#include "files/files.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "script/console.h"

namespace {

std::string g_saveAreaOverride;
std::string g_bundleOverride;
// Paths the player picked in file dialogs, newest first.
std::vector<std::string> g_readAllowed;
std::vector<std::string> g_writeAllowed;

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

// `path` with every ".", empty and ".." component folded; false when ".."
// would climb above the start.
bool Components(const std::string& path, std::vector<std::string>* out) {
  out->clear();
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part == "..") {
      if (out->empty()) return false;
      out->pop_back();
    } else if (!part.empty() && part != ".") {
      out->push_back(part);
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return true;
}

std::string Joined(const std::vector<std::string>& parts, size_t from = 0) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) out += (out.empty() ? "" : "/") + parts[i];
  return out;
}

// The rest of `name` after `dir` when `name` lies under that directory.
bool Under(const std::string& name, const std::string& dir, std::string* rest) {
  std::vector<std::string> dirParts, nameParts;
  if (dir.empty() || dir[0] != '/' || !Components(dir, &dirParts) || !Components(name, &nameParts)) return false;
  if (nameParts.size() <= dirParts.size()) return false;
  for (size_t i = 0; i < dirParts.size(); ++i)
    if (dirParts[i] != nameParts[i]) return false;
  *rest = Joined(nameParts, dirParts.size());
  return true;
}

// `name` with '\\' as '/', or "" for a name that cannot be a file's: empty,
// with control characters, ending in a separator, or a drive letter's.
std::string Normalised(const std::string& rawName) {
  if (rawName.empty()) return {};
  std::string name = rawName;
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return {};
    if (c == '\\') c = '/';
  }
  if (name.back() == '/') return {};  // a directory, not a file
  // "C:/x" names another disk, never a directory called "C:".
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) return {};
  return name;
}

// `relative` joined to `dir` (ending in '/'); "" when it would climb out.
// A symbolic link on the way must lead to a place inside `dir` too.
std::string Inside(const std::string& dir, const std::string& relative) {
  std::vector<std::string> parts;
  if (!Components(relative, &parts) || parts.empty()) return {};
  std::string path = dir.substr(0, dir.size() - 1);
  std::optional<std::string> resolvedDir;
  for (const std::string& part : parts) {
    path += "/" + part;
    if (!File_IsSymlink(path)) continue;
    if (!resolvedDir) resolvedDir = Path_Resolve(dir);
    std::optional<std::string> target = Path_Resolve(path);
    std::string rest;
    if (!resolvedDir || !target || (*target != *resolvedDir && !Under(*target, *resolvedDir, &rest))) return {};
  }
  return path;
}

// The absolute, folded form of `name` (itself absolute), as dialogs give it.
std::string Folded(const std::string& name) {
  std::vector<std::string> parts;
  if (!Components(name, &parts)) return {};
  return "/" + Joined(parts);
}

bool Allowed(const std::vector<std::string>& list, const std::string& name) {
  const std::string folded = Folded(name);
  return !folded.empty() && std::find(list.begin(), list.end(), folded) != list.end();
}

std::string GameDirectory() {
  if (!g_bundleOverride.empty()) return g_bundleOverride;
  std::string game = Path_Absolute(WorkingDirectory_Get().empty() ? std::string("./") : WorkingDirectory_Get());
  return WithSlash(game);
}

// Names under the game's temporary directory stay there: it is the game's
// own, made for this run alone.
bool InTempDirectory(const std::string& name, std::string* path) {
  const std::string temp = Support_GetTempDirectory();
  std::string rest;
  if (temp.empty() || !Under(name, temp, &rest)) return false;
  *path = Inside(WithSlash(temp), rest);
  return true;
}

std::string MapToSaveArea(const std::string& rawName, bool log) {
  const std::string name = Normalised(rawName);
  if (name.empty()) return {};
  const std::string area = LoadSave_GetSaveArea();
  std::string relative;
  const char* where = nullptr;  // why a name was redirected
  std::string path;
  if (name[0] != '/') {
    relative = name;
    where = "currdir";
  } else if (Allowed(g_writeAllowed, name)) {
    return Folded(name);  // the player picked it
  } else if (Under(name, area, &relative)) {
    where = nullptr;
  } else if (InTempDirectory(name, &path)) {
    return path;
  } else if (Under(name, GameDirectory(), &relative)) {
    where = "workdir";
  } else if (Under(name, Path_WorkingDirectory(), &relative)) {
    where = "currdir";
  } else {
    return {};
  }
  path = Inside(area, relative);
  if (!path.empty() && where && log && g_OutputConsole)
    g_OutputConsole->Output("Invalid Save location(%s) - redirected to: '%s'\n", where, path.c_str());
  return path;
}

}  // namespace

const std::string& Main_GetSaveDirectory() {
  static std::string dir;
  if (dir.empty()) {
    const GameInfoHeader& info = GameInfo_Get();
    std::string base = (info.flags & kInfoRoamingSave) ? Path_ConfigHome() : Path_DataHome();
    // The display name comes from the data file: it names one directory and
    // never a path.
    dir = base + "/" + Path_SafeComponent(info.display_name) + "/";
  }
  return dir;
}

void LoadSave_SetSaveArea(const std::string& directory) {
  g_saveAreaOverride = directory.empty() ? std::string() : WithSlash(directory);
}

std::string LoadSave_GetSaveArea() {
  return g_saveAreaOverride.empty() ? WithSlash(Main_GetSaveDirectory()) : g_saveAreaOverride;
}

void LoadSave_SetBundleDirectory(const std::string& directory) {
  g_bundleOverride = directory.empty() ? std::string() : WithSlash(Path_Absolute(directory));
}

void LoadSave_AllowRead(const std::string& path) {
  const std::string folded = path.empty() || path[0] != '/' ? std::string() : Folded(path);
  if (!folded.empty()) g_readAllowed.insert(g_readAllowed.begin(), folded);
}

void LoadSave_AllowWrite(const std::string& path) {
  const std::string folded = path.empty() || path[0] != '/' ? std::string() : Folded(path);
  if (!folded.empty()) g_writeAllowed.insert(g_writeAllowed.begin(), folded);
}

void LoadSave_ForgetAllowedPaths() {
  g_readAllowed.clear();
  g_writeAllowed.clear();
}

std::string LoadSave_MapToSaveArea(const std::string& rawName) { return MapToSaveArea(rawName, true); }

std::string LoadSave_MapToBundle(const std::string& rawName) {
  const std::string name = Normalised(rawName);
  if (name.empty()) return {};
  const std::string game = GameDirectory();
  std::string relative, path;
  if (name[0] != '/') {
    relative = name;
  } else if (Allowed(g_readAllowed, name)) {
    return Folded(name);  // the player picked it
  } else if (InTempDirectory(name, &path)) {
    return path;
  } else if (!Under(name, game, &relative) && !Under(name, Path_WorkingDirectory(), &relative)) {
    return {};
  }
  return Inside(game, relative);
}

bool LoadSave_MapToSaveArea(char* out, size_t capacity, const char* name) {
  if (!out || capacity == 0) return false;
  out[0] = '\0';
  const std::string path = LoadSave_MapToSaveArea(std::string(name ? name : ""));
  if (path.empty() || path.size() + 1 > capacity) return false;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

std::optional<std::vector<uint8_t>> LoadSave_ReadWholeFile(const std::string& path, std::string* error) {
  if (path.empty()) {
    if (error) *error = "No such file or directory";
    return std::nullopt;
  }
  return File_ReadAll(path, error);
}

std::optional<std::vector<uint8_t>> LoadSave_ReadSaveFile(const std::string& name) {
  return LoadSave_ReadWholeFile(LoadSave_MapToSaveArea(name));
}

std::optional<std::vector<uint8_t>> LoadSave_ReadBundleFile(const std::string& name) {
  return LoadSave_ReadWholeFile(LoadSave_MapToBundle(name));
}

bool LoadSave_SaveFileExists(const std::string& name) {
  const std::string path = LoadSave_MapToSaveArea(name);
  return !path.empty() && File_CanRead(path);
}

bool LoadSave_BundleFileExists(const std::string& name) {
  const std::string path = LoadSave_MapToBundle(name);
  return !path.empty() && File_CanRead(path);
}

bool LoadSave_WriteFile(const std::string& name, const void* data, size_t length, std::string* error) {
  return LoadSave_WritePath(LoadSave_MapToSaveArea(name), data, length, error);
}

bool LoadSave_WritePath(const std::string& path, const void* data, size_t length, std::string* error) {
  std::string why;
  if (path.empty()) {
    why = "file name refused";
  } else if (!File_CreateDirectoryFor(path)) {
    why = "cannot make the directory of " + path;
  } else {
    std::string reason;
    if (File_WriteAtomic(path, data, length, &reason)) return true;
    why = "cannot write " + path + ": " + reason;
  }
  if (error) *error = why;
  else g_DebugConsole->Output("%s\n", why.c_str());
  return false;
}

std::optional<std::vector<uint8_t>> LoadSave_ReadGameFile(const std::string& name, bool* refused) {
  const std::string saved = MapToSaveArea(name, false);
  if (!saved.empty() && File_CanRead(saved)) {
    if (auto bytes = File_ReadAll(saved, nullptr)) return bytes;
  }
  const std::string bundled = LoadSave_MapToBundle(name);
  if (refused) *refused = saved.empty() && bundled.empty();
  if (bundled.empty()) return std::nullopt;
  return File_ReadAll(bundled, nullptr);
}
