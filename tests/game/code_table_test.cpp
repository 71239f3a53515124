#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/native_game.h"

namespace {

std::vector<std::string> Names(NativeVarRef* const* refs) {
  std::vector<std::string> out;
  for (; *refs; ++refs) out.push_back((*refs)->name);
  return out;
}

std::vector<std::string> Names(NativeFuncRef* const* refs) {
  std::vector<std::string> out;
  for (; *refs; ++refs) out.push_back((*refs)->name);
  return out;
}

TEST(CodeTable, HoldsTheGamesEventsAndNamesInTheirOrder) {
  const NativeGameHeader& h = NativeGame_Header();
  EXPECT_EQ(h.global_slots, 4);
  EXPECT_EQ(h.instance_slots, 10);
  ASSERT_EQ(h.code_count, 52);
  EXPECT_STREQ(h.code_table[0].name, "tws_Object_plr_1_Collision_1");
  EXPECT_STREQ(h.code_table[30].name, "tws_Object_game_start_Create_0");
  EXPECT_STREQ(h.code_table[51].name, "tws_Object_obj_fadetoblack_Draw_64");
  for (int i = 0; i < h.code_count; ++i) EXPECT_NE(h.code_table[i].fn, nullptr) << i;
  EXPECT_EQ(Names(h.var_refs),
            (std::vector<std::string>{"direction", "x", "SoundPlay", "difficulty_selector", "sp", "OBJ", "tx", "y",
                                      "ty", "score_player2", "score_player1", "level_selector", "room_speed", "time",
                                      "blink", "room_width", "newRoom", "fadeAlpha", "fadeSpeed", "alarm",
                                      "room_height"}));
  EXPECT_EQ(Names(h.func_refs),
            (std::vector<std::string>{"action_bounce", "action_if_variable", "action_if_number", "action_move_to",
                                      "action_font", "action_if_sound", "action_sprite_set", "draw_text_transformed",
                                      "string", "floor", "action_another_room", "action_effect", "draw_text",
                                      "room_goto", "draw_rectangle_color"}));
}

}  // namespace
