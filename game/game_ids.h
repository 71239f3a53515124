// The indices of the game's own resources, as its events name them.
#pragma once
#include <cstdint>

namespace game {

// Objects.
constexpr int32_t kObjPlayer = 0;
constexpr int32_t kObjBall = 2;
constexpr int32_t kObjComputer = 3;
constexpr int32_t kObjChangeLevel = 7;
constexpr int32_t kObjCountdown = 9;
constexpr int32_t kObjFadeToBlack = 15;

// Sounds.
constexpr int32_t kSoundMenuMusic = 0;
constexpr int32_t kSoundResultMusic = 1;
constexpr int32_t kSoundMatchMusic = 3;
constexpr int32_t kSoundGoal = 4;

// Rooms; the nine level rooms follow the level selection.
constexpr int32_t kRoomMenu = 1;
constexpr int32_t kRoomChooseLevel = 2;
constexpr int32_t kRoomFirstLevel = 3;
constexpr int32_t kRoomWin = 12;
constexpr int32_t kRoomLose = 13;
constexpr int32_t kRoomHelp = 14;

// Colours, 0xBBGGRR.
constexpr int32_t kBlack = 0;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kYellow = 0x00FFFF;
constexpr int32_t kGreen = 0x008000;

}  // namespace game
