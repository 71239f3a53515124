// Saving and loading the game from the object editor's actions.
#include <string>

#include "actions/action_group.h"
#include "motion/game_save.h"
#include "script/builtin_args.h"
#include "script/memory_manager.h"
#include "script/value.h"

namespace {

// The file name is the argument's text form: a number names the file
// written as string() writes it, so a real argument still saves and loads.
std::string FileNameArg(int argc, const ScriptValue* args) {
  if (argc < 1) return std::string();
  if (args[0].IsString()) return args[0].Text();
  char* buffer = nullptr;
  char* cursor = nullptr;
  int32_t capacity = 0;
  ScriptValue_AppendText(&cursor, &buffer, &capacity, &args[0]);
  std::string name = buffer ? buffer : "";
  MemoryManager::Release(buffer);
  return name;
}

TW_BUILTIN(F_ActionSaveGame) { GameSave_SaveFile(FileNameArg(argc, args)); }
TW_BUILTIN(F_ActionLoadGame) { GameSave_LoadFile(FileNameArg(argc, args)); }

}  // namespace

std::span<const NamedBuiltin> Action_SaveBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"action_save_game", F_ActionSaveGame},
      {"action_load_game", F_ActionLoadGame},
  };
  return kEntries;
}
