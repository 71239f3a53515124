#include "input/input_record.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "input/input.h"
#include "unit/world_reset.h"

namespace {

namespace fs = std::filesystem;
using Frame = std::array<uint8_t, kIORecordFrameSize>;

Frame Encode(const InputState& s) {
  uint8_t raw[kIORecordFrameSize];
  IO_EncodeFrame(s, raw);
  Frame f;
  std::memcpy(f.data(), raw, f.size());
  return f;
}

class RecordTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    dir_ = fs::path(::testing::TempDir()) /
           ("tw_input_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    IO_Shutdown();
    fs::remove_all(dir_);
    WorldTest::TearDown();
  }

  void Start(bool record, bool playback, const fs::path& file) {
    g_IORecord = record;
    g_IOPlayback = playback;
    g_IOFileName = file.string();
    IO_Init();
  }

  static void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  // Varied input over six steps: typing, a held key, a click, the wheel.
  // The first step takes the start-up seed, which replaces pending input.
  static void FeedStep(int step) {
    switch (step) {
      case 0:
        break;
      case 1:
        Input_OnKeyDown(65, 0, 0);
        Input_OnChar('a');
        Input_OnMouseMove(10, 20);
        break;
      case 2:
        Input_OnChar('b');
        Input_OnMouseDown(1, 0, 0);
        Input_OnWheelUp();
        break;
      case 3:
        Input_OnKeyUp(65, 0);
        Input_OnMouseUp(1, 0, 0);
        Input_OnChar(8);
        break;
      case 4:
        Input_OnKeyDown(0x27, 0, 0);
        Input_OnMouseDown(2, 0, 0);
        Input_OnMouseMove(300, 7);
        break;
      default:
        Input_OnWheelDown();
        break;
    }
  }

  fs::path dir_;
};

TEST_F(RecordTest, PlaybackReproducesEveryRecordedStep) {
  const int kSteps = 6;
  fs::path file = dir_ / "run.rec";
  Start(true, false, file);
  std::vector<Frame> recorded;
  std::vector<std::pair<int32_t, int32_t>> positions;  // device 0, read by mouse_x and the mouse events
  for (int step = 0; step < kSteps; ++step) {
    FeedStep(step);
    IO_Update();
    recorded.push_back(Encode(g_InputState));
    positions.emplace_back(g_InputState.device_x[0], g_InputState.device_y[0]);
  }
  ASSERT_EQ(positions.back(), std::make_pair(300, 7));
  IO_Shutdown();
  ASSERT_EQ(fs::file_size(file), kSteps * kIORecordFrameSize);

  // A fresh run: clear what recording left behind, then play back with
  // different live input, which must have no effect.
  g_InputPending = InputPending{};
  g_InputState = InputState{};
  Start(false, true, file);
  for (int step = 0; step < kSteps; ++step) {
    Input_OnKeyDown(90, 0, 0);
    Input_OnChar('z');
    IO_Update();
    EXPECT_EQ(Encode(g_InputState), recorded[step]) << "step " << step;
    EXPECT_EQ(std::make_pair(g_InputState.device_x[0], g_InputState.device_y[0]), positions[step]) << "step " << step;
  }
  EXPECT_STREQ(IO_GetKeyboardString(), "a");
  EXPECT_TRUE(IO_KeyIsDown(0x27));
  EXPECT_TRUE(IO_MouseIsDown(2, 0));
  EXPECT_TRUE(IO_WheelDown(0));

  // Past the end: held state stays, edges stop, live input stays off.
  IO_Update();
  EXPECT_TRUE(IO_KeyIsDown(0x27));
  EXPECT_FALSE(IO_KeyWasPressed(0x27));
  EXPECT_FALSE(IO_WheelDown(0));
  EXPECT_FALSE(IO_KeyIsDown(90));
  EXPECT_FALSE(g_IORecord);
}

TEST_F(RecordTest, RecordedStepsMatchTheExpectedEdges) {
  fs::path file = dir_ / "edges.rec";
  Start(true, false, file);
  for (int step = 0; step < 4; ++step) {
    FeedStep(step);
    IO_Update();
  }
  IO_Shutdown();
  g_InputState = InputState{};
  Start(false, true, file);
  IO_Update();
  EXPECT_FALSE(IO_KeyIsDown(65));
  IO_Update();
  EXPECT_TRUE(IO_KeyWasPressed(65));
  EXPECT_EQ(g_InputState.mouse_x, 10);
  IO_Update();
  EXPECT_FALSE(IO_KeyWasPressed(65));
  EXPECT_TRUE(IO_KeyIsDown(65));
  EXPECT_TRUE(IO_MouseWasPressed(1, 0));
  EXPECT_TRUE(IO_WheelUp(0));
  EXPECT_STREQ(IO_GetKeyboardString(), "ab");
  IO_Update();
  EXPECT_TRUE(IO_KeyWasReleased(65));
  EXPECT_TRUE(IO_MouseWasReleased(1, 0));
  EXPECT_EQ(IO_GetLastChar(), 8);
}

struct OffsetCase {
  size_t offset;
  std::vector<uint8_t> bytes;
};

TEST(RecordFormat, FieldsSitAtTheirOffsetsLittleEndian) {
  InputState s;
  s.last_char = 0x1234;
  s.keyboard_string[0] = 'h';
  s.keyboard_string[1024] = 0xBEEF;
  s.last_key = 0x41;
  s.current_key = 0x01020304;
  s.keys_down[1] = 1;
  s.keys_released[2] = 1;
  s.keys_pressed[255] = 1;
  s.mouse_last_button[4] = 3;
  s.mouse_button[0] = 2;
  s.mouse_down[0] = 1;
  s.mouse_released[14] = 1;
  s.mouse_pressed[1] = 1;
  s.wheel_up[0] = 1;
  s.wheel_down[4] = 1;
  s.cursor_x = -2;
  s.cursor_y = 0x7F;
  s.mouse_x = 640;
  s.mouse_y = 0x00ABCDEF;
  s.device_x[1] = 999;  // not part of the record
  const Frame f = Encode(s);
  const OffsetCase cases[] = {
      {0, {0x34, 0x12}},
      {2, {'h', 0}},
      {2 + 2 * 1024, {0xEF, 0xBE}},
      {2052, {0x41, 0, 0, 0}},
      {2056, {4, 3, 2, 1}},
      {2060, {0, 1, 0}},
      {2316, {0, 0, 1}},
      {2572 + 255, {1}},
      {2828 + 16, {3, 0, 0, 0}},
      {2848, {2, 0, 0, 0}},
      {2868, {1, 0}},
      {2883 + 14, {1}},
      {2898, {0, 1}},
      {2913, {1}},
      {2918 + 4, {1}},
      {2923, {0xFE, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0}},
      {2931, {0x80, 0x02, 0, 0}},
      {2935, {0xEF, 0xCD, 0xAB, 0x00}},
  };
  for (const OffsetCase& c : cases) {
    std::vector<uint8_t> got(f.begin() + c.offset, f.begin() + c.offset + c.bytes.size());
    EXPECT_EQ(got, c.bytes) << "offset " << c.offset;
  }
}

TEST(RecordFormat, DecodeNormalisesDamagedFields) {
  uint8_t raw[kIORecordFrameSize];
  std::memset(raw, 0xFF, sizeof raw);
  raw[2052] = 0x00;  // last key 0xFFFFFF00: far out of range
  raw[2056] = 66;  // current key 66 would still be damaged in its high bytes
  InputState s;
  s.device_x[0] = 77;
  IO_DecodeFrame(raw, s);
  EXPECT_EQ(s.last_char, 0xFFFF);
  EXPECT_EQ(s.keyboard_string[1024], 0);
  EXPECT_EQ(s.last_key, 0);
  EXPECT_EQ(s.current_key, 0);
  EXPECT_EQ(s.keys_down[10], 1);
  EXPECT_EQ(s.keys_pressed[255], 1);
  for (int d = 0; d < kInputDevices; ++d) {
    EXPECT_EQ(s.mouse_button[d], 0);
    EXPECT_EQ(s.mouse_last_button[d], 0);
    EXPECT_EQ(s.wheel_up[d], 1);
  }
  EXPECT_EQ(s.mouse_down[14], 1);
  EXPECT_EQ(s.mouse_x, -1);
  EXPECT_EQ(s.device_x[0], 77);
}

TEST_F(RecordTest, GarbagePlaybackStaysWithinTheTables) {
  fs::path file = dir_ / "garbage.rec";
  WriteFile(file, std::vector<uint8_t>(kIORecordFrameSize, 0xFF));
  Start(false, true, file);
  IO_Update();
  EXPECT_TRUE(IO_KeyIsDown(255));
  EXPECT_EQ(IO_GetLastKey(), 0);
  EXPECT_EQ(IO_GetMouseButton(0), 0);
  // All 1024 characters of U+FFFF, and no more.
  EXPECT_EQ(std::strlen(IO_GetKeyboardString()), 1024u * 3);
}

struct DamagedCase {
  const char* name;
  size_t size;  // bytes written; SIZE_MAX for no file at all
};

void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.name; }

class DamagedPlayback : public RecordTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedPlayback, EndsCleanlyAndKeepsLiveInputOff) {
  fs::path file = dir_ / "damaged.rec";
  // One recorded step with 'A' held and pressed, then whatever is left.
  InputState held;
  held.keys_down[65] = held.keys_pressed[65] = 1;
  held.last_key = 65;
  Frame first = Encode(held);
  if (GetParam().size != SIZE_MAX) {
    std::vector<uint8_t> bytes(first.begin(), first.end());
    bytes.resize(GetParam().size, 0x01);
    WriteFile(file, bytes);
  }
  g_InputState = InputState{};
  Start(false, true, file);
  bool full = GetParam().size != SIZE_MAX && GetParam().size >= kIORecordFrameSize;
  for (int step = 0; step < 4; ++step) {
    Input_OnKeyDown(66, 0, 0);
    IO_Update();
    EXPECT_FALSE(IO_KeyIsDown(66)) << step;
    EXPECT_EQ(IO_KeyIsDown(65), full) << step;
    EXPECT_EQ(IO_KeyWasPressed(65), full && step == 0) << step;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedPlayback,
    ::testing::Values(DamagedCase{"missing", SIZE_MAX}, DamagedCase{"empty", 0}, DamagedCase{"one_byte", 1},
                      DamagedCase{"cut_in_first_record", 2000}, DamagedCase{"one_record", kIORecordFrameSize},
                      DamagedCase{"cut_in_second_record", kIORecordFrameSize + 100},
                      DamagedCase{"one_byte_short_of_two", 2 * kIORecordFrameSize - 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordTest, PlaybackWinsOverRecordAndLeavesItsFileAlone) {
  fs::path file = dir_ / "b.rec";
  InputState s;
  s.keys_down[70] = 1;
  Frame f = Encode(s);
  WriteFile(file, std::vector<uint8_t>(f.begin(), f.end()));
  Start(true, true, file);
  EXPECT_FALSE(g_IORecord);
  IO_Update();
  IO_Update();
  EXPECT_TRUE(IO_KeyIsDown(70));
  IO_Shutdown();
  EXPECT_EQ(fs::file_size(file), kIORecordFrameSize);
}

TEST_F(RecordTest, UnopenableRecordFileWritesNothingAndLiveInputWorks) {
  Start(true, false, dir_ / "no_such_dir" / "x.rec");
  IO_Update();
  Input_OnKeyDown(65, 0, 0);
  IO_Update();
  EXPECT_TRUE(IO_KeyIsDown(65));
  EXPECT_FALSE(fs::exists(dir_ / "no_such_dir"));
}

TEST_F(RecordTest, RecordFileIsTruncatedOnStart) {
  fs::path file = dir_ / "old.rec";
  WriteFile(file, std::vector<uint8_t>(10000, 7));
  Start(true, false, file);
  IO_Update();
  IO_Update();
  IO_Shutdown();
  EXPECT_EQ(fs::file_size(file), 2 * kIORecordFrameSize);
}

}  // namespace
