// The fixed order in which the runner brings its subsystems up and down: one
// table of steps, started in order and stopped in the reverse order.
#pragma once
#include <cstddef>
#include <span>

enum class RunnerPhase {
  kBase,     // base services, before any window exists; never fails
  kStartUp,  // the logged start-up: the game, the window, the device, the game's start
};

struct RunnerStep {
  const char* name;
  RunnerPhase phase;
  const char* line;  // written to the debug console before the start; may be null
  bool (*start)();   // false ends the start-up
  void (*stop)();    // may be null
};

// Walks a table of steps: starts them phase by phase and stops the started
// ones, last first.
class RunnerSteps {
 public:
  explicit RunnerSteps(std::span<const RunnerStep> steps);
  // Starts the steps of `phase` that follow the started ones; false at the
  // first step that fails. A step counts as started once its start is
  // entered, so one that fails or ends the process half way is stopped too.
  bool Start(RunnerPhase phase);
  // Stops every started step, last first, each once.
  void Stop();
  size_t Started() const { return started_; }

 private:
  std::span<const RunnerStep> steps_;
  size_t started_ = 0;
};

// The runner's own table.
std::span<const RunnerStep> Runner_StepTable();

// Lets script names resolve to resources: every resource table's name
// look-up, in the order resolution asks them.
void Runner_InstallResourceLookups();
// Connects the world and the subsystems to the script runtime: its world
// hooks, external calls and the binders of the built-in variables.
void Runner_InstallWorld();
// The base steps; never fails.
bool Runner_InitSubsystems();
// The logged start-up steps; false (after saying why) when the game could
// not be found, loaded or prepared.
bool Runner_StartUp();
// Registers every built-in function group (from the header pass).
void InitTWSFunctions();
bool Runner_DoTheWork();
bool PrepareGame();
bool InitGraphics();
// Stops every started step, last first.
void Runner_Shutdown();
// Everything after the game has ended: the quit message, then the shutdown.
// The normal end and a fatal error both end through it.
void Runner_End();
// Re-points the grid and vertex built-ins to their checked or fast handlers.
void Code_SetReleaseMode(bool checked);
// The game's constants from its options; a bad name is shown in a message
// box and stops the walk (false).
bool Code_Constant_Prepare();
