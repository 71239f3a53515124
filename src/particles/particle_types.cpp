#include "particles/particle_types.h"

#include <cmath>
#include <string>
#include <vector>

#include "draw/colour.h"
#include "particles/particle_systems.h"
#include "script/console.h"
#include "script/random.h"

namespace {

// Slots are never compacted: a destroyed type's slot is reused.
std::vector<ParticleType> g_Types;

ParticleType* Live(int32_t index) {
  if (index < 0 || index >= int32_t(g_Types.size())) return nullptr;
  ParticleType& type = g_Types[size_t(index)];
  return type.inUse ? &type : nullptr;
}

// Everything back to its default but the fields clearing keeps.
void Reset(ParticleType& type) {
  ParticleType fresh;
  fresh.inUse = type.inUse;
  fresh.colour4 = type.colour4;
  fresh.colour5 = type.colour5;
  fresh.colour6 = type.colour6;
  fresh.additive = type.additive;
  type = fresh;
}

template <typename F>
void Set(int32_t index, F&& change) {
  if (ParticleType* type = Live(index)) change(*type);
}

constexpr float kSixth = 0.16666667f;

float RandomUnit() { return float(Random_Real(1.0)); }

// x in [-3, 3) drawn so that values near 0 are the likeliest.
float GaussianDraw() {
  float x;
  double e;
  do {
    x = (RandomUnit() - 0.5f) * 6.0f;
    e = std::exp(-0.5 * double(x) * double(x));
  } while (!(e > Random_Real(1.0)));
  return x;
}

int32_t RandomChannel(uint32_t min, uint32_t max) {
  return int32_t(Part_RandomInRange(float(min), float(max), kPsDistrLinear));
}

}  // namespace

int32_t PartType_Create() {
  size_t slot = 0;
  while (slot < g_Types.size() && g_Types[slot].inUse) ++slot;
  if (slot == g_Types.size()) {
    ParticleType zeroFilled;
    zeroFilled.colour4 = zeroFilled.colour5 = zeroFilled.colour6 = 0;
    zeroFilled.additive = false;
    g_Types.push_back(zeroFilled);
  }
  ParticleType& type = g_Types[slot];
  type.inUse = true;
  Reset(type);
  return int32_t(slot);
}

void PartType_Destroy(int32_t index) {
  if (ParticleType* type = Live(index)) {
    Reset(*type);
    type->inUse = false;
  }
}

bool PartType_Exists(int32_t index) { return Live(index) != nullptr; }

void PartType_Clear(int32_t index) { Set(index, Reset); }

const ParticleType* PartType_Get(int32_t index) { return Live(index); }

int32_t PartType_SlotCount() { return int32_t(g_Types.size()); }

const ParticleType& PartType_Record(int32_t index) {
  static const ParticleType kDefaults;
  if (index < 0 || index >= int32_t(g_Types.size())) return kDefaults;
  return g_Types[size_t(index)];
}

void PartType_Shape(int32_t index, int32_t shape) {
  Set(index, [&](ParticleType& t) {
    t.shape = shape;
    t.sprite = -1;
  });
}

void PartType_Sprite(int32_t index, int32_t sprite, bool animate, bool stretch, bool randomFrame) {
  Set(index, [&](ParticleType& t) {
    t.sprite = sprite;
    t.animate = animate;
    t.stretch = stretch;
    t.randomFrame = randomFrame;
  });
}

void PartType_Size(int32_t index, float min, float max, float increment, float wiggle) {
  Set(index, [&](ParticleType& t) {
    t.sizeMin = min, t.sizeMax = max, t.sizeIncrement = increment, t.sizeWiggle = wiggle;
  });
}

void PartType_Scale(int32_t index, float xScale, float yScale) {
  Set(index, [&](ParticleType& t) { t.xScale = xScale, t.yScale = yScale; });
}

void PartType_Life(int32_t index, int32_t min, int32_t max) {
  Set(index, [&](ParticleType& t) { t.lifeMin = min, t.lifeMax = max; });
}

int32_t Part_LimitCount(const char* name, int32_t number) {
  if (number <= kPartMaxPerCall) return number;
  Log((std::string(name) + " :: " + std::to_string(number) + " particles asked for; limited to " +
       std::to_string(kPartMaxPerCall) + "\n")
          .c_str());
  return kPartMaxPerCall;
}

void PartType_Step(int32_t index, int32_t number, int32_t type) {
  number = Part_LimitCount("part_type_step", number);
  Set(index, [&](ParticleType& t) { t.stepNumber = number, t.stepType = type; });
}

void PartType_Death(int32_t index, int32_t number, int32_t type) {
  number = Part_LimitCount("part_type_death", number);
  Set(index, [&](ParticleType& t) { t.deathNumber = number, t.deathType = type; });
}

void PartType_Speed(int32_t index, float min, float max, float increment, float wiggle) {
  Set(index, [&](ParticleType& t) {
    t.speedMin = min, t.speedMax = max, t.speedIncrement = increment, t.speedWiggle = wiggle;
  });
}

void PartType_Direction(int32_t index, float min, float max, float increment, float wiggle) {
  Set(index, [&](ParticleType& t) {
    t.directionMin = min, t.directionMax = max, t.directionIncrement = increment, t.directionWiggle = wiggle;
  });
}

void PartType_Orientation(int32_t index, float min, float max, float increment, float wiggle, bool relative) {
  Set(index, [&](ParticleType& t) {
    t.orientationMin = min, t.orientationMax = max, t.orientationIncrement = increment;
    t.orientationWiggle = wiggle, t.relative = relative;
  });
}

void PartType_Gravity(int32_t index, float amount, float direction) {
  Set(index, [&](ParticleType& t) { t.gravityAmount = amount, t.gravityDirection = direction; });
}

void PartType_Color1(int32_t index, uint32_t colour) {
  Set(index, [&](ParticleType& t) { t.colourMode = kPartColourOne, t.colour1 = colour; });
}

void PartType_Color2(int32_t index, uint32_t colour1, uint32_t colour2) {
  Set(index, [&](ParticleType& t) { t.colourMode = kPartColourTwo, t.colour1 = colour1, t.colour2 = colour2; });
}

void PartType_Color3(int32_t index, uint32_t colour1, uint32_t colour2, uint32_t colour3) {
  Set(index, [&](ParticleType& t) {
    t.colourMode = kPartColourThree, t.colour1 = colour1, t.colour2 = colour2, t.colour3 = colour3;
  });
}

void PartType_ColorMix(int32_t index, uint32_t colour1, uint32_t colour2) {
  Set(index, [&](ParticleType& t) { t.colourMode = kPartColourMix, t.colour1 = colour1, t.colour2 = colour2; });
}

namespace {
void SetSixColours(int32_t index, int32_t mode, const int32_t (&c)[6]) {
  Set(index, [&](ParticleType& t) {
    t.colourMode = mode;
    t.colour1 = uint32_t(c[0]), t.colour2 = uint32_t(c[1]), t.colour3 = uint32_t(c[2]);
    t.colour4 = uint32_t(c[3]), t.colour5 = uint32_t(c[4]), t.colour6 = uint32_t(c[5]);
  });
}
}  // namespace

void PartType_ColorRGB(int32_t index, int32_t redMin, int32_t redMax, int32_t greenMin, int32_t greenMax,
                       int32_t blueMin, int32_t blueMax) {
  SetSixColours(index, kPartColourRGB, {redMin, redMax, greenMin, greenMax, blueMin, blueMax});
}

void PartType_ColorHSV(int32_t index, int32_t hueMin, int32_t hueMax, int32_t saturationMin,
                       int32_t saturationMax, int32_t valueMin, int32_t valueMax) {
  SetSixColours(index, kPartColourHSV, {hueMin, hueMax, saturationMin, saturationMax, valueMin, valueMax});
}

void PartType_Alpha1(int32_t index, float alpha) {
  Set(index, [&](ParticleType& t) { t.alpha1 = t.alpha2 = t.alpha3 = alpha; });
}

void PartType_Alpha2(int32_t index, float start, float end) {
  Set(index, [&](ParticleType& t) { t.alpha1 = start, t.alpha2 = (start + end) / 2, t.alpha3 = end; });
}

void PartType_Alpha3(int32_t index, float alpha1, float alpha2, float alpha3) {
  Set(index, [&](ParticleType& t) { t.alpha1 = alpha1, t.alpha2 = alpha2, t.alpha3 = alpha3; });
}

void PartType_Blend(int32_t index, bool additive) {
  Set(index, [&](ParticleType& t) { t.additive = additive; });
}

void PartType_FreeAll() {
  g_Types.clear();
  g_Types.shrink_to_fit();
}

float Part_RandomInRange(float min, float max, int32_t distribution) {
  float range = max - min;
  if (!(range > 0.0f)) return min;
  if (distribution == kPsDistrGaussian) return min + (GaussianDraw() + 3.0f) * kSixth * range;
  if (distribution == kPsDistrInvGaussian) {
    float x = GaussianDraw();
    if (x < 0.0f) x += 6.0f;
    return min + x * kSixth * range;
  }
  return min + RandomUnit() * range;
}

void Part_ComputeColour(Particle& particle) {
  const ParticleType& t = PartType_Record(particle.type);
  if (particle.age > 0 && particle.life > 0) {
    if (t.colourMode == kPartColourTwo) {
      double f = std::fmin(double(particle.age) / particle.life, 1.0);
      particle.colour = Colour_Merge(t.colour1, t.colour2, f);
    } else if (t.colourMode == kPartColourThree) {
      double f = std::fmin(2.0 * particle.age / particle.life, 2.0);
      particle.colour = f < 1.0 ? Colour_Merge(t.colour1, t.colour2, f) : Colour_Merge(t.colour2, t.colour3, f - 1.0);
    }
    return;
  }
  switch (t.colourMode) {
    case kPartColourOne:
    case kPartColourTwo:
    case kPartColourThree:
      particle.colour = t.colour1;
      break;
    case kPartColourRGB: {
      int32_t red = RandomChannel(t.colour1, t.colour2);
      int32_t green = RandomChannel(t.colour3, t.colour4);
      int32_t blue = RandomChannel(t.colour5, t.colour6);
      particle.colour = Colour_MakeRGB(red, green, blue);
      break;
    }
    case kPartColourHSV: {
      int32_t hue = RandomChannel(t.colour1, t.colour2);
      int32_t saturation = RandomChannel(t.colour3, t.colour4);
      int32_t value = RandomChannel(t.colour5, t.colour6);
      particle.colour = Colour_HSVToInt(Colour_SetHSVBytes(hue, saturation, value));
      break;
    }
    case kPartColourMix:
      particle.colour = Colour_Merge(t.colour1, t.colour2, Random_Real(1.0));
      break;
    default:
      break;
  }
}
