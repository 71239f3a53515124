#include "core/native_game.h"

namespace {
constexpr NativeGameHeader kNoGame{0, 0, 0, nullptr, nullptr, 0, nullptr, nullptr};
const NativeGameHeader* g_game = &kNoGame;
}  // namespace

const NativeGameHeader& NativeGame_Get() { return *g_game; }

void NativeGame_Install(const NativeGameHeader& header) { g_game = &header; }
