// A save area of its own for one test: a fresh temporary directory, which the
// save area points below (not made), removed again with everything in it.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "files/files.h"
#include "platform/files.h"

struct TempSaveArea {
  explicit TempSaveArea(const std::string& below = "area") {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / "tw-files-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "no temporary directory";
    root = pattern;
    area = root + "/" + below;
    LoadSave_SetSaveArea(area);
  }
  ~TempSaveArea() {
    LoadSave_SetSaveArea("");
    File_RemoveTree(root);
  }
  TempSaveArea(const TempSaveArea&) = delete;
  TempSaveArea& operator=(const TempSaveArea&) = delete;

  std::string root, area;
};
