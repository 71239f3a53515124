// Sprites and backgrounds made from image files and from images fetched
// from http and https addresses: recognising and decoding the bytes,
// cutting a strip into frames, and the asynchronous requests that deliver
// an image later with event 7 / 60.
#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ds/map.h"
#include "files/files.h"
#include "graphics/image_codecs.h"
#include "script/memory_manager.h"
#include "script/console.h"
#include "services/http.h"
#include "sprites/sprites.h"

namespace {

// The subtype of the "image loaded" asynchronous event.
constexpr int kImageLoadedSubtype = 60;

enum class ImageKind { kUnknown, kPNG, kJPEG, kGIF };

ImageKind KindOf(const uint8_t* data, size_t size) {
  auto starts = [&](std::initializer_list<uint8_t> magic) {
    return size >= magic.size() && std::equal(magic.begin(), magic.end(), data);
  };
  if (starts({0xFF, 0xD8, 0xFF})) return ImageKind::kJPEG;
  if (starts({'G', 'I', 'F', '8'})) return ImageKind::kGIF;
  if (starts({0x89, 'P', 'N', 'G'})) return ImageKind::kPNG;
  return ImageKind::kUnknown;
}

// Frees decoded pixels the way their decoder asks.
struct PixelRelease {
  bool png = false;
  void operator()(uint32_t* p) const {
    if (png) PNG_Free(p);
    else MemoryManager::Release(p);
  }
};

struct Decoded {
  std::unique_ptr<uint32_t, PixelRelease> pixels;
  int width = 0, height = 0;
};

std::optional<Decoded> Decode(ImageKind kind, const uint8_t* data, size_t size) {
  if (!data || size == 0) return std::nullopt;
  Decoded d;
  uint32_t* p = nullptr;
  switch (kind) {
    case ImageKind::kPNG: p = PNG_Load(data, size, &d.width, &d.height); break;
    case ImageKind::kJPEG: p = JPEG_Load(data, size, &d.width, &d.height); break;
    case ImageKind::kGIF: p = GIF_Load(data, size, &d.width, &d.height); break;
    case ImageKind::kUnknown: break;
  }
  d.pixels = std::unique_ptr<uint32_t, PixelRelease>(p, PixelRelease{kind == ImageKind::kPNG});
  if (!p || d.width < 1 || d.height < 1) return std::nullopt;
  return d;
}

// The image of a file as a script names it (from the save area when it is
// there, else from the game's own directory), told by its first bytes as an
// address's image is: a file named .png that holds a JPEG loads all the same.
std::optional<Decoded> DecodeFile(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const std::optional<std::vector<uint8_t>> bytes = LoadSave_ReadGameFile(name);
  if (!bytes) return std::nullopt;
  return Decode(KindOf(bytes->data(), bytes->size()), bytes->data(), bytes->size());
}

// Case matters: "HTTP://" names a file.
bool IsAddress(const std::string& name) { return name.starts_with("http://") || name.starts_with("https://"); }

// What a request must remember until its image arrives, by request id.
struct SpriteRequest {
  int32_t index, frames, xOrigin, yOrigin;
  uint32_t flags;  // bit 0 precise, 1 transparent, 2 smooth, 3 preload
};
struct BackgroundRequest {
  int32_t index;
  uint32_t flags;  // bit 0 transparent, 1 smooth, 2 preload
};
std::unordered_map<int32_t, SpriteRequest> g_spriteRequests;
std::unordered_map<int32_t, BackgroundRequest> g_backgroundRequests;

int32_t ResultMap(const HTTP_REQ_CONTEXT* r, int index) {
  return DS_MapCreateFromPairs({
      {"filename", 0.0, r->url.c_str()},
      {"id", double(index)},
      {"http_status", double(r->http_status)},
      {"status", r->received > 0 ? 0.0 : -1.0},
  });
}

// The body of a complete 200 reply, or nothing.
bool HasImage(const HTTP_REQ_CONTEXT* r) { return r->http_status == 200 && r->received > 0; }

// Tries the kinds in turn; the first whose bytes match and decode wins.
template <typename Load>
bool DecodeAny(const HTTP_REQ_CONTEXT* r, Load load) {
  const uint8_t* data = r->data.data();
  const size_t size = size_t(r->received);
  for (ImageKind kind : {ImageKind::kJPEG, ImageKind::kGIF, ImageKind::kPNG}) {
    if (KindOf(data, size) != kind) continue;
    if (std::optional<Decoded> d = Decode(kind, data, size)) return load(*d);
  }
  return false;
}

// The completion of a sprite or background request: the map always, and
// the image loaded into the resource (`target` of the index) from a 200
// reply with a body.
template <typename Context, typename Target, typename Load>
int CompleteImageRequest(const HTTP_REQ_CONTEXT* r, const std::unordered_map<int32_t, Context>& contexts,
                         int32_t* mapId, Target target, Load load) {
  const auto found = contexts.find(r->id);
  if (found == contexts.end()) return 0;
  const Context c = found->second;
  *mapId = ResultMap(r, c.index);
  // A resource deleted meanwhile is left alone; the map still goes out.
  auto* resource = target(c.index);
  if (!HasImage(r) || !resource) return kImageLoadedSubtype;
  if (!DecodeAny(r, [&](const Decoded& d) { return load(*resource, c, d); }))
    g_DebugConsole->Output("Failed to decode data in Sprite_Add %s\n", r->url.c_str());
  return kImageLoadedSubtype;
}

int Sprite_AddCallback(HTTP_REQ_CONTEXT* r, IBuffer*, int32_t* mapId) {
  return CompleteImageRequest(r, g_spriteRequests, mapId, Sprite_Get,
                              [](CSprite& s, const SpriteRequest& c, const Decoded& d) {
                                const bool transparent = c.flags & 2;
                                if (!s.LoadFromPixels(d.pixels.get(), d.width, d.height, c.frames, c.flags & 1,
                                                      transparent, c.flags & 4, c.xOrigin, c.yOrigin, !transparent))
                                  return false;
                                s.index = c.index;
                                s.name = Sprite_GetName(c.index);
                                return true;
                              });
}

void Sprite_AddCleanup(HTTP_REQ_CONTEXT* r) { g_spriteRequests.erase(r->id); }

int Background_AddCallback(HTTP_REQ_CONTEXT* r, IBuffer*, int32_t* mapId) {
  return CompleteImageRequest(r, g_backgroundRequests, mapId, Background_Get,
                              [](CBackgroundImage& b, const BackgroundRequest& c, const Decoded& d) {
                                const bool transparent = c.flags & 1;
                                return b.LoadFromPixels(d.pixels.get(), d.width, d.height, transparent, c.flags & 2,
                                                        c.flags & 4, !transparent);
                              });
}

void Background_AddCleanup(HTTP_REQ_CONTEXT* r) { g_backgroundRequests.erase(r->id); }

// Starts the request and files its context under the request's id. A
// request that could not start is gone again, and so is its context.
template <typename Context>
void StartRequest(const std::string& url, std::unordered_map<int32_t, Context>& contexts, const Context& context,
                  AsyncCompletion completion, AsyncCleanup cleanup) {
  // Ids start again from 0 when the game restarts, which drops the list
  // without running the clean-ups: an older entry of the same id is stale.
  const int32_t id = AsyncRequest_Counter();
  contexts.insert_or_assign(id, context);
  if (!Http_Get(url.c_str(), completion, cleanup, nullptr)) contexts.erase(id);
}

void StartSpriteRequest(const std::string& url, int index, int frames, bool precise, bool transparent, bool smooth,
                        bool preload, int xOrigin, int yOrigin) {
  const uint32_t flags = (precise ? 1u : 0u) | (transparent ? 2u : 0u) | (smooth ? 4u : 0u) | (preload ? 8u : 0u);
  StartRequest(url, g_spriteRequests, SpriteRequest{index, frames, xOrigin, yOrigin, flags}, Sprite_AddCallback,
               Sprite_AddCleanup);
}

void StartBackgroundRequest(const std::string& url, int index, bool transparent, bool smooth, bool preload) {
  const uint32_t flags = (transparent ? 1u : 0u) | (smooth ? 2u : 0u) | (preload ? 4u : 0u);
  StartRequest(url, g_backgroundRequests, BackgroundRequest{index, flags}, Background_AddCallback,
               Background_AddCleanup);
}

}  // namespace

// ---- Sprites ---------------------------------------------------------------------------

bool CSprite::LoadStrip(const IBitmapLoader& loader, bool isTransparent, bool isSmooth, int frames, bool plainCopy) {
  g_DebugConsole->Output("calling pLoader->Create\n");
  const std::unique_ptr<TBitmap> image = loader.GetFrame(0);
  g_DebugConsole->Output("calling Clear()\n");
  Clear();
  transparent = isTransparent;
  smooth = isSmooth;
  if (!image || image->GetWidth() < 1 || image->GetHeight() < 1) {
    g_DebugConsole->Output("CSprite::LoadStrip :: Unable to load sprite data\n");
    return false;
  }
  g_DebugConsole->Output("About to get widths and heights\n");
  // More frames than pixel columns would give frames of no width.
  const int count = std::clamp(frames, 1, image->GetWidth());
  const int frameWidth = image->GetWidth() / count;
  const int frameHeight = image->GetHeight();
  g_DebugConsole->Output("TBitmap has w=%d, h=%d\n", image->GetWidth(), image->GetHeight());
  const CBitmap32 strip = plainCopy ? CBitmap32::FromTBitmap(*image, false, false)
                                    : CBitmap32::Convert(*image, isTransparent, isSmooth);
  if (!strip.IsValid()) {
    g_DebugConsole->Output("CSprite::LoadStrip :: Unable to load sprite data\n");
    return false;
  }
  frameCount = count;
  width = frameWidth;
  height = frameHeight;
  bitmaps.reserve(size_t(count));
  for (int i = 0; i < count; ++i) bitmaps.push_back(CBitmap32::Part(strip, i * frameWidth, 0, frameWidth, frameHeight));
  return true;
}

bool CSprite::LoadFromPixels(const uint32_t* pixels, int w, int h, int frames, bool isPrecise, bool isTransparent,
                             bool isSmooth, int x, int y, bool plainCopy) {
  const std::unique_ptr<BitmapLoader> loader = BitmapLoader_Create(pixels, w, h);
  if (!loader) return false;
  if (!LoadStrip(*loader, isTransparent, isSmooth, frames, plainCopy)) return false;
  xOrigin = x;
  yOrigin = y;
  bboxMode = 0;
  preload = true;
  precise = isPrecise;
  InitTexture();
  InitLocalTPE();
  ComputeBoundingBox();
  CreateMask();
  return true;
}

bool CSprite::LoadPNG(const uint8_t* data, size_t size, int frames, bool isPrecise, bool isTransparent, bool isSmooth,
                      int x, int y, bool plainCopy) {
  const std::optional<Decoded> d = Decode(ImageKind::kPNG, data, size);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, frames, isPrecise, isTransparent, isSmooth, x, y,
                             plainCopy);
}

bool CSprite::LoadJPEG(const uint8_t* data, size_t size, int frames, bool isPrecise, bool isTransparent,
                       bool isSmooth, int x, int y, bool plainCopy) {
  const std::optional<Decoded> d = Decode(ImageKind::kJPEG, data, size);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, frames, isPrecise, isTransparent, isSmooth, x, y,
                             plainCopy);
}

bool CSprite::LoadGIF(const uint8_t* data, size_t size, int frames, bool isPrecise, bool isTransparent, bool isSmooth,
                      int x, int y, bool plainCopy) {
  const std::optional<Decoded> d = Decode(ImageKind::kGIF, data, size);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, frames, isPrecise, isTransparent, isSmooth, x, y,
                             plainCopy);
}

bool CSprite::LoadFromFile(const std::string& name, int frames, bool isPrecise, bool isTransparent, bool isSmooth,
                           bool, int x, int y, bool plainCopy) {
  const std::optional<Decoded> d = DecodeFile(name);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, frames, isPrecise, isTransparent, isSmooth, x, y,
                             plainCopy);
}

int Sprite_Add(const std::string& name, int frames, bool precise, bool transparent, bool smooth, bool preload,
               int xOrigin, int yOrigin) {
  if (name.empty()) return -1;
  if (IsAddress(name)) {
    const int index = Sprite_CreateNew();
    StartSpriteRequest(name, index, frames, precise, transparent, smooth, preload, xOrigin, yOrigin);
    return index;
  }
  auto sprite = std::make_unique<CSprite>();
  if (!sprite->LoadFromFile(name, frames, precise, transparent, smooth, preload, xOrigin, yOrigin, !transparent))
    return -1;
  return Sprite_Append(std::move(sprite));
}

bool Sprite_Replace(int index, const std::string& name, int frames, bool precise, bool transparent, bool smooth,
                    bool preload, int xOrigin, int yOrigin) {
  if (index < 0 || index >= Sprite_Count()) return false;
  if (IsAddress(name)) {
    Sprite_GetOrMake(index);
    StartSpriteRequest(name, index, frames, precise, transparent, smooth, preload, xOrigin, yOrigin);
    return false;
  }
  // Decoded before the slot is touched: a file that cannot be read or
  // decoded leaves the sprite as it was.
  const std::optional<Decoded> d = DecodeFile(name);
  if (!d) return false;
  CSprite* sprite = Sprite_GetOrMake(index);
  const bool ok = sprite->LoadFromPixels(d->pixels.get(), d->width, d->height, frames, precise, transparent, smooth,
                                         xOrigin, yOrigin, !transparent);
  sprite->index = index;
  sprite->name = Sprite_GetName(index);
  return ok;
}

// ---- Backgrounds -----------------------------------------------------------------------

bool CBackgroundImage::LoadFromPixels(const uint32_t* pixels, int w, int h, bool transparent, bool smooth,
                                      bool preload, bool plainCopy) {
  const std::unique_ptr<BitmapLoader> loader = BitmapLoader_Create(pixels, w, h);
  const std::unique_ptr<TBitmap> image = loader ? loader->GetFrame(0) : nullptr;
  if (!image) return false;
  CreateFromBitmap(*image, transparent, smooth, preload, plainCopy);
  return true;
}

bool CBackgroundImage::LoadPNG(const uint8_t* data, size_t size, bool transparent, bool smooth, bool preload,
                               bool plainCopy) {
  const std::optional<Decoded> d = Decode(ImageKind::kPNG, data, size);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, transparent, smooth, preload, plainCopy);
}

bool CBackgroundImage::LoadJPEG(const uint8_t* data, size_t size, bool transparent, bool smooth, bool preload,
                                bool plainCopy) {
  const std::optional<Decoded> d = Decode(ImageKind::kJPEG, data, size);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, transparent, smooth, preload, plainCopy);
}

bool CBackgroundImage::LoadGIF(const uint8_t* data, size_t size, bool transparent, bool smooth, bool preload,
                               bool plainCopy) {
  const std::optional<Decoded> d = Decode(ImageKind::kGIF, data, size);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, transparent, smooth, preload, plainCopy);
}

bool CBackgroundImage::LoadFromFile(const std::string& name, bool transparent, bool smooth, bool preload,
                                    bool plainCopy) {
  // The image keeps its texture until the new one is decoded: a failed
  // replace leaves the background as it was.
  const std::optional<Decoded> d = DecodeFile(name);
  return d && LoadFromPixels(d->pixels.get(), d->width, d->height, transparent, smooth, preload, plainCopy);
}

int Background_Add(const std::string& name, bool transparent, bool smooth, bool preload) {
  if (name.empty()) return -1;
  if (IsAddress(name)) {
    const int index = Background_CreateNew();
    StartBackgroundRequest(name, index, transparent, smooth, preload);
    return index;
  }
  auto image = std::make_unique<CBackgroundImage>();
  if (!image->LoadFromFile(name, transparent, smooth, preload, !transparent)) return -1;
  return Background_Append(std::move(image));
}

bool Background_Replace(int index, const std::string& name, bool transparent, bool smooth, bool preload) {
  if (index < 0 || index >= Background_Count()) return false;
  if (IsAddress(name)) {
    Background_GetOrMake(index);
    StartBackgroundRequest(name, index, transparent, smooth, preload);
    return false;
  }
  const std::optional<Decoded> d = DecodeFile(name);
  if (!d) return false;
  return Background_GetOrMake(index)->LoadFromPixels(d->pixels.get(), d->width, d->height, transparent, smooth,
                                                     preload, !transparent);
}
