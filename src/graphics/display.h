// Displays and the device: bringing the device up on the game window, the
// adapters and their modes, the screen texture every frame is drawn into,
// the display built-ins' back ends and the settings the next reset applies.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

// The device's command-line switches.
struct GraphicsSwitches {
  bool software_vertex_processing = false;  // "-software"
  bool intel_workarounds = false;           // "-intel"
  bool vanilla_gfx = false;                 // "-vanillaGFX"

  void Reset() { *this = GraphicsSwitches(); }
};
extern GraphicsSwitches g_GraphicsSwitches;
inline bool& g_SoftwareVertexProcessing = g_GraphicsSwitches.software_vertex_processing;
inline bool& g_IntelWorkarounds = g_GraphicsSwitches.intel_workarounds;
inline bool& g_VanillaGFX = g_GraphicsSwitches.vanilla_gfx;

struct DisplayModeEntry {
  int16_t width = 0, height = 0;
  uint8_t bits = 0;
  uint8_t refresh = 0;
  int16_t mode = 0;
};

struct AdapterInfo {
  uint32_t flags = 0;  // 1: taller than wide
  int groupCount = 1;
  std::string description;
  std::string deviceName;
  std::vector<DisplayModeEntry> modes;
  int desktopX = 0, desktopY = 0, desktopWidth = 640, desktopHeight = 480, desktopBits = 8, desktopRefresh = 60;
  int index = 0;
};

// The mode the device is made for: the smallest excess over the wanted size,
// else the closest area (ties: 32 bits, then nearest 60 Hz). Nothing chosen
// gives a mode of width 0.
DisplayModeEntry Display_ChooseMode(const std::vector<DisplayModeEntry>& modes, int width, int height);

bool GR_D3D_Init(int width, int height, uint32_t flags);
bool Display_CreateDevice(int width, int height, uint32_t flags);
void Display_EnumerateAdapters();
void Display_CheckAdapterVendor();
DisplayModeEntry Display_FindBestMode(int width, int height);
const std::vector<AdapterInfo>& Display_Adapters();

// Primary screen size; refresh rate and colour depth of the desktop (-1
// when unknown).
int Display_GetWidth();
int Display_GetHeight();
int Display_GetFrequency();
int Display_GetColorDepth();
// The first adapter's desktop size.
int Display_DesktopWidth();
int Display_DesktopHeight();

bool Display_SetAll(int width, int height, int frequency, int depth);
bool Display_TestAll(int width, int height, int frequency, int depth);
bool Display_SetSize(int width, int height);
bool Display_SetFrequency(int frequency);
bool Display_SetColorDepth(int depth);
int Display_MouseGetX();
int Display_MouseGetY();
void Display_MouseSet(int x, int y);
void Display_SetAntialias(int level);
void Display_SetVSync(bool flag);
bool Display_ShadersSupported();
// Bits 2, 4, 8 and 16 for the supported multisample levels.
int Display_MultisampleMask();
void Display_FatalError(const std::string& text);
// Why video, the window or the device could not be started, in the
// platform's own words; empty while nothing failed. The first reason is kept:
// later failures follow from it.
const std::string& Display_StartFailure();
void Display_NoteStartFailure(const std::string& reason);
// The text followed by the start failure in brackets, when there is one.
std::string Display_WithStartFailure(const std::string& text);
void Display_Shutdown();
void Graphics_InitState();
void Graphics_ReleaseDevice();
void Graphics_Shutdown();

// Display state shared with the frame code and the window.
struct DisplayState {
  gfx::PresentParameters present;
  int wantedMultisample = 0;
  bool wantedSwapDiscard = false;
  bool vsync = false;
  bool keepAspect = false;
  bool interpolate = false;
  bool softwareVertexProcessing = false;
  int multisampleMask = 0;
  int renderTargetSlots = 1;
  gfx::TextureHandle screenTexture = 0;
  int screenWidth = 0, screenHeight = 0;  // the screen texture's size
  int backBufferWidth = 0, backBufferHeight = 0;
  int requestedWidth = -1, requestedHeight = -1;
  bool manualClear = false;
  bool perBatchFlush = false;
};
DisplayState& Display_State();

int Display_ScreenTextureWidth();
int Display_ScreenTextureHeight();
// The screen size before the device exists (the game's window size).
void Display_SetScreenSize(int width, int height);
void Display_RequestScreenSize(int width, int height);
// A display reset at the start of the next frame.
void Graphics_RequestReset();
bool Graphics_TakeFullResetMark();

// Tests drive the display code over a device of their own; null gives the
// device back. The display state returns to its defaults.
void Display_UseDeviceForTests(gfx::Device* device);
