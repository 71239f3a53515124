#include "runner/entry.h"

#include <cstdio>
#include <vector>

#include "runner/command_line.h"
#include "runner/error_hooks.h"
#include "core/game_info.h"
#include "files/files.h"
#include "runner/game_start.h"
#include "runner/run_loop.h"
#include "runner/startup.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "script/errors.h"
#include "script/memory_manager.h"

RunnerFlags g_RunnerFlags;

namespace {
// From a quit request until the main loop has ended.
bool g_quitPending = false;
}  // namespace

void Main_UnpackAtFiles() {
  for (const DirectoryEntry& e : Directory_List(".")) {
    // Only plain, visible, writable files: links, directories and read-only
    // or hidden files are left alone.
    if (!e.plainFile || e.name[0] == '.' || !e.ownerWritable) continue;
    Main_UnpackAtFile(e.name);
  }
}

bool Main_UnpackAtFile(const std::string& name) {
  if (name.empty() || name.find('@') == std::string::npos) return false;
  // Each part must be a real name: an empty part would make an absolute path
  // and "." or ".." would climb out of the working directory.
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = name.find('@', start);
    parts.push_back(name.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  for (const std::string& p : parts)
    if (p.empty() || p == "." || p == "..") return false;
  std::string target;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    target += parts[i];
    Directory_Create(target);  // failures show up as a failed move
    target += '/';
  }
  target += parts.back();
  return std::rename(name.c_str(), target.c_str()) == 0;
}

bool Main_ProcessMessages() {
  if (!Events_Pump()) {
    g_RunFlag = false;
    g_quitPending = true;
  }
  return !g_quitPending;
}

bool Main_QuitPending() { return g_quitPending; }

const std::string& Main_GetExePath() { return Path_Executable(); }

const std::string& Main_GetProgramDirectory() {
  static std::string dir;
  if (dir.empty()) {
    dir = g_GameDataPath ? Path_DirectoryOf(*g_GameDataPath) : std::string();
    if (dir.empty()) dir = "./";
  }
  return dir;
}

void Main_PostQuit() { Events_PostQuit(); }

int Runner_Main(int argc, const char* const* argv, RunnerFrameHook beforeFrame) {
  Runner_InstallErrorHooks();
  Run_SetMessagePump(Main_ProcessMessages);
  MemoryManager::InstallHandler();
  std::string commandLine = CommandLine_FromArgs(argc, argv);
  Files_SetProgramArguments(std::vector<std::string>(argv, argv + argc));
  Main_UnpackAtFiles();
  std::string dataWin = Path_ExecutableDirectory() + "data.win";
  if (File_CanRead(dataWin)) g_GameDataPath = dataWin;
  Runner_ParseCommandLine(commandLine);
  if (!Runner_InitSubsystems()) return 0;
  Error_SetFatalShutdown(Runner_End);
  bool started = Runner_StartUp();
  if (started) {
    while (g_RunFlag) {
      if (beforeFrame) beforeFrame();
      Run_Frame();
      Main_ProcessMessages();
    }
  }
  // The quit is taken: the game's end events run whole, unless the player
  // asks again.
  g_quitPending = false;
  EndGame();
  Runner_End();
  // A game that ended by aborting on an error reports it in its status.
  return started && !Game_StartFailed() && !Error_Aborting() ? 0 : 1;
}
