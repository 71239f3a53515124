// Resource chunks for containers: objects (OBJT), timelines (TMLN) and
// rooms (ROOM).
//
// Each chunk body starts with a counted list of record offsets (0 for an
// empty slot); the records and everything they point at follow in the same
// body. All words are little-endian 32-bit.
//
//   OBJT record: name, sprite, visible, solid, depth, persistent, parent,
//     mask; from format version 6 the physics block {uses physics, sensor,
//     shape, density, restitution, group, linear damping, angular damping,
//     point count n, [version 9 on: friction, start awake, kinematic],
//     n points {x, y} as floats}; then the event lists: a count (12) and one
//     offset per event type, each to {count, offsets of event entries}. An
//     event entry is {subtype, action count, action offsets}.
//   Action record: 16 words, zero except word 8 (CODE index) and word 15
//     (code text, a string reference).
//   TMLN record: name, moment count n, n pairs {step, offset of an action
//     list {count, action offsets}}.
//   ROOM record (88 bytes; 56 before format version 6, without the physics
//     fields): name, caption, width, height, speed, persistent, colour, show
//     colour, creation code, flags, offsets of the background, view,
//     instance and tile lists, physics world, four words (0, 0, width,
//     height), gravity x, gravity y, pixels-to-metres (floats). Each list is
//     {count, entry offsets}; backgrounds are 10 words, views 14, instances
//     9 (x, y, object, id, creation code, xscale, yscale, colour, angle),
//     tiles 12 (x, y, background, left, top, width, height, depth, id,
//     xscale, yscale, colour).
//   A creation code is a CODE index (-1 none) in games whose code is
//   compiled, or a string reference to source text otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack.h"

namespace twpack {

// The record slots at the start of a resource chunk: a counted list with 0
// for a missing slot; the caller binds each present slot's label at its
// record.
template <class T>
std::vector<Label> Slots(ChunkBuilder& c, const std::vector<std::optional<T>>& items) {
  std::vector<Label> labels(items.size());
  c.U32(uint32_t(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i]) labels[i] = c.NewLabel();
    c.OffsetOf(labels[i]);  // an invalid label writes 0
  }
  return labels;
}

// A code entry, by index or by the name of a code record.
struct CodeRef {
  int32_t index = -1;
  std::string name;  // when not empty, looked up when the chunk is written
  bool given = false;  // the description named it (else its default applies)
};

// Turns a code record's name into its index; throws PackError when unknown.
using CodeResolver = std::function<int32_t(std::string_view name)>;

struct Action {
  CodeRef code;                     // word 8
  std::optional<std::string> text;  // word 15; none writes the null reference
};

// ---- Objects -----------------------------------------------------------------

struct ObjectEvent {
  int32_t subtype = 0;
  std::vector<Action> actions;
};

struct Object {
  std::string name;
  uint32_t sprite = 0xFFFFFFFFu;  // as stored: bit 31 may carry a mark
  int32_t visible = 1, solid = 0, depth = 0, persistent = 0, parent = -1, mask = -1;
  // Physics block (format version 6 on).
  int32_t uses_physics = 0, sensor = 0, shape = 0, group = 0;
  float density = 0.5f, restitution = 0.1f, linear_damping = 0.1f, angular_damping = 0.1f;
  float friction = 0.2f;             // version 9 on
  int32_t awake = 1, kinematic = 0;  // version 9 on
  std::vector<std::array<float, 2>> points;
  // One list of entries per event type, in type order.
  std::vector<std::vector<ObjectEvent>> events = std::vector<std::vector<ObjectEvent>>(12);
};

// ---- Timelines ---------------------------------------------------------------

struct Moment {
  int32_t step = 0;
  std::vector<Action> actions;
};

struct Timeline {
  std::string name;
  std::vector<Moment> moments;
};

// ---- Rooms -------------------------------------------------------------------

// A creation code field: source text when `text` is set, else the code entry.
struct CreationCode {
  CodeRef code;
  std::optional<std::string> text;
};

struct RoomBackground {
  int32_t visible = 0, foreground = 0, index = -1, x = 0, y = 0;
  int32_t tile_h = 1, tile_v = 1, hspeed = 0, vspeed = 0, stretch = 0;
};

struct RoomView {
  int32_t visible = 0, xview = 0, yview = 0, wview = 640, hview = 480;
  int32_t xport = 0, yport = 0, wport = 640, hport = 480;
  int32_t hborder = 32, vborder = 32, hspeed = -1, vspeed = -1, object = -1;
};

struct RoomInstance {
  int32_t x = 0, y = 0, object = 0, id = 0;
  CreationCode code;
  float xscale = 1, yscale = 1;
  uint32_t colour = 0xFFFFFFFFu;  // 0xAABBGGRR
  float angle = 0;
};

struct RoomTile {
  int32_t x = 0, y = 0, background = 0, left = 0, top = 0, width = 16, height = 16, depth = 0, id = 0;
  float xscale = 1, yscale = 1;
  uint32_t colour = 0xFFFFFFFFu;
};

struct Room {
  std::string name;
  std::string caption;
  int32_t width = 640, height = 480, speed = 30, persistent = 0;
  uint32_t colour = 0xC0C0C0;
  int32_t show_colour = 1;
  CreationCode code;
  uint32_t flags = 0;  // bit 0 views enabled, bit 1 clear with the window colour
  int32_t physics_world = 0;
  float gravity_x = 0, gravity_y = 10, pixels_to_metres = 0.1f;
  std::array<RoomBackground, 8> backgrounds;
  std::array<RoomView, 8> views;
  std::vector<RoomInstance> instances;
  std::vector<RoomTile> tiles;
};

// Each writes the body of an (empty) chunk for the header format `version`.
// A missing slot (nullopt) writes the offset 0. Code names are looked up
// with `resolve`; without one, only indices may be used.
void WriteObjects(ChunkBuilder& c, const std::vector<std::optional<Object>>& objects, uint8_t version,
                  const CodeResolver& resolve = {});
void WriteTimelines(ChunkBuilder& c, const std::vector<std::optional<Timeline>>& timelines,
                    const CodeResolver& resolve = {});
void WriteRooms(ChunkBuilder& c, const std::vector<std::optional<Room>>& rooms, uint8_t version,
                const CodeResolver& resolve = {});

// The same, appending the chunk to the container.
void AddObjects(Writer& w, const std::vector<std::optional<Object>>& objects, uint8_t version,
                const CodeResolver& resolve = {});
void AddTimelines(Writer& w, const std::vector<std::optional<Timeline>>& timelines,
                  const CodeResolver& resolve = {});
void AddRooms(Writer& w, const std::vector<std::optional<Room>>& rooms, uint8_t version,
              const CodeResolver& resolve = {});

// The bytes of a file a description names, relative to its directory.
std::vector<uint8_t> ReadFile(const std::string& name, const std::string& base_dir);

}  // namespace twpack
