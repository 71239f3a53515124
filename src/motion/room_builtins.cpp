// The room and game-state family of the "Game.." group: room changes and the
// requests that end or restart the game.
#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/game_builtins.h"
#include "motion/game_save.h"
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

// The game-save calls act only on one argument of the kind they take, and
// always answer -1.
TW_BUILTIN(F_GameSave) {
  if (argc == 1 && IsStringArg(argc, args, 0)) GameSave_SaveFile(TextArg(argc, args, 0));
  Return(result, -1);
}
TW_BUILTIN(F_GameLoad) {
  if (argc == 1 && IsStringArg(argc, args, 0)) GameSave_LoadFile(TextArg(argc, args, 0));
  Return(result, -1);
}
TW_BUILTIN(F_GameSaveBuffer) {
  if (argc == 1 && IsRealArg(argc, args, 0)) GameSave_SaveToBuffer(RoundedArg(argc, args, 0));
  Return(result, -1);
}
TW_BUILTIN(F_GameLoadBuffer) {
  if (argc == 1 && IsRealArg(argc, args, 0)) GameSave_QueueLoad(RoundedArg(argc, args, 0));
  Return(result, -1);
}

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
      {"game_save", F_GameSave},
      {"game_load", F_GameLoad},
      {"game_save_buffer", F_GameSaveBuffer},
      {"game_load_buffer", F_GameLoadBuffer},
  };
  return kEntries;
}
