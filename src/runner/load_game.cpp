#include "runner/load_game.h"

#include <cstring>
#include <string>

#include "audio/audio.h"
#include "core/builtin_vars.h"
#include "core/code_chunks.h"
#include "core/game_data.h"
#include "core/game_info.h"
#include "core/native_game.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/rooms.h"
#include "core/timelines.h"
#include "draw/draw.h"
#include "ext/extensions.h"
#include "files/files.h"
#include "files/ini_file.h"
#include "graphics/graphics.h"
#include "graphics/textures.h"
#include "input/input.h"
#include "motion/motion.h"
#include "physics/physics.h"
#include "platform/paths.h"
#include "runner/command_line.h"
#include "runner/entry.h"
#include "runner/profiler.h"
#include "script/console.h"
#include "script/scripts.h"
#include "script/vm.h"
#include "sprites/sprites.h"

namespace {
IniFile g_ini;
}  // namespace

// ---- RunnerLoadGame ----------------------------------------------------------

void Options_ReadIni(const IniFile& ini) {
  // The four orientation keys feed a hook that does nothing on this platform.
  if (ini.FindKey("DEFAULT", "Debug")) {
    const int debug = ini.ReadInt("DEFAULT", "Debug", 0);
    g_DebugMode = debug != 0;
    if (debug != 0) {
      g_ProfilerOverlayFlags = 2;
      Physics_InstallAssertHook();
    }
  }
  if (ini.FindKey("DEFAULT", "Trace")) g_TraceVM = ini.ReadInt("DEFAULT", "Trace", 0) != 0;
}

bool RunnerLoadGame() {
  g_DebugConsole->Output("RunnerLoadGame: %s\n", g_GameDataPath ? g_GameDataPath->c_str() : "(null)");
  const NativeGameHeader& native = NativeGame_Get();
  bool builtIn = native.container_size > 0 && native.container != nullptr;
  std::string path;
  if (builtIn) {
    // The compiled events belong to the built-in container alone: a file
    // given with -game (or a data.win beside the program) is not played.
    if (g_GameDataPath && !g_GameDataPath->empty())
      g_DebugConsole->Output("Playing the built-in game, not %s\n", g_GameDataPath->c_str());
    path = Main_GetExePath();
  } else if (g_GameDataPath && !g_GameDataPath->empty()) {
    path = Path_Absolute(*g_GameDataPath);
    g_DebugConsole->Output("RunnerLoadGame() - %s\n", path.c_str());
  } else {
    auto chosen = LoadSave_ChooseGameFile();
    if (!chosen) {
      Console_Error("No game data file: there is no data.win beside the program, no -game file was given and none was chosen\n");
      return false;
    }
    path = Path_Absolute(*chosen);
    g_DebugConsole->Output("RunnerLoadGame() - %s\n", path.c_str());
  }
  g_GameDataPath = path;
  WorkingDirectory_Init(path);

  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) {
    std::string ini = path.substr(0, slash) + "/options.ini";
    g_DebugConsole->Output("Checking if INIFile %s Exists\n", ini.c_str());
    if (File_Exists(ini)) {
      g_ini = IniFile::FromFile(ini, true);
      IO_ReadVirtualButtonsIni(g_ini);
      Options_ReadIni(g_ini);
    } else {
      g_DebugConsole->Output("!!!!No INI File %s\n", ini.c_str());
    }
  }

  size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    std::string debugPath = path.substr(0, dot) + ".qxdebug";
    if (File_Exists(debugPath)) {
      if (auto bytes = LoadSave_ReadWholeFile(debugPath)) {
        try {
          GameData_UseDebugFile(GameDataFile(std::move(*bytes)));
        } catch (const DataError& e) {
          // Debug information only helps the debugger; a damaged file is skipped.
          Console_Error("Ignoring the debug information %s: %s\n", debugPath.c_str(), e.what());
        }
      }
    }
  }

  g_DebugConsole->Output("Reading File %s\n", path.c_str());
  const GameDataFile& g_file = GameData_File();
  try {
    if (builtIn) {
      GameData_Use(GameDataFile(native.container, native.container_size));
      g_DebugConsole->Output("Loaded File %s\n", path.c_str());
    } else {
      std::string why;
      auto bytes = LoadSave_ReadWholeFile(path, &why);
      if (!bytes) {
        g_DebugConsole->Output("FAILED to load File %s\n", path.c_str());
        Console_Error("Cannot read the game data file %s: %s\n", path.c_str(), why.c_str());
        return false;
      }
      GameData_Use(GameDataFile(std::move(*bytes)));
      g_DebugConsole->Output("Loaded File %s\n", path.c_str());
    }
    if (g_file.Size() == 0) {
      Console_Error("The game data file %s is empty\n", path.c_str());
      return false;
    }
    if (g_file.Size() < 8) {
      Console_Error("%s is too short to be a game data file (%u bytes)\n", path.c_str(), g_file.Size());
      return false;
    }
    if (!g_file.HasFormTag()) {
      Console_Error("%s is not a game data file: it does not start with FORM\n", path.c_str());
      return false;
    }
    g_DebugConsole->Output("IFF wad found\n");
    if (!g_file.LengthMatches()) {
      Console_Error("The game data file %s is damaged: its length word says %u bytes follow, but %u do\n",
                    path.c_str(), g_file.U32(4), g_file.Size() - 8);
      return false;
    }
    g_file.Chunks();  // checks that every chunk lies inside the file
  } catch (const DataError& e) {
    Console_Error("The game data file %s is damaged: %s\n", path.c_str(), e.what());
    return false;
  }
  return true;
}

// ---- The chunk walk ------------------------------------------------------------

namespace {
using Loader = bool (*)(const ChunkBody&);

struct ChunkHandler {
  const char* tag;
  bool fixup;  // the body starts with a counted offset list
  Loader load;
};

bool LoadGen8(const ChunkBody& b) { return GameData_ReadGEN8(b); }
bool LoadGen7(const ChunkBody& b) {
  GameData_SetFormatGeneration(700);
  return GameData_ReadGEN8(b);
}
bool LoadSounds(const ChunkBody& b) { return Options_Get().new_audio ? Audio_Load(b) : Sound_Init(b); }
bool LoadWaves(const ChunkBody& b) { return Options_Get().new_audio ? Audio_WAVs(b) : Wave_Init(b); }
bool Nothing(const ChunkBody&) { return true; }
bool LoadOptions(const ChunkBody& b) {
  if (!Options_Load(b)) return false;
  if (g_InAWindow) Options_ClearFullScreen();
  Window_SetColor(Options_Get().window_colour);
  return true;
}
bool LoadTexturePages(const ChunkBody& b) {
  TPage_Load(b);
  return true;
}

const ChunkHandler kHandlers[] = {
    {"GEN8", false, LoadGen8},       {"GEN7", false, LoadGen7},       {"GENL", false, LoadGen7},
    {"OPTN", false, LoadOptions},   {"EXTN", true, Extension_Load},  {"SOND", true, LoadSounds},
    {"SPRT", true, Sprite_Load},     {"BGND", true, Background_Load}, {"PATH", true, Path_Load},
    {"SCPT", true, Script_Load},     {"SHDR", true, Shader_Load},     {"FONT", true, Font_Load},
    {"TMLN", true, TimeLine_Load},   {"OBJT", true, Object_Load},     {"ROOM", true, Room_Load},
    {"DAFL", true, Nothing},         {"TPAG", true, LoadTexturePages},       {"CODE", false, Code_PatchAllStrings},
    {"FUNC", false, FUNC_Load},      {"TXTR", true, Texture_LoadPages},       {"AUDO", true, LoadWaves},
    {"STRG", false, Nothing},        {"VARI", false, Nothing},        {"HELP", false, Nothing},
};

const ChunkHandler* FindHandler(const char* tag) {
  for (const auto& h : kHandlers)
    if (std::memcmp(h.tag, tag, 4) == 0) return &h;
  return nullptr;
}
}  // namespace

bool LoadGameData() {
  g_DebugConsole->Output("LoadGameData()\n");
  return GameData_ProcessChunks(GameData_File());
}

bool GameData_ProcessChunks(const GameDataFile& file) {
  g_DebugConsole->Output("initialise everything!\n");
  Sound_Clear();
  Sprite_Clear();
  Background_Clear();
  Path_FreeAll();
  Script_Clear();
  Font_Init();
  TimeLine_Clear();
  Object_Clear();
  Room_Clear();
  Options_Reset();
  Code_AllocateGlobalSlots();

  if (!file.LengthMatches()) {
    Console_Error("The game data is damaged: its length word does not match its size\n");
    return false;
  }
  bool result = true;
  try {
    for (const ChunkRef& c : file.Chunks()) {
      std::string tag = GameData_TagText(file.Data() + c.offset);
      g_DebugConsole->Output("Process Chunk: %s   %d\n", tag.c_str(), int(c.length));
      if (c.length == 0) continue;
      const ChunkHandler* h = FindHandler(c.tag);
      if (!h) {
        g_DebugConsole->Output("unknown Chunk %s:%d\n", tag.c_str(), int(file.U32(c.offset)));
        result = false;
        continue;
      }
      ChunkBody body(file, c);
      if (h->fixup) body.OffsetList();
      if (!h->load(body)) {
        Console_Error("Failed to load the %s chunk\n", tag.c_str());
        return false;
      }
    }
  } catch (const DataError& e) {
    GameData_ReportFailure(e);
    return false;
  }
  Code_ResolveNativeReferences();
  return result;
}

