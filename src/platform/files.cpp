#include "platform/files.h"

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

bool File_WriteAtomic(const std::string& path, const void* data, size_t size, std::string* error) {
  std::string tmp = path + ".tmp-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  const auto* p = static_cast<const uint8_t*>(data);
  size_t left = size;
  bool ok = true;
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= size_t(n);
  }
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
