#include "platform/files.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<std::vector<uint8_t>> File_ReadAll(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return std::nullopt;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = S_ISDIR(st.st_mode) ? "Is a directory" : "Not a regular file";
    close(fd);
    return std::nullopt;
  }
  std::vector<uint8_t> data;
  data.reserve(size_t(st.st_size));
  uint8_t chunk[1 << 16];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::strerror(errno);
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    data.insert(data.end(), chunk, chunk + n);
  }
  close(fd);
  return data;
}

bool File_CanRead(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), R_OK) == 0;
}

namespace {
bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= size_t(n);
  }
  return true;
}
}  // namespace

bool File_WriteAtomic(const std::string& path, const void* data, size_t size, std::string* error) {
  std::string tmp = path + ".tmp-XXXXXX";
  int fd = mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(fd, data, size);
  if (ok && fsync(fd) != 0) ok = false;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(tmp.c_str());
    if (error) *error = std::strerror(saved);
  }
  return ok;
}

bool File_MakeDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return std::filesystem::is_directory(path, ec);
}

void File_RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

bool File_IsSymlink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool Directory_Create(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

std::vector<DirectoryEntry> Directory_List(const std::string& path) {
  std::vector<DirectoryEntry> entries;
  DIR* dir = opendir(path.c_str());
  if (!dir) return entries;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry entry{name};
    struct stat st;
    const std::string full = path.empty() || path.back() == '/' ? path + name : path + "/" + name;
    if (lstat(full.c_str(), &st) == 0) {
      entry.plainFile = S_ISREG(st.st_mode);
      entry.ownerWritable = (st.st_mode & S_IWUSR) != 0;
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return entries;
}

namespace {

FileInfo InfoOf(const struct stat& st) {
  FileInfo info;
  info.exists = true;
  info.directory = S_ISDIR(st.st_mode);
  info.regular = S_ISREG(st.st_mode);
  info.ownerWritable = (st.st_mode & S_IWUSR) != 0;
  return info;
}

// Opens the directory `name` inside `at` without following a link, making
// it readable, writable and searchable for its owner first when it is not.
int OpenDirectoryForRemoval(int at, const char* name) {
  int fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    struct stat st;
    if (fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        fchmodat(at, name, (st.st_mode & 07777) | S_IRWXU, 0) == 0)
      fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU) fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
  return fd;
}

// Removes every entry of the directory open as `fd`, which it closes; goes
// on past a failure so that as much as possible goes.
bool EmptyDirectory(int fd) {
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
  }
  const int at = dirfd(dir);
  bool ok = true;
  for (const std::string& name : names) {
    struct stat st;
    if (fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ok = false;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      const int sub = OpenDirectoryForRemoval(at, name.c_str());
      if (sub < 0 || !EmptyDirectory(sub) || unlinkat(at, name.c_str(), AT_REMOVEDIR) != 0) ok = false;
    } else if (unlinkat(at, name.c_str(), 0) != 0) {
      ok = false;
    }
  }
  closedir(dir);
  return ok;
}

}  // namespace

FileInfo File_Info(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return {};
  return InfoOf(st);
}

bool File_Append(const std::string& path, const void* data, size_t size, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  bool ok = fd >= 0 && WriteAll(fd, data, size);
  int saved = errno;
  if (fd >= 0 && close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok && error) *error = std::strerror(saved);
  return ok;
}

bool File_Remove(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(path.c_str()) == 0;
}

bool File_RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: the check and the rename are two steps.
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

bool Directory_RemoveTree(const std::string& path) {
  if (path.empty()) return false;
  const int fd = OpenDirectoryForRemoval(AT_FDCWD, path.c_str());
  if (fd < 0) return false;
  const bool emptied = EmptyDirectory(fd);
  return rmdir(path.c_str()) == 0 && emptied;
}

std::vector<MatchedEntry> Directory_Match(const std::string& directory, const std::string& pattern, bool ignoreCase) {
  std::vector<MatchedEntry> found;
  DIR* dir = opendir(directory.c_str());
  if (!dir) return found;
  const int at = dirfd(dir);
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (fnmatch(pattern.c_str(), e->d_name, ignoreCase ? FNM_CASEFOLD : 0) != 0) continue;
    struct stat st;
    if (fstatat(at, e->d_name, &st, 0) != 0) continue;
    FileInfo info = InfoOf(st);
    if (info.directory || info.regular) found.push_back({e->d_name, info});
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const MatchedEntry& a, const MatchedEntry& b) { return a.name < b.name; });
  return found;
}

std::optional<std::string> Directory_CreateUnique(const std::string& prefix) {
  std::string pattern = prefix + "XXXXXX";
  if (!mkdtemp(pattern.data())) return std::nullopt;
  return pattern;
}
