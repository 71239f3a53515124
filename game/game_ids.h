// The indices of the game's own resources, as its events name them.
#pragma once
#include <cstdint>

namespace game {

// Objects.
constexpr int32_t kObjBall = 2;
constexpr int32_t kObjChangeLevel = 7;
constexpr int32_t kObjFadeToBlack = 15;

// Sounds.
constexpr int32_t kSoundMenuMusic = 0;
constexpr int32_t kSoundResultMusic = 1;
constexpr int32_t kSoundMatchMusic = 3;

// Rooms; the nine level rooms follow the level selection.
constexpr int32_t kRoomMenu = 1;
constexpr int32_t kRoomChooseLevel = 2;
constexpr int32_t kRoomFirstLevel = 3;
constexpr int32_t kRoomHelp = 14;

// Colours, 0xBBGGRR.
constexpr int32_t kBlack = 0;
constexpr int32_t kWhite = 0xFFFFFF;

}  // namespace game
