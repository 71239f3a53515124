#include "core/native_game.h"
#include "runner/entry.h"

int main(int argc, char** argv) {
  NativeGame_Install(NativeGame_Header());
  return Runner_Main(argc, argv);
}
