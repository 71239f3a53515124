#include "graphics/lights.h"

#include "graphics/render_states.h"

namespace {

gfx::ColourValue Diffuse(uint32_t colour) {
  return {(colour & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, ((colour >> 16) & 0xFF) / 255.0f, 0.0f};
}

}  // namespace

void Light_DefineAmbient(uint32_t colour) {
  gfx::Device* device = Graphics_Device();
  if (!device) return;
  gfx::Material m;
  m.diffuse = m.ambient = m.specular = {1, 1, 1, 1};
  m.power = 1.0f;
  device->SetMaterial(m);
  // Straight to the device: red and blue swap places.
  device->SetRenderState(gfx::RS_Ambient, ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF));
}

void Light_DefineDirection(int index, float dx, float dy, float dz, uint32_t colour) {
  gfx::Device* device = Graphics_Device();
  if (!device) return;
  gfx::Light l;
  l.type = gfx::Light_Directional;
  l.diffuse = Diffuse(colour);
  l.direction = {dx, dy, dz};
  device->SetLight(index & 7, l);
}

void Light_DefinePoint(int index, float x, float y, float z, float range, uint32_t colour) {
  gfx::Device* device = Graphics_Device();
  if (!device) return;
  gfx::Light l;
  l.type = gfx::Light_Point;
  l.diffuse = Diffuse(colour);
  l.position = {x, y, z};
  l.range = range;
  l.attenuation0 = 1.0f;
  l.attenuation1 = range > 0 ? 1.0f / range : 0.0f;
  device->SetLight(index & 7, l);
}

void Light_Enable(int index, bool flag) {
  if (gfx::Device* device = Graphics_Device()) device->LightEnable(index & 7, flag);
}
