// The container linked into the program, read by the runner's own chunk
// walk: every resource and room of the game's tables, and every event bound
// to the compiled-code entry its name gives.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "audio/audio_assets.h"
#include "core/events.h"
#include "core/game_data.h"
#include "core/game_info.h"
#include "core/native_game.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/rooms.h"
#include "core/script_world.h"
#include "draw/fonts.h"
#include "graphics/textures.h"
#include "runner/load_game.h"
#include "script/code.h"
#include "script/function_registry.h"
#include "sprites/sprites.h"
#include "unit/world_reset.h"

namespace {

class EmbeddedContainer : public RoomWorldTest {
 protected:
  void SetUp() override {
    RoomWorldTest::SetUp();
    NativeGame_Install(NativeGame_Header());
    World_InstallScriptHooks();
    const NativeGameHeader& h = NativeGame_Get();
    ASSERT_GT(h.container_size, 0u);
    GameData_Use(GameDataFile(h.container, h.container_size));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    bool ok = false;
    try {
      GameData_LoadHeader(GameData_File());
      ok = GameData_ProcessChunks(GameData_File());
    } catch (const DataError& e) {
      ADD_FAILURE() << e.what();
    }
    const std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ok) << err;
  }
  void TearDown() override {
    Sprite_Clear();
    Audio_ClearAssets();
    TPage_Clear();
    NativeGame_Install(kNone);
    RoomWorldTest::TearDown();
  }
  static constexpr NativeGameHeader kNone{0, 0, 0, nullptr, nullptr, 0, nullptr, nullptr};
};

TEST_F(EmbeddedContainer, HoldsTheGamesOptionsSpritesSoundsAndFont) {
  EXPECT_EQ(GameInfo_Get().width, 640);
  EXPECT_EQ(GameInfo_Get().height, 480);
  EXPECT_EQ(Options_Get().words[2], 1u) << "the sounds belong to the OpenAL audio system";

  struct SpriteRow {
    const char* name;
    int width, height, xorigin, yorigin;
  };
  std::vector<SpriteRow> sprites = {{"sprite0", 8, 64, 4, 32},       {"block", 32, 32, 0, 0},
                                    {"block_plr1", 32, 32, 0, 0},    {"block_plr2", 32, 32, 0, 0},
                                    {"ball1", 8, 8, 4, 4},           {"level2_map", 320, 240, 160, 120},
                                    {"level1_map", 320, 240, 160, 120}};
  for (int n = 3; n <= 9; ++n) sprites.push_back({nullptr, 320, 240, 160, 120});
  sprites.push_back({"sprite14", 356, 335, 178, 167});
  ASSERT_EQ(Sprite_Count(), int(sprites.size()));
  for (size_t i = 0; i < sprites.size(); ++i) {
    const CSprite* s = Sprite_Get(int(i));
    ASSERT_NE(s, nullptr) << i;
    const std::string name = sprites[i].name ? sprites[i].name : "level" + std::to_string(i - 4) + "_map";
    EXPECT_EQ(s->name, name) << i;
    EXPECT_EQ(s->width, sprites[i].width) << name;
    EXPECT_EQ(s->height, sprites[i].height) << name;
    EXPECT_EQ(s->xOrigin, sprites[i].xorigin) << name;
    EXPECT_EQ(s->yOrigin, sprites[i].yorigin) << name;
    EXPECT_EQ(s->frameCount, 1) << name;
    // A rectangular mask: the whole image, no per-pixel mask.
    EXPECT_FALSE(s->precise) << name;
    EXPECT_FALSE(s->hasMasks) << name;
    EXPECT_EQ(s->bboxLeft, 0) << name;
    EXPECT_EQ(s->bboxTop, 0) << name;
    EXPECT_EQ(s->bboxRight, sprites[i].width - 1) << name;
    EXPECT_EQ(s->bboxBottom, sprites[i].height - 1) << name;
    EXPECT_NE(s->FrameEntry(0), nullptr) << name;
  }

  // The music is streamed from files; the two short sounds play from memory.
  const std::vector<std::pair<std::string, int>> sounds = {
      {"bg_music1.ogg", 1}, {"win_music.ogg", 1}, {"click1.wav", 0}, {"play_music.ogg", 1}, {"goal.wav", 0}};
  ASSERT_EQ(Audio_Assets().size(), sounds.size());
  for (size_t i = 0; i < sounds.size(); ++i) {
    const AudioAsset* a = Audio_GetAsset(int32_t(i));
    ASSERT_NE(a, nullptr) << i;
    EXPECT_EQ(a->name, sounds[i].first);
    EXPECT_EQ(Audio_GetType(int32_t(i)), sounds[i].second) << sounds[i].first;
    EXPECT_FLOAT_EQ(a->gain, 1.0f) << sounds[i].first;
    // The short sounds carry their WAV files.
    if (sounds[i].second == 0) {
      ASSERT_TRUE(a->bound) << sounds[i].first;
      ASSERT_GE(a->entry.size(), 12u);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(a->entry.data()) + 8, 4), "WAVE");
    }
  }

  ASSERT_EQ(Font_Count(), 1);
  const CFontTW* font = Font_Get(0);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(Font_GetName(0), "font0");
  EXPECT_EQ(font->GetSize(), 9);
  EXPECT_EQ(font->GetFirst(), 32);
  EXPECT_EQ(font->GetLast(), 127);
  EXPECT_EQ(font->GlyphCount(), 96);
}

TEST_F(EmbeddedContainer, ObjectsHaveTheirSpritesFlagsDepthsAndCompiledEvents) {
  struct ObjectRow {
    const char* name;
    int sprite;
    bool solid;
    int depth;
  };
  const ObjectRow objects[] = {
      {"plr_1", 0, true, 100},        {"block1", 1, true, 0},         {"ball_1", 4, true, 50},
      {"plr_2", 0, true, 100},        {"goal_plr1", 2, false, 0},     {"goal_plr2", 3, false, 0},
      {"level_select", -1, false, 0}, {"change_level", 6, false, 0},  {"GameRunning", -1, false, 0},
      {"countdown", -1, false, 0},    {"game_start", -1, false, 0},   {"obj_Help", -1, false, 0},
      {"gotolevel", -1, false, 0},    {"splash_screen", -1, false, 0}, {"spr_splash", 14, false, 0},
      {"obj_fadetoblack", -1, false, 0}};
  ASSERT_EQ(Object_Count(), 16);
  for (int i = 0; i < 16; ++i) {
    const CObject* o = Object_Find(i);
    ASSERT_NE(o, nullptr) << i;
    EXPECT_EQ(o->Name(), objects[i].name);
    EXPECT_EQ(o->sprite_index, objects[i].sprite) << objects[i].name;
    const int solid = objects[i].solid ? kObjectFlagSolid : 0;
    EXPECT_EQ(o->flags, kObjectFlagVisible | solid) << objects[i].name << ": visible, solid, not persistent";
    EXPECT_EQ(o->depth, objects[i].depth) << objects[i].name;
    EXPECT_EQ(o->parent_index, -1) << objects[i].name;
    EXPECT_EQ(o->mask_index, -1) << objects[i].name;
  }

  // Each compiled entry is bound, through its code index, to the event its
  // name gives, and no object has an event besides those.
  const std::map<std::string, int> types = {{"Create", 0}, {"Alarm", 2}, {"Step", 3}, {"Collision", 4},
                                            {"Keyboard", 5}, {"Draw", 8}, {"KeyPress", 9}};
  const NativeGameHeader& h = NativeGame_Header();
  int bound = 0;
  for (int index = 0; index < h.code_count; ++index) {
    const std::string name = h.code_table[index].name;
    const size_t last = name.rfind('_'), kind = name.rfind('_', last - 1);
    const std::string event = name.substr(kind + 1, last - kind - 1);
    const int subtype = std::stoi(name.substr(last + 1));
    const std::string object = name.substr(std::string("tws_Object_").size(), kind - std::string("tws_Object_").size());
    const int objectIndex = Object_FindByName(object);
    ASSERT_GE(objectIndex, 0) << name;
    ASSERT_TRUE(types.count(event)) << name;
    const CEvent* e = Object_Find(objectIndex)->GetEvent(types.at(event), subtype);
    ASSERT_NE(e, nullptr) << name;
    ASSERT_NE(e->Code(), nullptr) << name;
    EXPECT_EQ(e->Code()->Native(), &h.code_table[index]) << name;
    EXPECT_EQ(e->Code()->Name(), name);
    ++bound;
  }
  int events = 0;
  for (int i = 0; i < 16; ++i)
    for (int type = 0; type < kEventTypeCount; ++type)
      Object_Find(i)->ForEachEvent(type, [&](int32_t, const CEvent* e) { events += e != nullptr; });
  EXPECT_EQ(events, bound);
}

TEST_F(EmbeddedContainer, NameListsAreBoundOnceTheChunksAreRead) {
  const NativeGameHeader& h = NativeGame_Header();
  for (NativeFuncRef* const* r = h.func_refs; *r; ++r) {
    EXPECT_GE((*r)->id, 0) << (*r)->name;
    EXPECT_EQ((*r)->id, FunctionRegistry_Find((*r)->name)) << (*r)->name;
  }
  std::set<int32_t> ids;
  for (NativeVarRef* const* r = h.var_refs; *r; ++r) {
    const std::string name = (*r)->name;
    const bool builtin = name == "direction" || name == "x" || name == "y" || name == "room_speed" ||
                         name == "room_width" || name == "room_height" || name == "alarm";
    if (builtin) EXPECT_TRUE((*r)->id >= 0 && (*r)->id < 10000) << name << " " << (*r)->id;
    else EXPECT_GE((*r)->id, 100000) << name;
    ids.insert((*r)->id);
  }
  EXPECT_EQ(ids.size(), 21u) << "every name its own id";
}

TEST_F(EmbeddedContainer, RoomsHoldTheirInstancesBlocksAndGoals) {
  struct RoomRow {
    const char* name;
    uint32_t colour;
    int blocks;
    std::map<int, int> others;  // object -> count, goals and blocks aside
  };
  const uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;
  const std::map<int, int> level = {{0, 1}, {3, 1}, {9, 1}, {8, 1}};
  const RoomRow rooms[] = {
      {"Gamestart", kWhite, 0, {{13, 1}, {14, 1}}},
      {"Menu", kBlack, 95, {{2, 1}, {10, 1}}},
      {"Choose_Level", kBlack, 66, {{7, 1}, {6, 1}}},
      {"level1", kBlack, 40, level},
      {"level2", kBlack, 48, level},
      {"level3", kBlack, 48, level},
      {"level4", kBlack, 50, level},
      {"level5", kBlack, 54, level},
      {"level6", kBlack, 76, level},
      {"level7", kBlack, 64, level},
      {"level8", kBlack, 80, level},
      {"level9", kBlack, 82, level},
      {"Winroom", kBlack, 111, {{2, 9}, {12, 1}}},
      {"Loseroom", kBlack, 114, {{12, 1}}},
      {"help", kBlack, 77, {{11, 1}}},
  };
  ASSERT_EQ(Room_Count(), 15);
  EXPECT_EQ(Room_GetOrder(), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
  for (int i = 0; i < 15; ++i) {
    const RoomRow& want = rooms[i];
    const CGameRoom* room = Room_Get(i);
    ASSERT_NE(room, nullptr) << i;
    const RoomRecord* r = room->Record();
    ASSERT_NE(r, nullptr) << want.name;
    EXPECT_EQ(r->name, want.name);
    EXPECT_EQ(r->width, 640) << want.name;
    EXPECT_EQ(r->height, 480) << want.name;
    EXPECT_EQ(r->speed, 60) << want.name;
    EXPECT_EQ(r->persistent, 0) << want.name;
    EXPECT_EQ(r->colour & 0xFFFFFF, want.colour) << want.name;
    EXPECT_NE(r->show_colour, 0) << want.name;
    EXPECT_EQ(r->flags & 1, 0u) << want.name << ": views";
    for (const RoomRecordView& v : r->views) EXPECT_EQ(v.visible, 0) << want.name;

    std::map<int, int> others;
    std::vector<std::pair<int, int>> blocks, leftGoals, rightGoals;
    for (const RoomRecordInstance& inst : r->instances) {
      EXPECT_EQ(inst.code, nullptr) << want.name << ": instances have no creation code";
      if (inst.object == 1) blocks.push_back({inst.x, inst.y});
      else if (inst.object == 4) leftGoals.push_back({inst.x, inst.y});
      else if (inst.object == 5) rightGoals.push_back({inst.x, inst.y});
      else ++others[inst.object];
    }
    EXPECT_EQ(int(blocks.size()), want.blocks) << want.name;
    EXPECT_EQ(others, want.others) << want.name;
    // Two goal columns of 15 cells beside the room.
    std::vector<std::pair<int, int>> left, right;
    for (int y = 0; y < 480; y += 32) {
      left.push_back({-32, y});
      right.push_back({640, y});
    }
    EXPECT_EQ(leftGoals, left) << want.name;
    EXPECT_EQ(rightGoals, right) << want.name;
    // Blocks sit on the 32-pixel grid inside the room, one to a cell, with
    // the top and bottom walls whole in every room that has blocks.
    std::set<std::pair<int, int>> cells(blocks.begin(), blocks.end());
    EXPECT_EQ(cells.size(), blocks.size()) << want.name;
    for (auto [x, y] : blocks) {
      EXPECT_TRUE(x % 32 == 0 && y % 32 == 0 && x >= 0 && x < 640 && y >= 0 && y < 480) << want.name;
    }
    if (want.blocks > 0) {
      for (int x = 0; x < 640; x += 32) {
        EXPECT_TRUE(cells.count({x, 0}) && cells.count({x, 448})) << want.name << " wall at x " << x;
      }
    }
    const bool isLevel = i >= 3 && i <= 11;
    for (int y = 32; y < 448; y += 32) {
      if (want.blocks == 0) break;
      // Level rooms are open at the sides onto the goals; the others closed.
      EXPECT_EQ(cells.count({0, y}) && cells.count({608, y}), !isLevel) << want.name << " side at y " << y;
      if (isLevel) {
        // The paddles' columns stay free.
        for (int x : {32, 64, 544, 576}) EXPECT_FALSE(cells.count({x, y})) << want.name << " " << x << "," << y;
      }
    }
  }
}

TEST_F(EmbeddedContainer, FixedInstancesStandWhereTheGamePutsThem) {
  auto find = [](int room, int object) {
    std::vector<std::pair<int, int>> at;
    for (const RoomRecordInstance& inst : Room_Get(room)->Record()->instances)
      if (inst.object == object) at.push_back({inst.x, inst.y});
    return at;
  };
  using At = std::vector<std::pair<int, int>>;
  EXPECT_EQ(find(0, 13), (At{{32, 416}}));
  EXPECT_EQ(find(0, 14), (At{{320, 192}}));
  EXPECT_EQ(find(1, 2), (At{{320, 288}}));
  EXPECT_EQ(find(1, 10), (At{{64, 384}}));
  EXPECT_EQ(find(2, 7), (At{{320, 160}}));
  EXPECT_EQ(find(2, 6), (At{{64, 416}}));
  for (int level = 3; level <= 11; ++level) {
    EXPECT_EQ(find(level, 0), (At{{64, 224}})) << level;
    EXPECT_EQ(find(level, 3), (At{{576, 224}})) << level;
    EXPECT_EQ(find(level, 9), (At{{288, 192}})) << level;
    EXPECT_EQ(find(level, 8), (At{{320, 192}})) << level;
  }
  EXPECT_EQ(find(12, 12), (At{{64, 416}}));
  EXPECT_EQ(find(13, 12), (At{{32, 416}}));
  EXPECT_EQ(find(14, 11), (At{{64, 64}}));
}

}  // namespace
