// Sprites and backgrounds loaded from image files in unit tests: a game
// directory and save area of their own, PNG files made from pixel words,
// the recording device, and the debug console captured.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "files/files.h"
#include "graphics/image_codecs.h"
#include "sprites/resource_group.h"
#include "sprites/sprites.h"
#include "unit/graphics/graphics_fixture.h"
#include "unit/line_console.h"
#include "unit/script/builtins_call.h"

namespace imagefiles {

namespace fs = std::filesystem;

using Words = std::vector<uint32_t>;

// A PNG of 0xAARRGGBB words.
inline std::vector<uint8_t> Png(int w, int h, const Words& words) {
  std::vector<uint8_t> rgba = Image_ArgbToRgba(words.data(), words.size());
  std::vector<uint8_t> out;
  EXPECT_TRUE(PNG_Encode(rgba.data(), w, h, &out));
  return out;
}

// Every pixel told apart by its place: red = x, green = y, opaque.
inline uint32_t Marked(int x, int y) { return 0xFF000000u | uint32_t(x) << 16 | uint32_t(y) << 8; }
inline std::vector<uint8_t> MarkedPng(int w, int h) {
  Words words;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) words.push_back(Marked(x, y));
  return Png(w, h, words);
}

class ImageLoading : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    GraphicsState_Reset(&device_);
    Textures_Reset();
    dir_ = fs::temp_directory_path() / ("tw-image-loading-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "game");
    fs::create_directories(dir_ / "save");
    LoadSave_SetBundleDirectory((dir_ / "game").string());
    LoadSave_SetSaveArea((dir_ / "save").string());
    saved_ = g_DebugConsole;
    g_DebugConsole = &log_;
    InitResourceFunctions();
  }
  void TearDown() override {
    g_DebugConsole = saved_;
    LoadSave_SetBundleDirectory("");
    LoadSave_SetSaveArea("");
    fs::remove_all(dir_);
    Textures_Reset();
    GraphicsState_Clear();
    BuiltinsTest::TearDown();
  }

  void Write(const std::string& name, const std::vector<uint8_t>& bytes, const char* where = "game") {
    std::ofstream(dir_ / where / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  // A plain one-frame sprite from a file.
  int FileSprite(const std::string& name) {
    const int index = Sprite_Add(name, 1, false, false, false, false, 0, 0);
    EXPECT_GE(index, 0);
    return index;
  }

  gfx::RecordingDevice device_;
  fs::path dir_;
  LineConsole log_;

 private:
  tagIConsole* saved_ = nullptr;
};

}  // namespace imagefiles
