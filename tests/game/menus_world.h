// A hand-made world for the menu and screen events: the game's objects at
// their indices, its fifteen rooms, the compiled game's slots and names
// bound, a font whose glyphs tell texts apart on the recording device, and
// the game's five sounds as short samples on OpenAL's null output, so that
// what plays, loops and stops can be read back.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "audio/audio.h"
#include "audio/legacy_sound.h"
#include "core/code_chunks.h"
#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/native_game.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/draw.h"
#include "draw/primitives.h"
#include "draw/text.h"
#include "game/game_code.h"
#include "game/game_runtime.h"
#include "motion/motion.h"
#include "script/code.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "unit/audio/sine_wav.h"
#include "unit/draw/font_fixture.h"
#include "unit/line_console.h"
#include "game_room.h"
#include "unit/motion/motion_objects.h"

namespace menus {

enum Obj : int32_t {
  kBall = 2,
  kLevelSelect = 6,
  kChangeLevel = 7,
  kGameStart = 10,
  kHelp = 11,
  kGotoLevel = 12,
  kSplash = 13,
  kFade = 15,
  kObjectCount = 16
};
enum Sound : int32_t { kMenuMusic = 0, kResultMusic = 1, kClick = 2, kMatchMusic = 3, kGoal = 4, kSoundCount = 5 };

constexpr int32_t kBlack = 0, kWhite = 0xFFFFFF;

using Recorded = fonttest::RecordedDraw;

// Any sprite of the game exists, as a 10 x 10 box.
inline bool Sprites(int32_t sprite, SpriteShape* out) {
  if (sprite < 0 || sprite > 14) return false;
  *out = {1, 0, 0, 9, 9, 0, 0, false, 10, 10};
  return true;
}

class MenusWorld : public fonttest::FontTest, public GameRoom {
 protected:
  void SetUp() override {
    FontTest::SetUp();
    console_saved_ = g_DebugConsole;
    g_DebugConsole = &console_;
    Objects_Reset();
    Rooms_Reset();
    saved_ = &NativeGame_Get();
    NativeGame_Install(NativeGame_Header());
    Code_SetNativeTable(NativeGame_Header().code_table, NativeGame_Header().code_count);
    Code_AllocateGlobalSlots();
    ClearGlobals();
    InitGameFunctions();
    InitMathFunctions();
    InitGraphicFunctions();
    InitActionFunctions();
    Action_Reset();
    Code_ResolveNativeReferences();
    Load(fonttest::FontContainer({fonttest::Telling()}));
    Instance_SetSpriteLookup(Sprites);

    for (int i = 0; i < kObjectCount; ++i) Motion_AddObject(i == kChangeLevel ? 6 : -1, -1, false);
    // The events the runner dispatches in these tests: creation through
    // Instance_CreateAt and the alarms the steps count down.
    Bind(kSplash, kEventAlarm, 0, 45);
    Bind(kFade, kEventCreate, 0, 49);
    Bind(kFade, kEventAlarm, 0, 50);
    Object_LinkParents();
    EnterRoom(0);
    StartSounds();
    Error_ClearOccurred();
  }
  void TearDown() override {
    LeaveRoom();
    SoundHardware_Quit();
    LegacySound_Clear();
    Options_Mutable().new_audio = false;
    Action_Reset();
    Code_SetNativeTable(nullptr, 0);
    NativeGame_Install(*saved_);
    Rooms_Reset();
    Objects_Reset();
    g_DebugConsole = console_saved_;
    FontTest::TearDown();
  }

  static void Bind(int32_t object, int type, int32_t subtype, int codeIndex) {
    Object_Find(object)->AddEvent(type, subtype)->SetCode(std::make_unique<CCode>(codeIndex, false));
  }

  static void SetLocal(CObjInstance* self, game::InstanceSlot slot, double value) {
    game::Assign(Local(self, slot), value);
  }

  // One step of the alarms, as the runner counts them down.
  void Step() {
    std::vector<CObjInstance*> now;
    for (CObjInstance* i : room_.active) now.push_back(i);
    for (CObjInstance* i : now) {
      if (i->MarkedDead() || i->alarm[0] < 0) continue;
      if (--i->alarm[0] == 0) Instance_PerformEvent(i, i, kEventAlarm, 0);
    }
  }

  // ---- Sounds ----
  // Sixty seconds of a quiet wave at 8 kHz: a sound that was started is
  // still playing when the test looks.
  void StartSounds() {
    setenv("ALSOFT_DRIVERS", "null", 0);
    Options_Mutable().new_audio = false;
    std::vector<std::optional<SoundRecord>> records;
    wav_ = testwav::Pcm16(1, 8000, std::vector<int16_t>(8000 * 60, 100));
    std::vector<std::span<const uint8_t>> entries;
    for (int s = 0; s < kSoundCount; ++s) {
      SoundRecord r;
      r.name = "snd" + std::to_string(s);
      r.kind = 0;
      r.extension = ".wav";
      r.file = r.name + ".wav";
      r.audio_index = uint32_t(s);
      records.push_back(r);
      entries.emplace_back(wav_);
    }
    Sound_InitFromRecords(records);
    Sound_BindEntries(entries);
    Sound_InitHardware();
    ASSERT_TRUE(SoundHardware_On()) << "OpenAL's null output did not open";
  }
  static bool Playing(int32_t sound) {
    const CSound* s = Sound_Get(sound);
    return s && Sound_IsPlaying(s->file_name, s->slot);
  }
  // How often the sound was started (modulo its four sources).
  static int Starts(int32_t sound) {
    CSound* s = Sound_Get(sound);
    const SoundSlot* slot = s && s->slot >= 0 ? Sound_GetSlot(s->slot) : nullptr;
    return slot && slot->sample ? slot->sample->next : 0;
  }
  // Whether running `event` started one click.
  static bool Clicked(const std::function<void()>& event) {
    const int before = Starts(kClick);
    event();
    return Starts(kClick) != before;
  }

  // ---- Drawing ----
  // A text line as draw_text_transformed draws it.
  struct Line {
    uint32_t colour;
    float x, y;
    std::string text;
    float scale;
  };
  static void DrawLines(const std::vector<Line>& lines) {
    for (const Line& l : lines) {
      Draw_SetColour(l.colour);
      Text_DrawTransformed(l.x, l.y, l.text.c_str(), -1, -1, l.scale, l.scale, 0);
    }
  }

  const NativeGameHeader* saved_ = nullptr;
  testwav::Bytes wav_;
  LineConsole console_;
  tagIConsole* console_saved_ = nullptr;
};

}  // namespace menus
