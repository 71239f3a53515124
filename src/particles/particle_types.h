// Particle types: the recipes particles are made from, their table, their
// setters, and the two calculations every particle stage shares.
#pragma once
#include <cstdint>

// The most particles one call makes (or a type emits per particle): far
// above any real effect, and a bounded 64 MB of particles.
constexpr int32_t kPartMaxPerCall = 1000000;
// `number` cut to the cap, with a line on the debug console naming the
// built-in `name` when it is, so a slip such as a huge number never tries to
// allocate billions of particles.
int32_t Part_LimitCount(const char* name, int32_t number);

struct Particle;

// Built-in shapes (the pt_shape constants).
enum : int32_t {
  kPtShapePixel = 0,
  kPtShapeDisk,
  kPtShapeSquare,
  kPtShapeLine,
  kPtShapeStar,
  kPtShapeCircle,
  kPtShapeRing,
  kPtShapeSphere,
  kPtShapeFlare,
  kPtShapeSpark,
  kPtShapeExplosion,
  kPtShapeCloud,
  kPtShapeSmoke,
  kPtShapeSnow,
  kPtShapeCount
};

// Distributions (the ps_distr constants).
enum : int32_t { kPsDistrLinear = 0, kPsDistrGaussian = 1, kPsDistrInvGaussian = 2 };

// Colour modes of a type.
enum : int32_t {
  kPartColourOne = 0,
  kPartColourTwo = 1,
  kPartColourThree = 2,
  kPartColourRGB = 3,
  kPartColourHSV = 4,
  kPartColourMix = 5
};

struct ParticleType {
  bool inUse = false;
  int32_t sprite = -1;
  bool animate = true;
  bool stretch = false;
  bool randomFrame = false;
  int32_t shape = kPtShapePixel;
  float sizeMin = 1, sizeMax = 1, sizeIncrement = 0, sizeWiggle = 0;
  float xScale = 1, yScale = 1;
  int32_t lifeMin = 100, lifeMax = 100;
  int32_t deathType = 0, deathNumber = 0;
  int32_t stepType = 0, stepNumber = 0;
  float speedMin = 0, speedMax = 0, speedIncrement = 0, speedWiggle = 0;
  float directionMin = 0, directionMax = 0, directionIncrement = 0, directionWiggle = 0;
  float gravityAmount = 0, gravityDirection = 270;
  float orientationMin = 0, orientationMax = 0, orientationIncrement = 0, orientationWiggle = 0;
  bool relative = false;
  int32_t colourMode = kPartColourOne;
  uint32_t colour1 = 0xFFFFFF, colour2 = 0xFFFFFF, colour3 = 0xFFFFFF;
  // Only the RGB and HSV modes read these; clearing keeps them (as it keeps
  // the additive flag), so a reused slot inherits them.
  uint32_t colour4 = 0, colour5 = 0, colour6 = 0;
  float alpha1 = 1, alpha2 = 1, alpha3 = 1;
  bool additive = false;
};

int32_t PartType_Create();
void PartType_Destroy(int32_t index);
bool PartType_Exists(int32_t index);
void PartType_Clear(int32_t index);
// The type at the index when it is in use, else null. Valid until the next
// type is created or the table is freed.
const ParticleType* PartType_Get(int32_t index);
int32_t PartType_SlotCount();
// What the update reads for a particle's type: the type's record, or the
// defaults for an index with no record (a destroyed type's record already
// holds them).
const ParticleType& PartType_Record(int32_t index);

// Setters: nothing for a type not in use; values are stored as given.
void PartType_Shape(int32_t index, int32_t shape);
void PartType_Sprite(int32_t index, int32_t sprite, bool animate, bool stretch, bool randomFrame);
void PartType_Size(int32_t index, float min, float max, float increment, float wiggle);
void PartType_Scale(int32_t index, float xScale, float yScale);
void PartType_Life(int32_t index, int32_t min, int32_t max);
void PartType_Step(int32_t index, int32_t number, int32_t type);
void PartType_Death(int32_t index, int32_t number, int32_t type);
void PartType_Speed(int32_t index, float min, float max, float increment, float wiggle);
void PartType_Direction(int32_t index, float min, float max, float increment, float wiggle);
void PartType_Orientation(int32_t index, float min, float max, float increment, float wiggle, bool relative);
void PartType_Gravity(int32_t index, float amount, float direction);
void PartType_Color1(int32_t index, uint32_t colour);
void PartType_Color2(int32_t index, uint32_t colour1, uint32_t colour2);
void PartType_Color3(int32_t index, uint32_t colour1, uint32_t colour2, uint32_t colour3);
void PartType_ColorMix(int32_t index, uint32_t colour1, uint32_t colour2);
void PartType_ColorRGB(int32_t index, int32_t redMin, int32_t redMax, int32_t greenMin, int32_t greenMax,
                       int32_t blueMin, int32_t blueMax);
void PartType_ColorHSV(int32_t index, int32_t hueMin, int32_t hueMax, int32_t saturationMin,
                       int32_t saturationMax, int32_t valueMin, int32_t valueMax);
void PartType_Alpha1(int32_t index, float alpha);
void PartType_Alpha2(int32_t index, float start, float end);
void PartType_Alpha3(int32_t index, float alpha1, float alpha2, float alpha3);
void PartType_Blend(int32_t index, bool additive);

void PartType_FreeAll();

// A value in [min, max) by distribution; min itself when max <= min.
float Part_RandomInRange(float min, float max, int32_t distribution);
// Sets the particle's colour for its age (a birth colour at age 0).
void Part_ComputeColour(Particle& particle);

// The triangle wave of the wiggles: -1 at 0, 1 at 2, -1 again at 4.
inline float Part_Triangle(float w) { return (w > 2.0f ? 4.0f - w : w) - 1.0f; }
