// The virtual-button table: records and their place in a saved game. The
// buttons' hit test and drawing come with touch input.
#include <array>

#include "ds/save_stream.h"
#include "input/input.h"

namespace {
std::array<VirtualButton, kVirtualButtonCount> g_buttons;
constexpr int32_t kSaveTag = 851;
// Two s16 and ten s32 values.
constexpr int64_t kRecordBytes = 2 * 2 + 10 * 4;
}  // namespace

VirtualButton* IO_VirtualButton(int index) {
  return index >= 0 && index < kVirtualButtonCount ? &g_buttons[size_t(index)] : nullptr;
}

int IO_VirtualButtonAlloc() {
  for (int i = 0; i < kVirtualButtonCount; ++i)
    if (g_buttons[size_t(i)].flags == 0) return i;
  return -1;
}

void IO_VirtualButtonFree(int index) {
  if (VirtualButton* b = IO_VirtualButton(index)) b->flags = 0;
}

void IO_VirtualButtonsClear() {
  for (VirtualButton& b : g_buttons) b.flags = 0;
}

void IO_VirtualButtonsSave(ValueStream* buffer) {
  SaveWriter w(buffer);
  w.S32(kSaveTag);
  w.S32(kVirtualButtonCount);
  for (const VirtualButton& b : g_buttons) {
    w.S16(b.flags);
    w.S16(b.slot);
    for (int32_t v : {b.x, b.y, b.x2, b.y2, b.w, b.h, b.u, b.v, b.key, b.button}) w.S32(v);
  }
}

bool IO_VirtualButtonsLoad(ValueStream* buffer) {
  SaveReader r(buffer);
  if (r.S32() != kSaveTag || !r.Ok()) return false;
  const int32_t count = r.S32();
  if (!r.Ok()) return false;
  // A count of 0 or less holds no records; the table has room for 128, so
  // a save claiming more is damaged rather than read past the table.
  if (count > kVirtualButtonCount || (count > 0 && !r.CountFits(count, kRecordBytes))) return false;
  std::array<VirtualButton, kVirtualButtonCount> loaded{};
  for (int32_t i = 0; i < count; ++i) {
    VirtualButton& b = loaded[size_t(i)];
    b.flags = int16_t(r.S16());
    b.slot = int16_t(r.S16());
    for (int32_t* f : {&b.x, &b.y, &b.x2, &b.y2, &b.w, &b.h, &b.u, &b.v, &b.key, &b.button}) *f = r.S32();
  }
  if (!r.Ok()) return false;
  g_buttons = loaded;
  return true;
}
