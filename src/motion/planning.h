// Motion planning: stepping an instance towards a goal while keeping off
// other instances, straight (the linear planner) or turning around what is
// in the way (the potential planner), and filling a path with the steps such
// a walk would take. The step operations move the instance; the path
// operations leave it as it was.
#pragma once
#include <cstdint>

class CMotionPath;
class CObjInstance;

// Shared by every instance for the whole run.
struct MotionPotentialSettings {
  float maxrot = 30;   // most the direction may turn in one step, degrees
  float rotstep = 10;  // between the directions tried, degrees
  float ahead = 3;     // a direction is taken only when this many steps ahead are free too
  bool onspot = true;  // turn by maxrot when no direction works
};

const MotionPotentialSettings& Motion_PotentialSettings();
// Values below 1 (or not numbers) are stored as 1.
void Motion_SetPotentialSettings(float maxrot, float rotstep, float ahead, bool onspot);
// Back to the start values.
void Motion_ResetPotentialSettings();

// Whether the instance could stand at (x, y): target -3 asks for a free spot
// (an empty one with checkAll); any other target for one meeting no instance
// of it.
bool Motion_IsFreeAt(CObjInstance* instance, float x, float y, int32_t target, bool checkAll);
// From the first point to the second, 0 <= d < 360, 90 up the screen.
float Motion_PointDirection(float x1, float y1, float x2, float y2);
// 0 to 180. An angle that is not finite counts as 0, as directions do.
float Motion_AngleDifference(float a, float b);

// One step of at most `step` straight at the goal, taken only when the spot
// is free; true when the goal was within reach (moved there or not). Both
// steps move nothing and give false for a goal that is not finite or a step
// that is no number (or endless away from the goal).
bool Motion_LinearStep(CObjInstance* instance, float xgoal, float ygoal, float step, int32_t target, bool checkAll);
// Moves one step in direction d when d is within the turn allowed and both
// the spot and the look-ahead spot are free.
bool Motion_PotentialTryDirection(float d, CObjInstance* instance, float step, int32_t target, bool checkAll);
// One step towards the goal, trying directions ever further to either side
// of it; true when the goal was within reach.
bool Motion_PotentialStep(CObjInstance* instance, float xgoal, float ygoal, float step, int32_t target,
                          bool checkAll);

// The most steps a planned path takes before it is given up.
constexpr int32_t kMotionPlanMaxSteps = 100000;

// Fill the path (straight, open, speed 100) with the walk of the step
// operation from the instance's place to the goal; true when it got there.
// False for a missing path or a step that is not above 0; the linear walk
// also gives up when a step makes no progress, the potential walk when the
// path grows longer than factor times the straight distance or the
// instance can move no more.
bool Motion_LinearPath(CObjInstance* instance, CMotionPath* path, float xgoal, float ygoal, float step,
                       int32_t target, bool checkAll);
bool Motion_PotentialPath(CObjInstance* instance, CMotionPath* path, float xgoal, float ygoal, float step,
                          float factor, int32_t target, bool checkAll);
