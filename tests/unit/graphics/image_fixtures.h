// The committed image fixtures (tests/fixtures/images, made by its
// make_fixtures.sh with ImageMagick) and small helpers around them.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"

namespace image_fixtures {

inline std::string Path(const std::string& name) { return std::string(TW_FIXTURES_DIR) + "/images/" + name; }

inline std::vector<uint8_t> Read(const std::string& name) {
  auto bytes = File_ReadAll(Path(name));
  EXPECT_TRUE(bytes.has_value()) << "missing fixture " << name;
  return bytes ? *bytes : std::vector<uint8_t>();
}

// ImageMagick's decode of `base` as words 0xAARRGGBB: from BASE.rgba, or from
// BASE.rgba16 reduced to 8 bits with rounding (v * 255 / 65535 to nearest).
inline std::vector<uint32_t> Expected(const std::string& base) {
  std::vector<uint32_t> words;
  if (auto b = File_ReadAll(Path(base + ".rgba"))) {
    for (size_t i = 0; i + 3 < b->size(); i += 4)
      words.push_back(uint32_t((*b)[i + 3]) << 24 | uint32_t((*b)[i]) << 16 | uint32_t((*b)[i + 1]) << 8 | (*b)[i + 2]);
    return words;
  }
  auto b = File_ReadAll(Path(base + ".rgba16"));
  EXPECT_TRUE(b.has_value()) << "missing expectation for " << base;
  if (!b) return words;
  auto ch = [&](size_t i) {
    uint32_t v = uint32_t((*b)[i]) | uint32_t((*b)[i + 1]) << 8;
    return (v * 255 + 32767) / 65535;
  };
  for (size_t i = 0; i + 7 < b->size(); i += 8) words.push_back(ch(i + 6) << 24 | ch(i) << 16 | ch(i + 2) << 8 | ch(i + 4));
  return words;
}

// A fresh directory under the test's temporary directory, removed after.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / "tw-images-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    if (!path_.empty()) File_RemoveTree(path_);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Debian's ImageMagick, when installed.
inline const char* ConvertProgram() {
  static const char* kPath = "/usr/bin/convert";
  return access(kPath, X_OK) == 0 ? kPath : nullptr;
}

// Runs a program with fixed arguments (no shell) and returns what it wrote
// to standard output; false when it could not run or failed.
inline bool RunCapture(const std::vector<std::string>& args, std::vector<uint8_t>* out) {
  out->clear();
  int pipefd[2];
  if (pipe(pipefd) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(pipefd[1], 1);
    close(pipefd[0]);
    close(pipefd[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipefd[1]);
  uint8_t chunk[4096];
  for (;;) {
    ssize_t n = read(pipefd[0], chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out->insert(out->end(), chunk, chunk + n);
  }
  close(pipefd[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace image_fixtures
