#include "core/native_game.h"

// The container is linked in from embedded_container.S.
extern "C" const uint8_t tw_embedded_container[];
extern "C" const uint8_t tw_embedded_container_end[];

// Until the game's compiled events exist, the demo container runs without
// compiled code.
const NativeGameHeader& NativeGame_Header() {
  static const NativeGameHeader header{4,       10,      uint32_t(tw_embedded_container_end - tw_embedded_container),
                                       tw_embedded_container, nullptr, 0, nullptr, nullptr};
  return header;
}
