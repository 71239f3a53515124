#include "game/native_game.h"

// The container is linked in from embedded_container.S.
extern "C" const uint8_t tw_embedded_container[];
extern "C" const uint8_t tw_embedded_container_end[];

const NativeGameHeader& NativeGame_Header() {
  static const NativeGameHeader header{4, 10, uint32_t(tw_embedded_container_end - tw_embedded_container),
                                       tw_embedded_container};
  return header;
}
