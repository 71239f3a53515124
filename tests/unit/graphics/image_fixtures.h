// The committed image fixtures (tests/fixtures/images, made by its
// make_fixtures.sh with ImageMagick) and small helpers around them.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
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

// A DDS file of width x height: with a four-character code `fourCC` the
// payload is its blocks; without one ("") it is pixels of `bits` bits with
// the masks red, green, blue, alpha (alpha 0: none).
inline std::vector<uint8_t> Dds(uint32_t width, uint32_t height, const char* fourCC,
                                const std::vector<uint8_t>& payload, uint32_t bits = 0,
                                std::array<uint32_t, 4> masks = {}) {
  std::vector<uint8_t> f(128, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  std::memcpy(f.data(), "DDS ", 4);
  put(4, 124);
  put(8, 0x1007);  // caps, height, width, pixel format
  put(12, height);
  put(16, width);
  put(76, 32);
  if (fourCC[0]) {
    put(80, 0x4);
    std::memcpy(&f[84], fourCC, 4);
  } else {
    put(80, 0x40 | (masks[3] ? 0x1 : 0));
    put(88, bits);
    for (int i = 0; i < 4; ++i) put(92 + 4 * size_t(i), masks[size_t(i)]);
  }
  put(108, 0x1000);
  f.insert(f.end(), payload.begin(), payload.end());
  return f;
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
