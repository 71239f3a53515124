#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

const std::string& Path_Executable() {
  static const std::string path = [] {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
  }();
  return path;
}

std::string Path_ExecutableDirectory() { return Path_DirectoryOf(Path_Executable()); }

std::string Path_WorkingDirectory() {
  std::error_code ec;
  fs::path p = fs::current_path(ec);
  return ec ? std::string(".") : p.string();
}

static std::string HomeDir() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/tmp";
}

static std::string XdgDir(const char* var, const char* fallback) {
  const char* v = std::getenv(var);
  // Relative values are invalid for XDG variables and are ignored.
  if (v && v[0] == '/') return v;
  return HomeDir() + fallback;
}

std::string Path_DataHome() { return XdgDir("XDG_DATA_HOME", "/.local/share"); }
std::string Path_ConfigHome() { return XdgDir("XDG_CONFIG_HOME", "/.config"); }

std::string Path_DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Path_Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return Path_WorkingDirectory() + "/" + path;
}

std::string Path_SafeComponent(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  if (out.empty() || out == "." || out == "..") return "_";
  return out;
}

std::optional<std::string> Path_Resolve(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::canonical(path, ec);
  if (ec) return std::nullopt;
  return p.string();
}
