// One reset of the state unit tests share, in layers a fixture picks from:
//   WorldTest        the switches of every subsystem, error reporting, the
//                    script tables, the options and the run globals;
//   ObjectWorldTest  also the objects, timelines, instances, code chunks and
//                    the pending instance lists;
//   RoomWorldTest    also the rooms, their id counters and the game info.
// Each layer clears its state before and after a test, and the last clear
// puts back what a fresh test process has, so tests can run in any order in
// one process. A test sets up only what is its own.
#pragma once
#include <gtest/gtest.h>

// Where a test starts from something other than the usual world.
struct WorldSetup {
  // Off: no built-in variable table and no look-ups of it, so those ids and
  // names mean nothing, as before the runner's start-up registers them.
  bool builtinVariables = true;
  // Off: the constant table starts empty.
  bool builtinConstants = true;
  // On: errors are reported as a player would see them (the default of a
  // run without "-noerrors").
  bool showErrors = false;
  // On: message boxes and dialogs never open a window.
  bool noDialogs = false;
};

// Every command-line switch back to its default.
void Switches_Reset();

// No built-in variable table and none of its look-ups installed.
void BuiltinVars_Unregister();

// No functions, and no look-ups of scripts or extensions behind them.
void Functions_Reset();

// The state a test starts from: errors are reported and never end the
// process; nothing is pumped (a fatal report asks the game to end, which a
// real pump would apply to every later run); fresh globals with the built-in
// constants and variables registered and no functions or scripts; the script
// runtime knows the world, as the runner's start-up arranges.
void World_Reset(const WorldSetup& setup = {});

// What a test leaves behind is freed and a fresh process's defaults return:
// errors shown and ending the process, the real pump, no built-in variables,
// the world's hooks installed again (a test may have replaced them).
void World_Clear();

// No instances, objects, timelines, object lists or code chunks, nothing
// pending, and none of the look-ups the sprites and physics install; new
// instances are numbered from where a loaded game numbers them and stamped
// as made before the first step.
void Objects_Reset();

// No rooms and no game info; new tiles are numbered from where a loaded game
// numbers them.
void Rooms_Reset();

class WorldTest : public ::testing::Test {
 protected:
  explicit WorldTest(WorldSetup setup = {}) : setup_(setup) {}
  void SetUp() override { World_Reset(setup_); }
  void TearDown() override { World_Clear(); }

 private:
  WorldSetup setup_;
};

class ObjectWorldTest : public WorldTest {
 protected:
  using WorldTest::WorldTest;
  void SetUp() override {
    WorldTest::SetUp();
    Objects_Reset();
  }
  void TearDown() override {
    Objects_Reset();
    WorldTest::TearDown();
  }
};

class RoomWorldTest : public ObjectWorldTest {
 protected:
  using ObjectWorldTest::ObjectWorldTest;
  void SetUp() override {
    ObjectWorldTest::SetUp();
    Rooms_Reset();
  }
  void TearDown() override {
    Rooms_Reset();
    ObjectWorldTest::TearDown();
  }
};
