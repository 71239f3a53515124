#include "input/input_record.h"

#include <cstdio>
#include <cstring>

#include "script/console.h"

namespace {

FILE* s_file = nullptr;
bool s_writing = false;

struct Writer {
  uint8_t* p;
  void U8s(const uint8_t* v, size_t n) {
    std::memcpy(p, v, n);
    p += n;
  }
  void U16(uint16_t v) {
    *p++ = uint8_t(v);
    *p++ = uint8_t(v >> 8);
  }
  void S32(int32_t v) {
    uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) *p++ = uint8_t(u >> (8 * i));
  }
};

struct Reader {
  const uint8_t* p;
  uint16_t U16() {
    uint16_t v = uint16_t(p[0] | (p[1] << 8));
    p += 2;
    return v;
  }
  int32_t S32() {
    uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    p += 4;
    return int32_t(u);
  }
  // Flags hold 0 or 1 everywhere else in the engine.
  void Flags(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = p[i] ? 1 : 0;
    p += n;
  }
};

int32_t KeyOrZero(int32_t key) { return key >= 0 && key < kInputKeys ? key : 0; }
int32_t ButtonOrZero(int32_t button) { return button >= 0 && button <= kMouseButtons ? button : 0; }

void LogIO(const char* what) {
  if (g_DebugConsole) g_DebugConsole->Output("IO: %s \"%s\"\n", what, g_IOFileName.c_str());
}

}  // namespace

void IO_EncodeFrame(const InputState& s, uint8_t (&out)[kIORecordFrameSize]) {
  Writer w{out};
  w.U16(s.last_char);
  for (uint16_t unit : s.keyboard_string) w.U16(unit);
  w.S32(s.last_key);
  w.S32(s.current_key);
  w.U8s(s.keys_down, sizeof s.keys_down);
  w.U8s(s.keys_released, sizeof s.keys_released);
  w.U8s(s.keys_pressed, sizeof s.keys_pressed);
  for (int32_t b : s.mouse_last_button) w.S32(b);
  for (int32_t b : s.mouse_button) w.S32(b);
  w.U8s(s.mouse_down, sizeof s.mouse_down);
  w.U8s(s.mouse_released, sizeof s.mouse_released);
  w.U8s(s.mouse_pressed, sizeof s.mouse_pressed);
  w.U8s(s.wheel_up, sizeof s.wheel_up);
  w.U8s(s.wheel_down, sizeof s.wheel_down);
  w.S32(s.cursor_x);
  w.S32(s.cursor_y);
  w.S32(s.mouse_x);
  w.S32(s.mouse_y);
}

void IO_DecodeFrame(const uint8_t (&in)[kIORecordFrameSize], InputState& s) {
  Reader r{in};
  s.last_char = r.U16();
  for (uint16_t& unit : s.keyboard_string) unit = r.U16();
  s.keyboard_string[kKeyboardStringMax] = 0;
  s.last_key = KeyOrZero(r.S32());
  s.current_key = KeyOrZero(r.S32());
  r.Flags(s.keys_down, sizeof s.keys_down);
  r.Flags(s.keys_released, sizeof s.keys_released);
  r.Flags(s.keys_pressed, sizeof s.keys_pressed);
  for (int32_t& b : s.mouse_last_button) b = ButtonOrZero(r.S32());
  for (int32_t& b : s.mouse_button) b = ButtonOrZero(r.S32());
  r.Flags(s.mouse_down, sizeof s.mouse_down);
  r.Flags(s.mouse_released, sizeof s.mouse_released);
  r.Flags(s.mouse_pressed, sizeof s.mouse_pressed);
  r.Flags(s.wheel_up, sizeof s.wheel_up);
  r.Flags(s.wheel_down, sizeof s.wheel_down);
  s.cursor_x = r.S32();
  s.cursor_y = r.S32();
  s.mouse_x = r.S32();
  s.mouse_y = r.S32();
}

void IO_OpenRecordFile() {
  if (!(g_IORecord || g_IOPlayback) || g_IOFileName.empty()) return;
  IO_CloseRecordFile();
  if (g_IOPlayback) {
    g_IORecord = false;
    s_file = std::fopen(g_IOFileName.c_str(), "rb");
    s_writing = false;
  } else {
    s_file = std::fopen(g_IOFileName.c_str(), "w+b");
    s_writing = true;
  }
  if (s_file)
    std::setvbuf(s_file, nullptr, _IONBF, 0);
  else
    LogIO(g_IOPlayback ? "cannot open the playback file" : "cannot open the record file");
}

void IO_CloseRecordFile() {
  if (s_file) std::fclose(s_file);
  s_file = nullptr;
  s_writing = false;
}

void IO_PlaybackFrame() {
  if (!s_file || s_writing) return;
  uint8_t record[kIORecordFrameSize];
  size_t got = std::fread(record, 1, sizeof record, s_file);
  if (got == sizeof record) {
    IO_DecodeFrame(record, g_InputState);
    // The room position of the mouse (mouse_x, the mouse events) is read
    // from device 0's entry: it follows the recorded mouse, as the live
    // step update makes it follow the live one.
    g_InputState.device_x[0] = g_InputState.mouse_x;
    g_InputState.device_y[0] = g_InputState.mouse_y;
    return;
  }
  // The end of the file, or a cut-off last record: nothing more to play.
  if (got != 0) LogIO("playback ends at a cut-off step record in");
  IO_CloseRecordFile();
}

void IO_RecordFrame() {
  if (!s_file || !s_writing) return;
  uint8_t record[kIORecordFrameSize];
  IO_EncodeFrame(g_InputState, record);
  std::fwrite(record, 1, sizeof record, s_file);
  std::fflush(s_file);
}
