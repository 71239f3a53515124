#include "graphics/display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "script/console.h"
#include "graphics/batching.h"
#include "graphics/frame.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "graphics/render_targets.h"
#include "graphics/window.h"
#include "platform/displays.h"
#include "platform/gfx/gl/gl_device.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "script/errors.h"

GraphicsSwitches g_GraphicsSwitches;

namespace {

constexpr uint32_t kFlagFullscreen = 0x01;
constexpr uint32_t kFlagVSync = 0x02;
constexpr uint32_t kFlagSoftware = 0x04;
constexpr uint32_t kFlagInterpolate = 0x08;
constexpr uint32_t kFlagKeepAspect = 0x10;

DisplayState g_display;
std::vector<AdapterInfo> g_adapters;
std::unique_ptr<gfx::GLDevice> g_glDevice;
gfx::Device* g_testDevice = nullptr;
bool g_resetRequested = false;
std::string g_startFailure;

gfx::Device* Device() { return Graphics_Device(); }

// Video for the display queries; without a display, the offscreen driver.
bool EnsureVideo() {
  std::string error;
  if (Displays_StartVideo(&error)) return true;
  Display_NoteStartFailure(error);
  return false;
}

bool DesktopMode(int display, DisplayModeInfo* mode) { return EnsureVideo() && Displays_Desktop(display, mode); }

}  // namespace

DisplayState& Display_State() { return g_display; }
const std::vector<AdapterInfo>& Display_Adapters() { return g_adapters; }

DisplayModeEntry Display_ChooseMode(const std::vector<DisplayModeEntry>& modes, int width, int height) {
  DisplayModeEntry best;
  bool found = false;
  int64_t bestDx = 999999999, bestDy = 999999999;
  for (const DisplayModeEntry& m : modes) {
    if (m.width < width || m.height < height) continue;
    int64_t dx = m.width - width, dy = m.height - height;
    if (dy < bestDy && dx < bestDx) {
      bestDx = dx;
      bestDy = dy;
      best = m;
      found = true;
    }
  }
  if (found) return best;
  // An empty wanted area would divide by zero: compare against one pixel.
  double area = std::max(1.0, double(width) * double(height));
  double bestScore = 99999999.0;
  for (const DisplayModeEntry& m : modes) {
    double score = std::fabs(1.0 - double(m.width) * double(m.height) / area);
    bool take = score < bestScore;
    if (!take && score == bestScore && found && m.bits == 32)
      take = best.bits != 32 || std::abs(60 - m.refresh) < std::abs(60 - best.refresh);
    if (take) {
      bestScore = score;
      best = m;
      found = true;
    }
  }
  return best;
}

int Display_GetWidth() {
  DisplayModeInfo m;
  return DesktopMode(0, &m) ? m.width : 0;
}

int Display_GetHeight() {
  DisplayModeInfo m;
  return DesktopMode(0, &m) ? m.height : 0;
}

int Display_GetFrequency() {
  DisplayModeInfo m;
  if (!DesktopMode(0, &m)) return -1;
  return m.refresh > 0 ? m.refresh : 60;
}

int Display_GetColorDepth() {
  DisplayModeInfo m;
  return DesktopMode(0, &m) ? m.bits : -1;
}

int Display_DesktopWidth() { return g_adapters.empty() ? Display_GetWidth() : g_adapters[0].desktopWidth; }
int Display_DesktopHeight() { return g_adapters.empty() ? Display_GetHeight() : g_adapters[0].desktopHeight; }

void Display_EnumerateAdapters() {
  g_adapters.clear();
  if (!EnsureVideo()) return;
  int count = Displays_Count();
  for (int i = 0; i < count; ++i) {
    AdapterInfo a;
    a.index = i;
    a.deviceName = Displays_Name(i);
    DisplayModeInfo desktop;
    int x = 0, y = 0;
    if (Displays_Desktop(i, &desktop, &x, &y)) {
      a.desktopX = x;
      a.desktopY = y;
      a.desktopWidth = desktop.width;
      a.desktopHeight = desktop.height;
      a.desktopBits = desktop.bits;
      a.desktopRefresh = desktop.refresh > 0 ? desktop.refresh : 60;
    }
    for (const DisplayModeInfo& m : Displays_Modes(i)) {
      if (m.bits != 32 && m.bits != 16) continue;
      DisplayModeEntry e;
      e.width = static_cast<int16_t>(std::clamp(m.width, 0, 32767));
      e.height = static_cast<int16_t>(std::clamp(m.height, 0, 32767));
      e.bits = static_cast<uint8_t>(m.bits);
      e.refresh = static_cast<uint8_t>(std::clamp(m.refresh, 0, 255));
      e.mode = static_cast<int16_t>(m.index);
      a.modes.push_back(e);
    }
    // Some drivers list no modes: the desktop is one.
    if (a.modes.empty())
      a.modes.push_back(DisplayModeEntry{static_cast<int16_t>(a.desktopWidth), static_cast<int16_t>(a.desktopHeight),
                                         32, static_cast<uint8_t>(a.desktopRefresh), 0});
    if (a.desktopWidth < a.desktopHeight) a.flags |= 1;
    g_adapters.push_back(std::move(a));
  }
}

void Display_CheckAdapterVendor() {
  if (g_IntelWorkarounds) {
    g_display.manualClear = g_display.perBatchFlush = true;
  } else if (!g_VanillaGFX && !g_adapters.empty()) {
    std::string d = g_adapters[0].description;
    std::transform(d.begin(), d.end(), d.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (d.find("intel") != std::string::npos) {
      g_display.manualClear = g_display.perBatchFlush = true;
      Log("Switching to manual clears\n");
    }
  }
  VertexBatch_SetPerBatchFlush(g_display.perBatchFlush);
}

DisplayModeEntry Display_FindBestMode(int width, int height) {
  if (g_adapters.empty()) return DisplayModeEntry{};
  return Display_ChooseMode(g_adapters[0].modes, width, height);
}

void Display_FatalError(const std::string& text) { MessageBox_Show(Window_GetCaption(), text); }

const std::string& Display_StartFailure() { return g_startFailure; }

void Display_NoteStartFailure(const std::string& reason) {
  if (g_startFailure.empty()) g_startFailure = reason;
}

std::string Display_WithStartFailure(const std::string& text) {
  return g_startFailure.empty() ? text : text + " (" + g_startFailure + ")";
}

bool Display_CreateDevice(int width, int height, uint32_t flags) {
  g_display.vsync = (flags & kFlagVSync) != 0;
  g_display.interpolate = (flags & kFlagInterpolate) != 0;
  RenderState_SetGameInterpolation(g_display.interpolate);
  g_display.softwareVertexProcessing = (flags & kFlagSoftware) != 0 || g_SoftwareVertexProcessing;
  g_display.keepAspect = (flags & kFlagKeepAspect) != 0;

  Log("Create D3D9 interface\n");
  if (!g_testDevice && (!Window_Exists() || !EnsureVideo())) {
    Display_FatalError(Display_WithStartFailure("Failed to create Direct3D 9 device"));
    return false;
  }
  Log("Enumerate Adapters\n");
  Display_EnumerateAdapters();
  if (!g_testDevice && Window_GLContext() && !g_adapters.empty())
    g_adapters[0].description = Window_Handle()->RendererName();
  Display_CheckAdapterVendor();
  Display_FindBestMode(width, height);

  bool fullscreen = (flags & kFlagFullscreen) != 0;
  int bbW = fullscreen ? Display_DesktopWidth() : width;
  int bbH = fullscreen ? Display_DesktopHeight() : height;
  g_DebugConsole->Output("Selected Resolution: %dx%d\n", bbW, bbH);
  Log("Get Current Desktop Display Mode\n");
  DisplayModeInfo desktop;
  if (!g_testDevice && !DesktopMode(0, &desktop)) {
    Display_FatalError(Display_WithStartFailure("Failed to retrieve display mode."));
    return false;
  }
  Log("Prepare to create device\n");
  g_display.present = gfx::PresentParameters{};
  g_display.present.backBufferWidth = bbW;
  g_display.present.backBufferHeight = bbH;
  g_display.present.windowed = !fullscreen;
  g_display.present.vsync = g_display.vsync;
  g_display.wantedSwapDiscard = false;
  g_display.wantedMultisample = 0;
  Window_SetFullscreenFlag(fullscreen);

  g_DebugConsole->Output("Creating D3D device - ARGB=32bit, D24S8, SwapEffect=Copy, %s\n",
                         g_display.softwareVertexProcessing ? "Software vertex processing"
                                                            : "Hardware vertex processing");
  gfx::Device* device = g_testDevice;
  if (!device) {
    g_glDevice = Window_Handle()->CreateDevice();
    device = g_glDevice.get();
  }
  Graphics_SetDevice(device);
  if (fullscreen) Window_ApplyReset(true, bbW, bbH, false);
  device->Reset(g_display.present);

  Log("Creating screen render target\n");
  if (g_display.screenWidth <= 0 || g_display.screenHeight <= 0) Display_SetScreenSize(width, height);
  g_display.backBufferWidth = bbW;
  g_display.backBufferHeight = bbH;
  if (g_display.screenTexture) device->ReleaseTexture(g_display.screenTexture);
  g_display.screenTexture =
      device->CreateTexture(g_display.screenWidth, g_display.screenHeight, gfx::TexUsage_RenderTarget);
  if (!g_display.screenTexture) {
    char text[160];
    std::snprintf(text, sizeof text, "Unable to create a screen that is %d x %d - please ensure settings are correct",
                  bbW, bbH);
    Display_FatalError(text);
    Error_FatalExit();
  }
  Log("Get Device Caps\n");
  // The context's multisampling is fixed when it is made: no level to offer.
  g_display.multisampleMask = 0;
  g_display.renderTargetSlots = std::min(device->GetCaps().simultaneousRenderTargets, 4);
  g_display.requestedWidth = g_display.requestedHeight = -1;
  Log("Graphics initialisation end...\n");
  return true;
}

bool GR_D3D_Init(int width, int height, uint32_t flags) {
  int screenW = Display_GetWidth(), screenH = Display_GetHeight();
  int renderW = screenW > 0 ? std::min(width, screenW) : width;
  int renderH = screenH > 0 ? std::min(height, screenH) : height;
  int depth = g_testDevice ? 32 : Display_GetColorDepth();
  if (depth != 16 && depth != 32) {
    // Without a display the depth reads -1: the reason says what is wrong.
    MessageBox_Show(Window_GetCaption(),
                    Display_WithStartFailure("This program requires 16-bit (High Color) or 32-bit (Full Color) mode. "
                                             "Please change this in your display properties and run again."));
    return false;
  }
  bool ok = Display_CreateDevice(renderW, renderH, flags);
  Matrix identity;
  Matrix_Identity(&identity);
  Matrix_Set(MATRIX_WORLD, identity);
  RenderState_ApplyAll();
  Graphics_Clear(0, 1.0f, 0, 7);
  if (gfx::Device* device = Device()) {
    VertexBatch_Flush();
    device->SetViewport(gfx::Viewport{0, 0, g_display.screenWidth, g_display.screenHeight, 0.0f, 1.0f});
  }
  Graphics_SetViewProjection(0, 0, float(g_display.screenWidth), float(g_display.screenHeight), 0);
  Graphics_InitState();
  return ok;
}

void Graphics_InitState() { Frame_ResetState(); }

bool Display_SetAll(int width, int height, int frequency, int depth) {
  // The desktop's own mode is not ours to change; full screen takes a mode.
  if (width <= 0 && height <= 0 && frequency <= 0 && depth <= 0) return true;
  if (!Display_TestAll(width, height, frequency, depth)) return false;
  PlatformWindow* window = Window_Handle();
  return window && window->SetFullscreenMode(width, height, frequency);
}

bool Display_TestAll(int width, int height, int frequency, int depth) {
  if (width <= 0 && height <= 0 && frequency <= 0 && depth <= 0) return true;
  if (g_adapters.empty()) Display_EnumerateAdapters();
  if (g_adapters.empty()) return false;
  for (const DisplayModeEntry& m : g_adapters[0].modes)
    if ((width <= 0 || m.width == width) && (height <= 0 || m.height == height) &&
        (frequency <= 0 || m.refresh == frequency) && (depth <= 0 || m.bits == depth))
      return true;
  return false;
}

bool Display_SetSize(int width, int height) { return Display_SetAll(width, height, 0, 0); }
bool Display_SetFrequency(int frequency) { return Display_SetAll(0, 0, frequency, 0); }
bool Display_SetColorDepth(int depth) { return Display_SetAll(0, 0, 0, depth); }

int Display_MouseGetX() {
  int x = 0;
  if (EnsureVideo()) Displays_GlobalMouse(&x, nullptr);
  return x;
}

int Display_MouseGetY() {
  int y = 0;
  if (EnsureVideo()) Displays_GlobalMouse(nullptr, &y);
  return y;
}

void Display_MouseSet(int x, int y) {
  if (!Window_IsActive() || !Window_Exists()) return;
  Displays_WarpMouseGlobal(x, y);
}

void Display_SetAntialias(int level) {
  if (level == 2 || level == 4 || level == 8 || level == 16) {
    g_display.wantedMultisample = level;
    g_display.wantedSwapDiscard = true;
  } else {
    g_display.wantedMultisample = 0;
    g_display.wantedSwapDiscard = false;
  }
}

void Display_SetVSync(bool flag) { g_display.vsync = flag; }
bool Display_ShadersSupported() { return Device() != nullptr; }
int Display_MultisampleMask() { return g_display.multisampleMask; }

void Display_Shutdown() {
  if (g_display.screenTexture && Device()) Device()->ReleaseTexture(g_display.screenTexture);
  g_display.screenTexture = 0;
}

void Graphics_ReleaseDevice() {
  if (!Device()) return;
  RenderTarget_PopAll();
  VertexBatch_ReleaseAll();
  Graphics_SetDevice(nullptr);
  g_glDevice.reset();
}

void Graphics_Shutdown() { Graphics_ReleaseDevice(); }

int Display_ScreenTextureWidth() { return g_display.screenWidth; }
int Display_ScreenTextureHeight() { return g_display.screenHeight; }

void Display_SetScreenSize(int width, int height) {
  g_display.screenWidth = width;
  g_display.screenHeight = height;
}

void Display_RequestScreenSize(int width, int height) {
  g_display.requestedWidth = width;
  g_display.requestedHeight = height;
}

void Graphics_RequestReset() { g_resetRequested = true; }

bool Graphics_TakeFullResetMark() {
  bool requested = g_resetRequested;
  g_resetRequested = false;
  return requested;
}

void Display_UseDeviceForTests(gfx::Device* device) {
  if (Device()) {
    RenderTarget_PopAll();
    VertexBatch_ReleaseAll();
  }
  Graphics_SetDevice(nullptr);
  g_glDevice.reset();
  g_testDevice = device;
  g_display = DisplayState{};
  g_adapters.clear();
  g_resetRequested = false;
  Frame_ResetState();
}
