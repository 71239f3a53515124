#include "graphics/frame.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "script/console.h"
#include "core/run_state.h"
#include "graphics/batching.h"
#include "graphics/bitmap.h"
#include "graphics/display.h"
#include "graphics/frame_capture.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "graphics/render_targets.h"
#include "graphics/window.h"
#include "script/convert.h"

namespace {

int g_sceneDepth = 0;
// Stack depth before the frame saved its targets: the frame's end unwinds to
// it, whatever surfaces were left set.
int g_frameStackBase = 0;
int64_t g_presentTime = 0;
int64_t g_framesBegun = 0;

gfx::Device* Device() { return Graphics_Device(); }

// Test hook: the device reports itself lost at the start of this frame.
int64_t LoseDeviceAtFrame() {
  static const int64_t frame = [] {
    const char* v = std::getenv("TARNWICKE_LOSE_DEVICE");
    return v ? std::atoll(v) : int64_t(0);
  }();
  return frame;
}

// Script colours are 0xAABBGGRR, the device's 0xAARRGGBB: red and blue swap.
uint32_t ScriptToDeviceColour(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour >> 16) & 0xFFu) | ((colour & 0xFFu) << 16);
}

struct ColourVertex {
  float x, y, z;
  uint32_t colour;
};

// Clears by drawing: for drivers whose own clear misbehaves.
void ManualClear(uint32_t deviceColour, float depth, uint32_t flags) {
  gfx::Device* device = Device();
  DisplayState& d = Display_State();
  std::vector<gfx::TextureHandle> targets;
  for (int i = 0; i < d.renderTargetSlots; ++i) {
    gfx::TextureHandle t = device->GetRenderTarget(i);
    if (t != 0 || i == 0) targets.push_back(t);
  }
  Matrix world, view, projection;
  Matrix_Get(MATRIX_WORLD, &world);
  Matrix_Get(MATRIX_VIEW, &view);
  Matrix_Get(MATRIX_PROJECTION, &projection);
  g_RenderStateCache.Snapshot();
  g_RenderStateCache.SetRenderState(RS_ZENABLE, 1);
  g_RenderStateCache.SetRenderState(RS_ZFUNC, gfx::Cmp_Always);
  g_RenderStateCache.SetRenderState(RS_ALPHABLENDENABLE, 0);
  g_RenderStateCache.SetRenderState(RS_ALPHATESTENABLE, 0);
  g_RenderStateCache.SetRenderState(RS_LIGHTING, 0);
  g_RenderStateCache.SetRenderState(RS_CULLMODE, 0);
  g_RenderStateCache.SetRenderState(RS_COLORWRITEENABLE, (flags & 1) ? 15u : 0u);
  g_RenderStateCache.SetRenderState(RS_ZWRITEENABLE, (flags & 2) ? 1u : 0u);
  Matrix identity;
  Matrix_Identity(&identity);
  Matrix_Set(MATRIX_WORLD, identity);
  Matrix_Set(MATRIX_VIEW, identity);
  Matrix_Set(MATRIX_PROJECTION, identity);
  bool several = targets.size() > 1;
  if (several) {
    RenderTarget_Push();
    for (int i = 1; i < d.renderTargetSlots; ++i) RenderTarget_Set(i, 0);
  }
  for (gfx::TextureHandle target : targets) {
    if (several) RenderTarget_Set(0, target);
    auto* v = static_cast<ColourVertex*>(VertexBatch_Reserve(gfx::Prim_TriangleStrip, 0, 16, 4));
    if (v) {
      const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
      for (int i = 0; i < 4; ++i) v[i] = ColourVertex{corners[i][0], corners[i][1], depth, deviceColour};
    }
    VertexBatch_Flush();
  }
  if (several) RenderTarget_Pop();
  g_RenderStateCache.Restore();
  Matrix_Set(MATRIX_WORLD, world);
  Matrix_Set(MATRIX_VIEW, view);
  Matrix_Set(MATRIX_PROJECTION, projection);
}

bool ResetDevice(gfx::Device* device, gfx::PresentParameters& p) {
  if (device->Reset(p)) return true;
  g_DebugConsole->Output("Reset() Failed: %X\n", 0x88760868u);  // the "device lost" code
  DisplayState& d = Display_State();
  d.wantedSwapDiscard = true;
  d.wantedMultisample = 0;
  p.multisample = 0;
  Log("Change SWAP+Multisample type effect, try Reset() again\n");
  return device->Reset(p);
}

// Where the screen texture lands in a back buffer of this size: all of it,
// or with keep-aspect the largest centred rectangle of the screen's ratio.
// Callers make sure the screen and back buffer have a size.
void PictureRect(int bbW, int bbH, float* x1, float* y1, float* x2, float* y2) {
  const DisplayState& d = Display_State();
  *x1 = *y1 = 0;
  *x2 = float(bbW);
  *y2 = float(bbH);
  if (!d.keepAspect) return;
  float r = float(d.screenWidth) / float(d.screenHeight);
  if (float(bbH) > float(bbW) / r) {
    float h = float(d.screenHeight) / float(d.screenWidth) * float(bbW);
    *y1 = (float(bbH) - h) * 0.5f;
    *y2 = *y1 + h;
  } else if (float(bbW) / r > float(bbH)) {
    float w = float(bbH) * r;
    *x1 = (float(bbW) - w) * 0.5f;
    *x2 = *x1 + w;
  }
}

}  // namespace

void Frame_ResetState() {
  g_sceneDepth = 0;
  g_frameStackBase = 0;
  g_presentTime = 0;
  g_framesBegun = 0;
}

int Graphics_SceneDepth() { return g_sceneDepth; }
int64_t Graphics_PresentTime() { return g_presentTime; }

bool Graphics_BeginFrame() {
  if (!Device()) return false;
  Display_BeginScene();
  return true;
}

bool Graphics_EndFrame(bool present) {
  if (!Device()) return false;
  Display_EndScene();
  if (present) {
    int64_t start = Time_Microseconds();
    Display_Present();
    g_presentTime = Time_Microseconds() - start;
  }
  return true;
}

void Display_BeginScene() {
  gfx::Device* device = Device();
  if (!device || g_sceneDepth != 0) return;
  ++g_framesBegun;
  gfx::Result level = device->TestCooperativeLevel();
  if (LoseDeviceAtFrame() == g_framesBegun) level = gfx::Result::DeviceNotReset;
  // Only a device that can be reset is reset; a lost one is left alone.
  if (level == gfx::Result::DeviceNotReset) Graphics_FullReset();
  device->BeginScene();
  RenderTarget_PopAll();
  g_frameStackBase = RenderTarget_Depth();
  RenderTarget_Push();
  RenderTarget_Set(0, Display_State().screenTexture);
  Window_RefreshClientSize();
  g_sceneDepth = 1;
}

void Display_EndScene() {
  gfx::Device* device = Device();
  if (!device || g_sceneDepth != 1) return;
  VertexBatch_Flush();
  g_sceneDepth = 0;
  VertexBatch_Flush();
  // Surfaces left set by the game are unwound too, down to the frame's own
  // record, whose pop brings the back buffer back.
  while (RenderTarget_Depth() > g_frameStackBase)
    if (!RenderTarget_Pop()) break;
  if (device->GetRenderTarget(0) != 0) device->SetRenderTarget(0, 0);
  Display_DrawScreenTexture();
  VertexBatch_Flush();
  VertexBatch_BeginFrame();
  device->EndScene();
  RenderTarget_PopAll();
  FrameCapture_AfterFrame();
}

bool Display_Present() {
  gfx::Device* device = Device();
  Window_ShowPending();
  return device && device->Present();
}

void Display_GetLetterboxOffset(int* x, int* y) {
  *x = *y = 0;
  gfx::Device* device = Device();
  const DisplayState& d = Display_State();
  if (!device || !d.keepAspect || d.screenWidth <= 0 || d.screenHeight <= 0) return;
  int bbW = 0, bbH = 0;
  device->BackBufferSize(&bbW, &bbH);
  if (bbW <= 0 || bbH <= 0) return;
  float x1, y1, x2, y2;
  PictureRect(bbW, bbH, &x1, &y1, &x2, &y2);
  *x = Real_ToInt32(x1);
  *y = Real_ToInt32(y1);
}

void Display_DrawScreenTexture() {
  gfx::Device* device = Device();
  if (!device) return;
  VertexBatch_Flush();
  DisplayState& d = Display_State();
  int bbW = 0, bbH = 0;
  device->BackBufferSize(&bbW, &bbH);
  bool filter = RenderState_GetInterpolation();
  RenderState_SetD3D(gfx::RS_AlphaBlendEnable, 0);
  RenderState_SetInterpolationExt(0, d.interpolate);
  VertexBatch_Flush();
  device->SetViewport(gfx::Viewport{0, 0, bbW, bbH, 0.0f, 1.0f});
  Graphics_Clear(Window_GetColor() | 0xFF000000u, 1.0f, 0, 7);
  // A minimised window has no pixels to draw into.
  if (bbW > 0 && bbH > 0 && d.screenWidth > 0 && d.screenHeight > 0) {
    Matrix view, projection;
    Matrix_Identity(&view);
    view.m[3][0] = -float(bbW) * 0.5f;
    view.m[3][1] = -float(bbH) * 0.5f;
    view.m[3][2] = 16000.0f;
    Matrix_BuildOrtho(&projection, float(bbW), -float(bbH), 1.0f, 32000.0f);
    device->SetTransform(gfx::Transform::View, view);
    device->SetTransform(gfx::Transform::Projection, projection);
    RenderState_SetD3D(gfx::RS_AlphaBlendEnable, 0);
    float x1, y1, x2, y2;
    PictureRect(bbW, bbH, &x1, &y1, &x2, &y2);
    Graphics_BlitScreenTexture(d.screenTexture, x1, y1, x2, y2, 0, 0, 1, 1, 0xFFFFFFFFu);
    VertexBatch_Flush();
  }
  RenderState_SetInterpolationExt(0, filter);
  RenderState_SetD3D(gfx::RS_AlphaBlendEnable, 1);
  g_RenderStateCache.ReapplyAll();
  // The engine's own transforms go back on the device.
  Matrix m;
  for (int i : {MATRIX_VIEW, MATRIX_PROJECTION}) {
    Matrix_Get(i, &m);
    device->SetTransform(i == MATRIX_VIEW ? gfx::Transform::View : gfx::Transform::Projection, m);
  }
}

void Graphics_BlitScreenTexture(gfx::TextureHandle texture, float x1, float y1, float x2, float y2, float tu1,
                                float tv1, float tu2, float tv2, uint32_t colour) {
  gfx::Device* device = Device();
  if (!device) return;
  struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
  };
  const Vertex v[4] = {{x1, y1, 0, colour, tu1, tv1},
                       {x2, y1, 0, colour, tu2, tv1},
                       {x2, y2, 0, colour, tu2, tv2},
                       {x1, y2, 0, colour, tu1, tv2}};
  device->SetFVF(kFVF_PosColourUV);
  device->SetTexture(0, texture);
  device->DrawPrimitiveUP(gfx::Prim_TriangleFan, 2, v, sizeof(Vertex));
  // Never left bound: the screen texture is drawn into next.
  device->SetTexture(0, 0);
}

bool Graphics_FullReset() {
  Log("Free all surfaces\n");
  Log("Graphics::Reset()\n");
  if (!Graphics_Reset()) return false;
  Log("Graphics::Clear()\n");
  Graphics_Clear(0, 1.0f, 0, 7);
  Log("D3D Settings Init\n");
  RenderState_ApplyAll();
  return true;
}

bool Graphics_Reset() {
  Log("--Reset Begin\n");
  Log("Restore Target\n");
  RenderTarget_PopAll();
  gfx::Device* device = Device();
  if (!device) return false;
  DisplayState& d = Display_State();
  Log("Check Display Mode\n");
  // Multisampling cannot be changed on an existing context.
  if (d.wantedMultisample != 0 && !(d.multisampleMask & d.wantedMultisample)) {
    d.wantedMultisample = 0;
    d.wantedSwapDiscard = false;
  }
  gfx::PresentParameters& p = d.present;
  p.vsync = d.vsync;
  Log("Free Screen Texture\n");
  bool hadTexture = d.screenTexture != 0;
  int oldW = d.screenWidth, oldH = d.screenHeight;
  if (hadTexture) {
    device->TextureSize(d.screenTexture, &oldW, &oldH);
    device->ReleaseTexture(d.screenTexture);
    d.screenTexture = 0;
  }
  bool requested = d.requestedWidth > 0 && d.requestedHeight > 0;
  int newW = requested ? d.requestedWidth : oldW;
  int newH = requested ? d.requestedHeight : oldH;
  Log("Toggle Fullscreen/windowed mode settings\n");
  bool fullscreen = Window_GetFullscreen();
  p.windowed = !fullscreen;
  if (fullscreen) {
    p.backBufferWidth = Display_DesktopWidth();
    p.backBufferHeight = Display_DesktopHeight();
  } else {
    p.backBufferWidth = newW;
    p.backBufferHeight = newH;
  }
  p.multisample = d.wantedMultisample;
  Log("Execute Reset()\n");
  if (!ResetDevice(device, p)) return false;
  RenderState_ResetDevice();
  if (requested) Display_SetScreenSize(newW, newH);
  bool keep = Window_TakeKeepPosition();
  if (!fullscreen) {
    Log("WindowedMode: Setup window prefs\n");
    d.backBufferWidth = d.screenWidth;
    d.backBufferHeight = d.screenHeight;
    Window_ApplyReset(false, d.screenWidth, d.screenHeight, keep);
  } else {
    Window_ApplyReset(true, p.backBufferWidth, p.backBufferHeight, keep);
    d.backBufferWidth = p.backBufferWidth;
    d.backBufferHeight = p.backBufferHeight;
  }
  if (hadTexture || requested) {
    Log("Recreate screen texture\n");
    d.screenTexture = device->CreateTexture(d.screenWidth, d.screenHeight, gfx::TexUsage_RenderTarget);
    if (g_sceneDepth != 0) {
      g_frameStackBase = RenderTarget_Depth();
      RenderTarget_Push();
      RenderTarget_Set(0, d.screenTexture);
    }
  }
  Graphics_Clear(0, 1.0f, 0, 7);
  d.requestedWidth = d.requestedHeight = -1;
  Log("--Reset End\n");
  RenderState_ApplyAll();
  return true;
}

void Graphics_Clear(uint32_t colour, float depth, uint32_t stencil, uint32_t flags) {
  gfx::Device* device = Device();
  if (!device || (flags & 7) == 0) return;
  VertexBatch_Flush();
  uint32_t deviceColour = ScriptToDeviceColour(colour);
  if (Display_State().manualClear) {
    ManualClear(deviceColour, depth, flags);
    return;
  }
  (void)stencil;
  device->Clear(flags & 7, deviceColour, 1.0f, 0);
}

void Graphics_ResetToWindowed() {
  bool open = g_sceneDepth != 0;
  if (open) Graphics_EndFrame(false);
  Graphics_Reset();
  if (open) Graphics_BeginFrame();
}

std::vector<uint32_t> Graphics_ReadScreenPixels(int portWidth, int portHeight, int x, int y, int* width,
                                                int* height) {
  std::vector<uint32_t> out;
  gfx::Device* device = Device();
  const DisplayState& d = Display_State();
  if (!device || !d.screenTexture) return out;
  VertexBatch_Flush();
  x = std::max(x, 0);
  y = std::max(y, 0);
  int w = std::min(*width, portWidth - x), h = std::min(*height, portHeight - y);
  w = std::min(w, d.screenWidth - x);
  h = std::min(h, d.screenHeight - y);
  if (w <= 0 || h <= 0) return out;
  out.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  if (!device->ReadPixels(d.screenTexture, x, y, w, h, out.data())) return {};
  *width = w;
  *height = h;
  return out;
}

std::unique_ptr<TBitmap> Graphics_GrabScreen(int x, int y, int width, int height) {
  const DisplayState& d = Display_State();
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  width = std::min(width, d.screenWidth - x);
  height = std::min(height, d.screenHeight - y);
  if (width <= 0 || height <= 0) return nullptr;
  std::vector<uint32_t> pixels = Graphics_ReadScreenPixels(d.screenWidth, d.screenHeight, x, y, &width, &height);
  if (pixels.empty()) return nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(kBitmap32);
  bitmap->SetWidth(width);
  bitmap->SetHeight(height);
  for (int row = 0; row < height; ++row) {
    uint8_t* address = nullptr;
    int stride = 0;
    if (!bitmap->Lock(row, &address, &stride) || !address) return nullptr;
    std::memcpy(address, pixels.data() + static_cast<size_t>(row) * width, static_cast<size_t>(width) * 4);
  }
  return bitmap;
}

uint32_t Graphics_GetScreenPixel(int x, int y) {
  const DisplayState& d = Display_State();
  if (x < 0 || y < 0 || x >= d.screenWidth || y >= d.screenHeight) return 0;
  int w = 1, h = 1;
  std::vector<uint32_t> p = Graphics_ReadScreenPixels(d.screenWidth, d.screenHeight, x, y, &w, &h);
  if (p.empty()) return 0;
  return ScriptToDeviceColour(p[0]);
}
