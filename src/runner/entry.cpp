#include "runner/entry.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "runner/command_line.h"
#include "runner/error_hooks.h"
#include "core/game_info.h"
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
  DIR* dir = opendir(".");
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) names.push_back(e->d_name);
  closedir(dir);
  for (const std::string& name : names) {
    struct stat st;
    // Only plain, visible, writable files: links, directories and read-only
    // or hidden files are left alone.
    if (lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (name[0] == '.' || !(st.st_mode & S_IWUSR)) continue;
    Main_UnpackAtFile(name);
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
    mkdir(target.c_str(), 0777);  // failures show up as a failed move
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

const std::string& Main_GetSaveDirectory() {
  static std::string dir;
  if (dir.empty()) {
    const GameInfoHeader& info = GameInfo_Get();
    std::string base = (info.flags & kInfoRoamingSave) ? Path_ConfigHome() : Path_DataHome();
    // The display name comes from the data file: it names one directory and
    // never a path.
    dir = base + "/" + Path_SafeComponent(info.display_name) + "/";
  }
  return dir;
}

void Main_PostQuit() { Events_PostQuit(); }

int Runner_Main(int argc, const char* const* argv) {
  Runner_InstallErrorHooks();
  MemoryManager::InstallHandler();
  std::string commandLine = CommandLine_FromArgs(argc, argv);
  Main_UnpackAtFiles();
  std::string dataWin = Path_ExecutableDirectory() + "data.win";
  if (File_CanRead(dataWin)) g_GameDataPath = dataWin;
  Runner_ParseCommandLine(commandLine);
  if (!Runner_InitSubsystems()) return 0;
  Error_SetFatalShutdown(Runner_End);
  bool started = Runner_StartUp();
  if (started) {
    while (g_RunFlag) {
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
