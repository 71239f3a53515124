#include "runner/startup.h"

#include <cstdlib>

#include "audio/audio.h"
#include "audio/sound_group.h"
#include "core/async_requests.h"
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
#include "draw/draw_builtins.h"
#include "ds/ds.h"
#include "ds/hash.h"
#include "ds/store.h"
#include "ext/extensions.h"
#include "files/files.h"
#include "graphics/graphics.h"
#include "graphics/graphics_builtins.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "actions/actions.h"
#include "motion/motion.h"
#include "core/paths.h"
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
#include "services/http.h"
#include "services/platform_events.h"
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
  GameData_SetHeaderHook([](uint32_t flags) {
    if (flags & kInfoSteam) g_SteamMode = true;
    g_DebugConsole->Output("InitTWSFunctions\n");
    InitTWSFunctions();
  });
  g_ScriptWorld.callExternal = Extension_CallExternal;
  VM_SetMessagePump(Main_ProcessMessages);
  Window_SetMessagePump(Main_ProcessMessages);
  IO_SetMessagePump(Main_ProcessMessages);
  BuiltinVar_SetBinders({Files_BindVariables, Graphics_BindVariables, Input_BindVariables, Physics_BindVariables});
}

namespace {
// The "Interaction.." group's families above the input layer.
const BuiltinFamily kInteractionDrawn[] = {Draw_HighScoreBuiltins};
}  // namespace

void InitTWSFunctions() {
  struct Group {
    const char* label;
    void (*a)();
    void (*b)();
    void (*c)();
    void (*d)() = nullptr;
  };
  static const Group kGroups[] = {
      {"HighScore..", HighScore_Load, nullptr, nullptr},
      {"Game..", InitGameFunctions, nullptr, nullptr},
      {"Math..", InitMathFunctions, nullptr, nullptr},
      {"Graphic..", InitGraphicFunctions, nullptr, nullptr},
      {"Action..", InitActionFunctions, nullptr, nullptr},
      {"File..", InitFileFunctions, InitHttpFunctions, InitJsonFunctions},
      {"Resource..", InitResourceFunctions, Sound_RegisterResourceFunctions, Font_RegisterResourceFunctions,
       Path_RegisterResourceFunctions},
      {"Interaction..", [] { InitInteractionFunctions(kInteractionDrawn); }, nullptr, nullptr},
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
  // Once per table: a second header load must not append a second copy of
  // every name behind the first.
  static uint32_t registeredIn = UINT32_MAX;
  if (registeredIn == FunctionRegistry_Generation()) return;
  registeredIn = FunctionRegistry_Generation();
  for (const Group& g : kGroups) {
    Log(g.label);
    for (auto fn : {g.a, g.b, g.c, g.d})
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

// ---- The start-up and shutdown table ------------------------------------------------

RunnerSteps::RunnerSteps(std::span<const RunnerStep> steps) : steps_(steps) {}

bool RunnerSteps::Start(RunnerPhase phase) {
  for (size_t i = started_; i < steps_.size() && steps_[i].phase == phase; ++i) {
    const RunnerStep& s = steps_[i];
    // Counted before it runs: a step that fails or ends the process half way
    // is stopped with the others, and every stop is safe on a part-made state.
    started_ = i + 1;
    if (s.line) Log(s.line);
    if (!s.start()) return false;
  }
  return true;
}

void RunnerSteps::Stop() {
  while (started_ > 0) {
    const RunnerStep& s = steps_[--started_];
    if (s.stop) s.stop();
  }
}

namespace {
// A step that cannot fail; what F answers is not a failure.
template <auto F>
bool Always() {
  F();
  return true;
}
bool Nothing() { return true; }

bool ClearParticles() {
  Part_Reset();
  return true;
}

bool RegisterConstants() {
  Constant_RegisterBuiltins();
  Runner_InstallResourceLookups();
  return true;
}

bool DefaultCirclePrecision() {
  Draw_SetCirclePrecision(24);
  return true;
}

bool LoadHeader() {
  try {
    GameData_LoadHeader(GameData_File());
  } catch (const DataError& e) {
    GameData_ReportFailure(e);
    return false;
  }
  Support_SetCaption(GameInfo_Get().display_name.empty() ? "Tarnwicke" : GameInfo_Get().display_name);
  return true;
}

// The built-in groups registered by the header pass and the Steam client the
// last of them starts.
void FreeBuiltinFunctions() {
  Steam_Shutdown();
  FunctionRegistry_Free();
}

bool CreateWindow() {
  Window_Create(int(GameInfo_Get().width), int(GameInfo_Get().height));
  return true;
}

bool StartGraphics() {
  if (InitGraphics()) return true;
  Console_Error("%s\n", Display_WithStartFailure("The graphics device could not be started").c_str());
  return false;
}

// What the device holds goes before the device.
void StopGraphics() {
  Sprite_Shutdown();
  Display_Shutdown();
  Background_Shutdown();
  // Fonts free their texture slots, so they go before the table.
  Font_Shutdown();
  Text_FreeDefaultFont();
  Texture_Shutdown();
  Graphics_Shutdown();
}

bool StartDebugServer() {
  if (GameInfo_Get().debug_byte == 0 && !Debug_ServerStarted()) {
    Log("Start Server\n");
    Debug_StartServer();
  }
  return true;
}

// Everything the loaded game made.
void EndTheWork() {
  // The sound hardware stops first, before anything of the game is freed, as
  // it always has: nothing plays while the world is taken apart.
  SoundHardware_Quit();
  // The achievement cache is written while the game's state is still whole.
  Platform_Shutdown();
  Arguments_FreeAll();
  Compiler_Free();
  MotionGrid_FreeAll();
  Room_FreeAll();
  Instance_DestroyAll();
  Run_FreePersistentCarry();
  ObjectLists_Free();
  Object_FreeAll();
  Script_Shutdown();
  Variable_FreeAll();
  // Workers stop before their records go, and the records (whose result maps
  // are data structures) before the data structures.
  Http_Shutdown();
  AsyncRequests_DeleteAll();
  Platform_ResetEventQueues();
  // The data structures the game never destroyed.
  DS_ResetAll();
  File_CloseAllBinary();
  File_CloseAllText();
  Sound_FreeAll();
}

// Base services come first, before any window exists; the logged steps
// follow, each writing its line before it starts. Shutdown stops the started
// steps in the reverse order.
constexpr RunnerStep kRunnerSteps[] = {
    {"built-in textures", RunnerPhase::kBase, nullptr, Always<Texture_InitBuiltins>, nullptr},
    // The platform is the last thing to stop.
    {"platform", RunnerPhase::kBase, nullptr, Always<Main_StartGdiPlus>, Main_StopGdiPlus},
    {"checksums", RunnerPhase::kBase, nullptr, Always<Crc32_InitTable>, nullptr},
    {"temporary directory", RunnerPhase::kBase, nullptr, Always<Support_CreateTempDirectory>,
     Support_DeleteTempDirectory},
    {"circle precision", RunnerPhase::kBase, nullptr, DefaultCirclePrecision, nullptr},
    {"constants", RunnerPhase::kBase, nullptr, RegisterConstants, Constant_FreeAll},
    {"script world", RunnerPhase::kBase, nullptr, Always<Runner_InstallWorld>, nullptr},
    {"view mappings", RunnerPhase::kBase, nullptr, Always<Window_ClearViewMappings>, nullptr},
    // Particle state the game makes is freed with the particle textures.
    {"particles", RunnerPhase::kBase, nullptr, ClearParticles, nullptr},
    {"run globals", RunnerPhase::kBase, nullptr, Always<RunGlobals_Init>, nullptr},
    // The sounds are freed with the rest of the loaded game.
    {"sound", RunnerPhase::kBase, nullptr, Always<Sound_StartupHook>, nullptr},
    {"built-in variables", RunnerPhase::kBase, nullptr, Always<BuiltinVar_RegisterAll>, VariableName_Free},
    {"paths", RunnerPhase::kBase, nullptr, Always<Path_Init>, nullptr},
    {"high scores", RunnerPhase::kBase, nullptr, Always<HighScore_Init>, HighScore_Save},
    {"pending changes", RunnerPhase::kBase, nullptr, Always<Run_ClearPendingChanges>, nullptr},
    {"messages", RunnerPhase::kBase, nullptr, Always<Main_ProcessMessages>, nullptr},

    {"game file", RunnerPhase::kStartUp, nullptr, RunnerLoadGame, nullptr},
    {"header", RunnerPhase::kStartUp, "Get Resolution\n", LoadHeader, FreeBuiltinFunctions},
    {"window", RunnerPhase::kStartUp, "Create Window\n", CreateWindow, Window_Destroy},
    {"graphics", RunnerPhase::kStartUp, "Init Graphics\n", StartGraphics, StopGraphics},
    {"input", RunnerPhase::kStartUp, "IO Init\n", Always<IO_Init>, IO_Shutdown},
    {"first messages", RunnerPhase::kStartUp, "Process Messages\n", Always<Main_ProcessMessages>, nullptr},
    {"first frame", RunnerPhase::kStartUp, "Start Frame\n", Always<Graphics_BeginFrame>, nullptr},
    {"particle textures", RunnerPhase::kStartUp, "Part Create Textures\n", Always<Part_CreateTextures>,
     Part_Shutdown},
    {"remote interface", RunnerPhase::kStartUp, "Debug Init Remote Interface\n", Nothing, nullptr},
    {"machine", RunnerPhase::kStartUp, "VM Init\n", Always<VM_Init>, nullptr},
    // Also closes the game's own sockets, whether or not the server started.
    {"debug server", RunnerPhase::kStartUp, nullptr, StartDebugServer, Network_DestroyAll},
    {"score form", RunnerPhase::kStartUp, "Create Score Form\n", Nothing, nullptr},
    {"load form", RunnerPhase::kStartUp, "Create Load Form\n", Nothing, nullptr},
    {"error form", RunnerPhase::kStartUp, "Create Error Form\n", Nothing, nullptr},
    {"game", RunnerPhase::kStartUp, "Do The Work\n", Runner_DoTheWork, EndTheWork},
};

RunnerSteps g_steps(kRunnerSteps);
}  // namespace

std::span<const RunnerStep> Runner_StepTable() { return kRunnerSteps; }

bool Runner_InitSubsystems() { return g_steps.Start(RunnerPhase::kBase); }

bool Runner_StartUp() { return g_steps.Start(RunnerPhase::kStartUp); }

void Runner_Shutdown() { g_steps.Stop(); }

void Runner_End() {
  // A fatal error from here on ends the process at once rather than stopping
  // half-stopped subsystems again.
  Error_SetFatalShutdown(nullptr);
  Main_PostQuit();
  Runner_Shutdown();
}

void Code_SetReleaseMode(bool checked) {
  DS_SetGridAccessChecked(checked);
  Vertex_SetCheckedHandlers(checked);
}
