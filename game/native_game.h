// What the program carries of a game: the compiled code's header, with the
// built-in container. The runner that plays data files carries none.
#pragma once
#include <cstdint>

struct NativeGameHeader {
  int32_t global_slots;    // global value slots the compiled code uses
  int32_t instance_slots;  // value slots per instance
  uint32_t container_size;  // 0: no built-in container
  const uint8_t* container;
};

const NativeGameHeader& NativeGame_Header();
