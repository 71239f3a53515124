#include "core/native_game.h"

// The plain runner: no compiled code and no built-in container.
const NativeGameHeader& NativeGame_Header() {
  static const NativeGameHeader header{0, 0, 0, nullptr, nullptr, 0, nullptr, nullptr};
  return header;
}
