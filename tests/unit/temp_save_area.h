// A save area of the test's own, in a fresh temporary directory that goes
// away with it.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "files/files.h"

class TempSaveArea {
 public:
  explicit TempSaveArea(const char* prefix) {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data())) root_ = pattern;
    EXPECT_FALSE(root_.empty()) << "no temporary directory";
    LoadSave_SetSaveArea(root_);
  }
  ~TempSaveArea() {
    LoadSave_SetSaveArea("");
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
  }
  TempSaveArea(const TempSaveArea&) = delete;
  TempSaveArea& operator=(const TempSaveArea&) = delete;

  const std::string& Root() const { return root_; }
  std::filesystem::path Path(const std::string& name) const { return std::filesystem::path(root_) / name; }

 private:
  std::string root_;
};
