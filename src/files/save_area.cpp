// The save area: where every file a script writes ends up.

#include <cstring>
#include <vector>

#include "script/console.h"
#include "core/game_info.h"
#include "files/files.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "core/builtin_vars.h"

namespace {

std::string g_saveAreaOverride;

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

// The rest of `name` after `dir` when `name` lies under that directory.
bool Under(const std::string& name, const std::string& dir, std::string* rest) {
  std::vector<std::string> dirParts, nameParts;
  if (dir.empty() || dir[0] != '/' || !Components(dir, &dirParts) || !Components(name, &nameParts)) return false;
  if (nameParts.size() <= dirParts.size()) return false;
  for (size_t i = 0; i < dirParts.size(); ++i)
    if (dirParts[i] != nameParts[i]) return false;
  rest->clear();
  for (size_t i = dirParts.size(); i < nameParts.size(); ++i) *rest += (rest->empty() ? "" : "/") + nameParts[i];
  return true;
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

namespace {

// `name` with '\\' as '/', or "" for a name that cannot be a file's.
std::string Normalised(const std::string& rawName) {
  if (rawName.empty()) return {};
  std::string name = rawName;
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return {};
    if (c == '\\') c = '/';
  }
  if (name.back() == '/') return {};  // a directory, not a file
  return name;
}

// `relative` joined to `dir` (ending in '/'); "" when it would climb out or
// pass through a symbolic link, which could point anywhere.
std::string Inside(const std::string& dir, const std::string& relative) {
  std::vector<std::string> parts;
  if (!Components(relative, &parts) || parts.empty()) return {};
  std::string path = dir.substr(0, dir.size() - 1);
  for (const std::string& part : parts) {
    path += "/" + part;
    if (File_IsSymlink(path)) return {};
  }
  return path;
}

std::string MapToSaveArea(const std::string& rawName, bool log) {
  const std::string name = Normalised(rawName);
  if (name.empty()) return {};
  const std::string area = LoadSave_GetSaveArea();
  std::string relative;
  bool redirected = true;
  if (name[0] == '/') {
    if (Under(name, area, &relative)) {
      redirected = false;
    } else if (!Under(name, Path_Absolute(WorkingDirectory_Get()), &relative) &&
               !Under(name, Path_WorkingDirectory(), &relative)) {
      return {};  // no full path outside these is allowed for writing
    }
  } else {
    relative = name;
  }
  std::string path = Inside(area, relative);
  if (!path.empty() && redirected && log)
    g_DebugConsole->Output("Redirecting %s to %s\n", rawName.c_str(), path.c_str());
  return path;
}

}  // namespace

std::string LoadSave_MapToSaveArea(const std::string& rawName) { return MapToSaveArea(rawName, true); }

std::string LoadSave_MapToBundle(const std::string& rawName) {
  const std::string name = Normalised(rawName);
  if (name.empty()) return {};
  std::string game = Path_Absolute(WorkingDirectory_Get().empty() ? std::string("./") : WorkingDirectory_Get());
  if (game.back() != '/') game += '/';
  std::string relative;
  if (name[0] == '/') {
    if (!Under(name, game, &relative)) return {};
  } else {
    relative = name;
  }
  return Inside(game, relative);
}

std::optional<std::vector<uint8_t>> LoadSave_ReadGameFile(const std::string& name) {
  const std::string saved = MapToSaveArea(name, false);
  if (!saved.empty() && File_CanRead(saved)) {
    if (auto bytes = File_ReadAll(saved, nullptr)) return bytes;
  }
  const std::string bundled = LoadSave_MapToBundle(name);
  if (bundled.empty()) return std::nullopt;
  return File_ReadAll(bundled, nullptr);
}

bool LoadSave_MapToSaveArea(char* out, size_t capacity, const char* name) {
  if (!out || capacity == 0) return false;
  out[0] = '\0';
  std::string path = LoadSave_MapToSaveArea(std::string(name ? name : ""));
  if (path.empty() || path.size() + 1 > capacity) return false;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

bool File_CreateDirectoryFor(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return true;
  return File_MakeDirectories(path.substr(0, slash));
}

bool LoadSave_WriteFile(const std::string& name, const void* data, size_t length, std::string* error) {
  const std::string path = LoadSave_MapToSaveArea(name);
  if (path.empty()) {
    if (error) *error = "the name does not lead into the save area";
    return false;
  }
  if (!File_CreateDirectoryFor(path)) {
    if (error) *error = "its directory cannot be made";
    return false;
  }
  return File_WriteAtomic(path, data, length, error);
}
