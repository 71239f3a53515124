// The room and game-state family of the "Game.." group: room changes and the
// requests that end or restart the game.
#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/game_builtins.h"
#include "script/builtin_args.h"

namespace {

TW_BUILTIN(F_RoomGoto) { Room_Goto(RoundedArg(argc, args, 0)); }
TW_BUILTIN(F_RoomGotoPrevious) { Room_GotoPrevious(); }
TW_BUILTIN(F_RoomGotoNext) { Room_GotoNext(); }
TW_BUILTIN(F_RoomPrevious) { Return(result, Room_PreviousOfExisting(RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_RoomNext) { Return(result, Room_NextOfExisting(RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_RoomRestart) { Room_Restart(); }
TW_BUILTIN(F_GameRestart) { Game_Restart(); }
TW_BUILTIN(F_GameEnd) { g_Run.new_room = kNewRoomEnd; }

}  // namespace

std::span<const NamedBuiltin> Motion_RoomBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"room_goto", F_RoomGoto},
      {"room_goto_previous", F_RoomGotoPrevious},
      {"room_goto_next", F_RoomGotoNext},
      {"room_previous", F_RoomPrevious},
      {"room_next", F_RoomNext},
      {"room_restart", F_RoomRestart},
      {"game_end", F_GameEnd},
      {"game_restart", F_GameRestart},
  };
  return kEntries;
}
