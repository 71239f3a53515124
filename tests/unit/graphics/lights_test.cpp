#include "graphics/lights.h"

#include "graphics_fixture.h"

namespace {

class Lights : public GraphicsTest {};

TEST_F(Lights, SlotsWrapAndPointLightsFallOffWithTheirRange) {
  Light_DefinePoint(9, 1, 2, 3, 50, 0x0000FF);
  const gfx::Light& l = device.LightValue(1);
  EXPECT_EQ(l.type, gfx::Light_Point);
  EXPECT_FLOAT_EQ(l.diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(l.diffuse.b, 0.0f);
  EXPECT_FLOAT_EQ(l.position.z, 3.0f);
  EXPECT_FLOAT_EQ(l.attenuation0, 1.0f);
  EXPECT_FLOAT_EQ(l.attenuation1, 1.0f / 50);
  Light_DefinePoint(2, 0, 0, 0, 0, 0xFFFFFF);
  EXPECT_EQ(device.LightValue(2).attenuation1, 0.0f);
  Light_DefineDirection(-1, 0, 0, 1, 0xFF0000);
  EXPECT_EQ(device.LightValue(7).type, gfx::Light_Directional);
  EXPECT_FLOAT_EQ(device.LightValue(7).diffuse.b, 1.0f);
  Light_Enable(12, true);
  EXPECT_TRUE(device.LightEnabled(4));
}

TEST_F(Lights, AmbientReachesTheDeviceWithRedAndBlueSwapped) {
  Light_DefineAmbient(0x0000FF);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_Ambient), 0x00FF0000u);
  EXPECT_FLOAT_EQ(device.MaterialValue().ambient.g, 1.0f);
  EXPECT_FLOAT_EQ(device.MaterialValue().power, 1.0f);
}

}  // namespace
