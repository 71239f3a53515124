#include "runner/startup.h"

#include <cstdlib>

#include "audio/audio.h"
#include "core/code_chunks.h"
#include "script/console.h"
#include "runner/entry.h"
#include "core/game_data.h"
#include "runner/load_game.h"
#include "core/game_info.h"
#include "runner/game_start.h"
#include "runner/game_step.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/rooms.h"
#include "core/script_world.h"
#include "runner/run_loop.h"
#include "core/timelines.h"
#include "draw/draw.h"
#include "ds/ds.h"
#include "ext/extensions.h"
#include "files/files.h"
#include "graphics/graphics.h"
#include "graphics/graphics_builtins.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "motion/motion.h"
#include "motion/paths.h"
#include "net/debugger.h"
#include "particles/particles.h"
#include "physics/physics.h"
#include "physics/physics_builtins.h"
#include "core/builtin_vars.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/world.h"
#include "sprites/backgrounds.h"
#include "sprites/sprites.h"
#include "steam/steam.h"
#include "platform/events.h"

namespace {
// The platform's start and stop around everything else.
void Main_StartGdiPlus() {}
void Main_StopGdiPlus() { Events_Shutdown(); }

// The tables whose look-ups take a std::string.
template <int (*Find)(const std::string&)>
int32_t ByString(std::string_view name) {
  return Find(std::string(name));
}

}  // namespace

void Runner_InstallResourceLookups() {
  static const struct {
    ResourceKind kind;
    ResourceFindFn find;
  } kLookups[] = {
      {ResourceKind::kObject, Object_FindByName},
      {ResourceKind::kSprite, ByString<Sprite_Find>},
      {ResourceKind::kSound, Sound_Find},
      {ResourceKind::kAudioAsset, Audio_FindAsset},
      {ResourceKind::kBackground, ByString<Background_Find>},
      {ResourceKind::kPath, ByString<Path_FindByName>},
      {ResourceKind::kFont, Font_Find},
      {ResourceKind::kTimeline, TimeLine_FindByName},
      {ResourceKind::kScript, Script_Find},
      {ResourceKind::kRoom, Room_FindByName},
  };
  for (const auto& l : kLookups) Constant_SetResourceLookup(l.kind, l.find);
}

void Runner_InstallWorld() {
  World_InstallScriptHooks();
  g_ScriptWorld.callExternal = Extension_CallExternal;
  BuiltinVar_SetBinders({Files_BindVariables, Graphics_BindVariables, Input_BindVariables, Physics_BindVariables});
}

bool Runner_InitSubsystems() {
  Texture_InitBuiltins();
  Main_StartGdiPlus();
  Crc32_InitTable();
  Support_CreateTempDirectory();
  Draw_SetCirclePrecision(24);
  Constant_RegisterBuiltins();
  Runner_InstallResourceLookups();
  Runner_InstallWorld();
  Window_ClearViewMappings();
  PartType_FreeAll();
  PartSystem_FreeAll();
  RunGlobals_Init();
  Sound_StartupHook();
  BuiltinVar_RegisterAll();
  Path_Init();
  HighScore_Init();
  Run_ClearPendingChanges();
  Main_ProcessMessages();
  return true;
}

void InitTWSFunctions() {
  struct Group {
    const char* label;
    void (*a)();
    void (*b)();
    void (*c)();
  };
  static const Group kGroups[] = {
      {"HighScore..", HighScore_Load, nullptr, nullptr},
      {"Game..", InitGameFunctions, nullptr, nullptr},
      {"Math..", InitMathFunctions, nullptr, nullptr},
      {"Graphic..", InitGraphicFunctions, nullptr, nullptr},
      {"Action..", InitActionFunctions, nullptr, nullptr},
      {"File..", InitFileFunctions, nullptr, nullptr},
      {"Resource..", InitResourceFunctions, nullptr, nullptr},
      {"Interaction..", InitInteractionFunctions, nullptr, nullptr},
      {"3D..", Init3DFunctions, nullptr, nullptr},
      {"Particle..", InitParticleFunctions, nullptr, nullptr},
      {"Misc..", InitMiscFunctions, nullptr, nullptr},
      {"DS..", InitDSFunctions, nullptr, nullptr},
      {"Sound..", InitSoundFunctions, nullptr, nullptr},
      {"DPlay..", InitDPlayFunctions, nullptr, nullptr},
      {"Physics..", InitPhysicsFunctions, nullptr, nullptr},
      {"Gamepad..", InitGamepadFunctions, nullptr, nullptr},
      {"Buffers..", InitBufferFunctions, InitVertexBufferFunctions, nullptr},
      {"Networking..", InitNetworkingFunctions, nullptr, nullptr},
      {"Shaders..", InitShaderFunctions, InitVertexFormatFunctions, InitSteamFunctions},
      {"Vesk..", InitVeskFunctions, InitWin8Functions, nullptr},
  };
  for (const Group& g : kGroups) {
    Log(g.label);
    for (auto fn : {g.a, g.b, g.c})
      if (fn) fn();
  }
  Log("Fini\n");
}

bool Code_Constant_Prepare() {
  const GameOptions& options = Options_Get();
  for (size_t i = 0; i < options.constant_names.size(); ++i) {
    const std::string& name = options.constant_names[i];
    const std::string& value = i < options.constant_values.size() ? options.constant_values[i] : std::string();
    if (!Constant_AddFromText(name, value)) {
      Support_MessageBox("Constant name " + name + "  is not valid.");
      return false;
    }
  }
  return true;
}

bool InitGraphics() {
  const GameOptions& o = Options_Get();
  if (o.change_resolution) {
    static const int kWidths[] = {320, 640, 800, 1024, 1280, 1600};
    static const int kHeights[] = {240, 480, 600, 768, 1024, 1200};
    static const int kFrequencies[] = {60, 70, 85, 100, 120};
    int depth = o.colour_depth == 1 ? 16 : o.colour_depth == 2 ? 32 : 255;
    int width = -1, height = -1, frequency = 255;
    if (o.resolution >= 1 && o.resolution <= 6) {
      width = kWidths[o.resolution - 1];
      height = kHeights[o.resolution - 1];
    }
    if (o.frequency >= 1 && o.frequency <= 5) frequency = kFrequencies[o.frequency - 1];
    Display_SetAll(width, height, frequency, depth);
  }
  const GameInfoHeader& info = GameInfo_Get();
  Log("GR_D3D_Init()\n");
  if (!GR_D3D_Init(int(info.width), int(info.height), info.flags)) return false;
  Log("Background_InitTextures()\n");
  Background_InitTextures();
  Log("Sprite_InitTextures()\n");
  Sprite_InitTextures();
  Log("Font_InitTextures()\n");
  Font_InitTextures();
  return true;
}

bool PrepareGame() {
  struct Step {
    const char* line;
    bool (*run)();
    const char* failure;
  };
  static const Step kSteps[] = {
      {"Extension_Prepare() \n", Extension_Prepare, "Failed to prepare extension packages."},
      {"Code_Constant_Prepare() \n", Code_Constant_Prepare, "Failed to define the constants."},
      {"Script_Prepare() \n", Script_Prepare, "Failed to compile the scripts."},
      {"TimeLine_Prepare() \n", TimeLine_Prepare, "Failed to compile the actions in the time lines."},
      {"Object_Prepare() \n", Object_Prepare, "Failed to compile the actions in the objects."},
      {"Room_Prepare() \n", Room_Prepare, "Failed to compile the actions in the objects."},
      {"Sound_Prepare() \n",
       [] {
         Sound_InitHardware();
         if (!Sound_Prepare()) return false;
         Audio_Prepare();
         return true;
       },
       "Failed to prepare the sounds."},
  };
  for (const Step& s : kSteps) {
    Log(s.line);
    if (!s.run()) {
      Support_MessageBox(s.failure);
      return false;
    }
  }
  Log("InitGraphics() \n");
  Log("Finished PrepareGame() \n");
  return true;
}

bool Runner_DoTheWork() {
  std::srand(2101988);
  if (!LoadGameData()) {
    Console_Error("Failed to load the game\n");
    return false;
  }
  GlobalVar_Init();
  Log("PrepareGame()\n");
  if (!PrepareGame()) return false;
  Log("Run_Start\n");
  Run_Start();
  return true;
}

bool Runner_StartUp() {
  if (!RunnerLoadGame()) return false;
  Log("Get Resolution\n");
  try {
    GameData_LoadHeader(GameData_File());
  } catch (const DataError& e) {
    GameData_ReportFailure(e);
    return false;
  }
  Support_SetCaption(GameInfo_Get().display_name.empty() ? "Tarnwicke" : GameInfo_Get().display_name);
  Log("Create Window\n");
  Window_Create(int(GameInfo_Get().width), int(GameInfo_Get().height));
  Log("Init Graphics\n");
  if (!InitGraphics()) {
    Console_Error("%s\n", Display_WithStartFailure("The graphics device could not be started").c_str());
    return false;
  }
  Log("IO Init\n");
  IO_Init();
  Log("Process Messages\n");
  Main_ProcessMessages();
  Log("Start Frame\n");
  Graphics_BeginFrame();
  Log("Part Create Textures\n");
  Part_CreateTextures();
  Log("Debug Init Remote Interface\n");
  Log("VM Init\n");
  VM_Init();
  if (GameInfo_Get().debug_byte == 0 && !Debug_ServerStarted()) {
    Log("Start Server\n");
    Debug_StartServer();
  }
  Log("Create Score Form\n");
  Log("Create Load Form\n");
  Log("Create Error Form\n");
  Log("Do The Work\n");
  return Runner_DoTheWork();
}

void Runner_EndInput() {
  IO_Shutdown();
  SoundHardware_Quit();
}

void Runner_Shutdown() {
  Platform_Shutdown();
  Network_DestroyAll();
  Steam_Shutdown();
  HighScore_Save();
  Constant_FreeAll();
  FunctionRegistry_Free();
  Arguments_FreeAll();
  Compiler_Free();
  VariableName_Free();
  MotionGrid_FreeAll();
  Room_FreeAll();
  Instance_DestroyAll();
  Run_FreePersistentCarry();
  ObjectLists_Free();
  Object_FreeAll();
  Part_Shutdown();
  Sprite_Shutdown();
  Support_DeleteTempDirectory();
  Display_Shutdown();
  Background_Shutdown();
  Texture_Shutdown();
  Script_Shutdown();
  Variable_FreeAll();
  Font_Shutdown();
  Text_FreeDefaultFont();
  File_CloseAllBinary();
  Sound_FreeAll();
  Graphics_Shutdown();
  Window_Destroy();
  Main_StopGdiPlus();
}

void Runner_End() {
  // A fatal error from here on ends the process at once rather than stopping
  // half-stopped subsystems again.
  Error_SetFatalShutdown(nullptr);
  Runner_EndInput();
  Main_PostQuit();
  Runner_Shutdown();
}

void Code_SetReleaseMode(bool checked) {
  DS_SetGridAccessChecked(checked);
  Vertex_SetCheckedHandlers(checked);
}
