// Device creation, frames, letterboxing, clears and resets over the
// recording device.
#include <cstring>
#include <string>
#include <vector>

#include "script/console.h"
#include "graphics/bitmap.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/render_targets.h"
#include "graphics/view_mapping.h"
#include "graphics/window.h"
#include "graphics_fixture.h"
#include "input/input.h"
#include "unit/line_console.h"

namespace {

using gfx::RecordingDevice;
using Op = RecordingDevice::Op;

struct Vertex24 {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

class Display : public DisplayGraphicsTest {
 protected:
  void SetUp() override {
    DisplayGraphicsTest::SetUp();
    saved_ = g_DebugConsole;
    g_DebugConsole = &log;
    device.captureVertices = true;
  }
  void TearDown() override {
    DisplayGraphicsTest::TearDown();
    g_DebugConsole = saved_;
  }

  // The device brought up for a game of this size and these flags, with a
  // window (back buffer) of the given size.
  void Start(int width, int height, uint32_t flags, int bbW, int bbH) {
    Display_SetScreenSize(width, height);
    ASSERT_TRUE(GR_D3D_Init(width, height, flags));
    device.backBufferWidth = bbW;
    device.backBufferHeight = bbH;
    device.ClearLog();
    log.text.clear();
  }

  // The last draw from memory: the screen texture's copy to the back buffer.
  std::vector<Vertex24> LastBlit() {
    std::vector<Vertex24> out;
    for (const auto& d : device.Draws())
      if (d.type == gfx::Prim_TriangleFan && d.vertices.size() == 4 * sizeof(Vertex24)) {
        out.resize(4);
        std::memcpy(out.data(), d.vertices.data(), d.vertices.size());
      }
    return out;
  }

  LineConsole log;
  tagIConsole* saved_ = nullptr;
};

TEST(DisplayModes, TheBestModeOfAList) {
  using M = DisplayModeEntry;
  const std::vector<M> modes = {{640, 480, 32, 60, 0},  {800, 600, 32, 60, 1},  {1024, 768, 16, 60, 2},
                                {1024, 768, 32, 75, 3}, {1024, 768, 32, 60, 4}, {1920, 1080, 32, 60, 5}};
  struct Case {
    int w, h;
    int wantMode;
  };
  const Case cases[] = {
      {640, 480, 0},    // exact
      {700, 500, 1},    // smallest excess in both directions
      {1000, 700, 2},   // first of the equal excesses
      {2000, 1000, 5},  // none large enough: the closest area
      {0, 0, 0},        // no division by zero
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    EXPECT_EQ(Display_ChooseMode(modes, c.w, c.h).mode, c.wantMode);
  }
  // Among equal areas a 32-bit mode nearest 60 Hz wins.
  const std::vector<M> equal = {{1024, 768, 16, 60, 0}, {1024, 768, 32, 85, 1}, {1024, 768, 32, 59, 2},
                                {1024, 768, 32, 70, 3}};
  EXPECT_EQ(Display_ChooseMode(equal, 4000, 4000).mode, 2);
  EXPECT_EQ(Display_ChooseMode({}, 640, 480).width, 0);
}

TEST_F(Display, CreationMakesTheScreenTextureAndLogsItsSteps) {
  Display_SetScreenSize(320, 240);
  ASSERT_TRUE(GR_D3D_Init(320, 240, 0x10));
  const DisplayState& d = Display_State();
  EXPECT_TRUE(d.keepAspect);
  EXPECT_FALSE(d.interpolate);
  int w = 0, h = 0;
  ASSERT_TRUE(device.TextureSize(d.screenTexture, &w, &h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_EQ(d.requestedWidth, -1);
  EXPECT_NE(log.text.find("Selected Resolution: 320x240\n"), std::string::npos);
  EXPECT_NE(log.text.find("Creating screen render target\nGet Device Caps\nGraphics initialisation end...\n"),
            std::string::npos);
  // A screen texture the device refuses ends nothing here: it is fatal and
  // covered by the program's own run.
}

TEST_F(Display, AFrameDrawsIntoTheScreenTextureAndCopiesItToTheWindow) {
  Start(320, 240, 0, 320, 240);
  Window_SetColor(0x0000FF);  // red as a script colour
  ASSERT_TRUE(Graphics_BeginFrame());
  EXPECT_EQ(device.GetRenderTarget(0), Display_State().screenTexture);
  Graphics_Clear(0xFF00FF00u, 1.0f, 0, 1);
  ASSERT_TRUE(Graphics_EndFrame(true));
  EXPECT_EQ(device.GetRenderTarget(0), 0u);
  EXPECT_EQ(RenderTarget_Depth(), 0);
  EXPECT_EQ(device.CountOf(Op::Present), 1u);
  // The window colour clears the back buffer (as the device's 0xAARRGGBB).
  bool windowClear = false;
  for (const auto& c : device.Calls())
    if (c.op == Op::Clear && c.b == 0xFFFF0000u) windowClear = true;
  EXPECT_TRUE(windowClear);
  std::vector<Vertex24> v = LastBlit();
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v[0].x, 0);
  EXPECT_EQ(v[2].x, 320);
  EXPECT_EQ(v[2].y, 240);
  EXPECT_EQ(v[2].u, 1);
  // What the frame drew reads back from the screen.
  EXPECT_EQ(Graphics_GetScreenPixel(5, 5), 0xFF00FF00u);
  EXPECT_EQ(Graphics_GetScreenPixel(320, 5), 0u);
  EXPECT_EQ(Graphics_GetScreenPixel(-1, 5), 0u);
  // A grab is clipped to the screen; one wholly outside gives nothing.
  std::unique_ptr<TBitmap> grab = Graphics_GrabScreen(310, -5, 20, 10);
  ASSERT_NE(grab, nullptr);
  EXPECT_EQ(grab->GetWidth(), 10);
  EXPECT_EQ(grab->GetHeight(), 10);
  uint8_t* row = nullptr;
  int stride = 0;
  grab->Lock(9, &row, &stride);
  ASSERT_NE(row, nullptr);
  uint32_t last;
  std::memcpy(&last, row + 9 * 4, 4);
  EXPECT_EQ(last, 0xFF00FF00u);
  EXPECT_EQ(Graphics_GrabScreen(320, 0, 5, 5), nullptr);
  EXPECT_EQ(Graphics_GrabScreen(0, 0, 0, 5), nullptr);
}

TEST_F(Display, LetterboxingKeepsTheAspect) {
  struct Case {
    int bbW, bbH;
    float x1, y1, x2, y2;
    int offX, offY;
  };
  const Case cases[] = {
      {800, 480, 80, 0, 720, 480, 80, 0},   // bars at the sides
      {320, 480, 0, 120, 320, 360, 0, 120},  // bars above and below
      {640, 480, 0, 0, 640, 480, 0, 0},      // same ratio
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bbW << "x" << c.bbH);
    Display_UseDeviceForTests(&device);
    Start(320, 240, 0x10, c.bbW, c.bbH);
    int ox = -1, oy = -1;
    Display_GetLetterboxOffset(&ox, &oy);
    EXPECT_EQ(ox, c.offX);
    EXPECT_EQ(oy, c.offY);
    Graphics_BeginFrame();
    Graphics_EndFrame(true);
    std::vector<Vertex24> v = LastBlit();
    ASSERT_EQ(v.size(), 4u);
    EXPECT_FLOAT_EQ(v[0].x, c.x1);
    EXPECT_FLOAT_EQ(v[0].y, c.y1);
    EXPECT_FLOAT_EQ(v[2].x, c.x2);
    EXPECT_FLOAT_EQ(v[2].y, c.y2);
  }
}

TEST_F(Display, AMinimisedWindowDrawsNothingAndDividesByNothing) {
  Start(320, 240, 0x10, 0, 0);
  int ox = -1, oy = -1;
  Display_GetLetterboxOffset(&ox, &oy);
  EXPECT_EQ(ox, 0);
  EXPECT_EQ(oy, 0);
  Graphics_BeginFrame();
  Graphics_EndFrame(true);
  EXPECT_TRUE(LastBlit().empty());
  EXPECT_EQ(device.CountOf(Op::Present), 1u);
}

TEST_F(Display, ASurfaceLeftSetIsUnwoundBeforeTheCopy) {
  Start(320, 240, 0, 320, 240);
  gfx::TextureHandle surface = device.CreateTexture(16, 16, gfx::TexUsage_RenderTarget);
  Graphics_BeginFrame();
  // Two nested targets set by the game and never reset.
  ASSERT_TRUE(RenderTarget_Push());
  ASSERT_TRUE(RenderTarget_Set(0, surface));
  ASSERT_TRUE(RenderTarget_Push());
  device.ClearLog();
  Graphics_EndFrame(true);
  EXPECT_EQ(RenderTarget_Depth(), 0);
  // The copy went to the back buffer: the target was 0 when it was drawn.
  gfx::TextureHandle targetAtBlit = 99;
  gfx::TextureHandle target = surface;
  for (const auto& c : device.Calls()) {
    if (c.op == Op::SetRenderTarget && c.a == 0) target = c.b;
    if (c.op == Op::DrawPrimitiveUP && c.a == gfx::Prim_TriangleFan) targetAtBlit = target;
  }
  EXPECT_EQ(targetAtBlit, 0u);
}

TEST_F(Display, ClearsConvertTheColourAndManualClearsDraw) {
  Start(320, 240, 0, 320, 240);
  Graphics_Clear(0xFF0000FFu, 1.0f, 0, 0);
  EXPECT_EQ(device.CountOf(Op::Clear), 0u);
  Graphics_Clear(0x800000FFu, 1.0f, 0, 1);
  ASSERT_EQ(device.CountOf(Op::Clear), 1u);
  EXPECT_EQ(device.Calls().back().b, 0x80FF0000u);

  Display_State().manualClear = true;
  device.ClearLog();
  Graphics_Clear(0xFF0000FFu, 0.5f, 0, 2);  // depth only
  EXPECT_EQ(device.CountOf(Op::Clear), 0u);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_ColorWriteEnable), 15u) << "restored after the clear";
  bool maskedDraw = false;
  for (const auto& c : device.RenderStateChanges())
    if (c.first == gfx::RS_ColorWriteEnable && c.second == 0) maskedDraw = true;
  EXPECT_TRUE(maskedDraw);
  ASSERT_EQ(device.Draws().size(), 1u);
  EXPECT_EQ(device.Draws()[0].type, gfx::Prim_TriangleStrip);
}

TEST_F(Display, AResetThatFailsIsTriedOnceMoreWithoutMultisampling) {
  Start(320, 240, 0, 320, 240);
  device.failResets = 1;
  ASSERT_TRUE(Graphics_FullReset());
  EXPECT_NE(log.text.find("Reset() Failed: "), std::string::npos);
  EXPECT_NE(log.text.find("Change SWAP+Multisample type effect, try Reset() again\n"), std::string::npos);
  EXPECT_NE(log.text.find("Free all surfaces\nGraphics::Reset()\n--Reset Begin\n"), std::string::npos);
  EXPECT_NE(log.text.find("--Reset End\nGraphics::Clear()\nD3D Settings Init\n"), std::string::npos);
  EXPECT_NE(Display_State().screenTexture, 0u);
  device.failResets = 2;
  EXPECT_FALSE(Graphics_FullReset());
}

TEST_F(Display, ARequestedSizeRemakesTheScreenTexture) {
  Start(320, 240, 0, 320, 240);
  Display_RequestScreenSize(400, 300);
  ASSERT_TRUE(Graphics_Reset());
  int w = 0, h = 0;
  ASSERT_TRUE(device.TextureSize(Display_State().screenTexture, &w, &h));
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, 300);
  EXPECT_EQ(Display_ScreenTextureWidth(), 400);
  EXPECT_EQ(Display_State().requestedWidth, -1);
  EXPECT_EQ(device.LiveTextures(), 1u) << "the old screen texture is freed";
}

TEST_F(Display, OnlyADeviceThatCanBeResetIsReset) {
  Start(320, 240, 0, 320, 240);
  device.cooperativeLevel = gfx::Result::DeviceLost;
  Graphics_BeginFrame();
  Graphics_EndFrame(true);
  EXPECT_EQ(device.CountOf(Op::Reset), 0u);
  device.cooperativeLevel = gfx::Result::DeviceNotReset;
  Graphics_BeginFrame();
  EXPECT_EQ(device.CountOf(Op::Reset), 1u);
  // The frame still draws into the new screen texture.
  EXPECT_EQ(device.GetRenderTarget(0), Display_State().screenTexture);
  Graphics_EndFrame(true);
  EXPECT_EQ(RenderTarget_Depth(), 0);
}

TEST_F(Display, ResetRequestsAreTakenOnce) {
  Start(320, 240, 0, 320, 240);
  EXPECT_FALSE(Graphics_TakeFullResetMark());
  Window_SetFullscreen(true);
  EXPECT_TRUE(Window_GetFullscreen());
  EXPECT_TRUE(Graphics_TakeFullResetMark());
  EXPECT_FALSE(Graphics_TakeFullResetMark());
}

TEST_F(Display, AntialiasLevels) {
  for (int level : {0, 2, 3, 4, 8, 16, 32}) {
    Display_SetAntialias(level);
    bool valid = level == 2 || level == 4 || level == 8 || level == 16;
    EXPECT_EQ(Display_State().wantedMultisample, valid ? level : 0) << level;
    EXPECT_EQ(Display_State().wantedSwapDiscard, valid) << level;
  }
}

TEST_F(Display, RenderTargetStackHoldsEightRecords) {
  Start(320, 240, 0, 320, 240);
  for (int i = 0; i < kRenderTargetStackDepth; ++i) ASSERT_TRUE(RenderTarget_Push()) << i;
  EXPECT_FALSE(RenderTarget_Push());
  RenderTarget_PopAll();
  EXPECT_EQ(RenderTarget_Depth(), 0);
  EXPECT_FALSE(RenderTarget_Pop());
  EXPECT_FALSE(RenderTarget_Set(1, 0)) << "one target slot on this device";
}

}  // namespace

namespace {

TEST_F(Display, WindowPositionsToTheGameScreenThroughTheLetterbox) {
  // A 320x240 game in an 800x480 window: bars of 80 at each side.
  Start(320, 240, 0x10, 800, 480);
  // The window's own size is what the mapping divides by.
  Window_SetClientSizeForTests(800, 480);
  int px = -1, py = -1;
  Window_WindowToPort(80, 0, &px, &py);
  EXPECT_EQ(px, 0);
  EXPECT_EQ(py, 0);
  Window_WindowToPort(400, 240, &px, &py);
  EXPECT_EQ(px, 160);
  EXPECT_EQ(py, 120);
  Window_WindowToPort(719, 479, &px, &py);
  EXPECT_EQ(px, 319);
  EXPECT_EQ(py, 239);
}

}  // namespace
