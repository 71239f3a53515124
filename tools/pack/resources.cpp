#include "resources.h"

namespace twpack {
namespace {

int32_t Resolve(const CodeRef& ref, const CodeResolver& resolve) {
  if (ref.name.empty()) return ref.index;
  if (!resolve) throw PackError("code '" + ref.name + "' named, but no code records to look it up in");
  return resolve(ref.name);
}

void TextOrNull(ChunkBuilder& c, const std::optional<std::string>& text) {
  if (text) c.StringRef(*text);
  else c.Null();
}

// A counted list of labels; the caller binds each label where its entry goes.
std::vector<Label> List(ChunkBuilder& c, size_t n) {
  std::vector<Label> labels(n);
  c.U32(uint32_t(n));
  for (Label& l : labels) {
    l = c.NewLabel();
    c.OffsetOf(l);
  }
  return labels;
}

void WriteAction(ChunkBuilder& c, const Action& a, const CodeResolver& resolve) {
  c.Zeros(32).S32(Resolve(a.code, resolve)).Zeros(24);
  TextOrNull(c, a.text);
}

void WriteActionList(ChunkBuilder& c, const std::vector<Action>& actions, const CodeResolver& resolve) {
  const std::vector<Label> labels = List(c, actions.size());
  for (size_t i = 0; i < actions.size(); ++i) {
    c.Bind(labels[i]);
    WriteAction(c, actions[i], resolve);
  }
}

void WriteCreationCode(ChunkBuilder& c, const CreationCode& code, const CodeResolver& resolve) {
  if (code.text) c.StringRef(*code.text);
  else c.S32(Resolve(code.code, resolve));
}

void WriteObject(ChunkBuilder& c, const Object& o, uint8_t version, const CodeResolver& resolve) {
  c.StringRef(o.name).U32(o.sprite).S32(o.visible).S32(o.solid).S32(o.depth).S32(o.persistent).S32(o.parent).S32(
      o.mask);
  if (version >= 6) {
    c.S32(o.uses_physics).S32(o.sensor).S32(o.shape).F32(o.density).F32(o.restitution).S32(o.group);
    c.F32(o.linear_damping).F32(o.angular_damping).U32(uint32_t(o.points.size()));
    if (version >= 9) c.F32(o.friction).S32(o.awake).S32(o.kinematic);
    for (const auto& p : o.points) c.F32(p[0]).F32(p[1]);
  }
  const std::vector<Label> types = List(c, o.events.size());
  for (size_t t = 0; t < o.events.size(); ++t) {
    c.Bind(types[t]);
    const std::vector<Label> entries = List(c, o.events[t].size());
    for (size_t e = 0; e < o.events[t].size(); ++e) {
      c.Bind(entries[e]);
      c.S32(o.events[t][e].subtype);
      WriteActionList(c, o.events[t][e].actions, resolve);
    }
  }
}

void WriteTimeline(ChunkBuilder& c, const Timeline& t, const CodeResolver& resolve) {
  c.StringRef(t.name).U32(uint32_t(t.moments.size()));
  std::vector<Label> lists(t.moments.size());
  for (size_t i = 0; i < t.moments.size(); ++i) {
    lists[i] = c.NewLabel();
    c.S32(t.moments[i].step).OffsetOf(lists[i]);
  }
  for (size_t i = 0; i < t.moments.size(); ++i) {
    c.Bind(lists[i]);
    WriteActionList(c, t.moments[i].actions, resolve);
  }
}

void WriteRoom(ChunkBuilder& c, const Room& r, uint8_t version, const CodeResolver& resolve) {
  const Label backgrounds = c.NewLabel(), views = c.NewLabel(), instances = c.NewLabel(), tiles = c.NewLabel();
  c.StringRef(r.name).StringRef(r.caption).S32(r.width).S32(r.height).S32(r.speed).S32(r.persistent);
  c.U32(r.colour).S32(r.show_colour);
  WriteCreationCode(c, r.code, resolve);
  c.U32(r.flags).OffsetOf(backgrounds).OffsetOf(views).OffsetOf(instances).OffsetOf(tiles);
  if (version >= 6) {
    c.S32(r.physics_world).U32(0).U32(0).S32(r.width).S32(r.height);
    c.F32(r.gravity_x).F32(r.gravity_y).F32(r.pixels_to_metres);
  }

  c.Bind(backgrounds);
  std::vector<Label> entries = List(c, r.backgrounds.size());
  for (size_t i = 0; i < r.backgrounds.size(); ++i) {
    const RoomBackground& b = r.backgrounds[i];
    c.Bind(entries[i]);
    c.S32(b.visible).S32(b.foreground).S32(b.index).S32(b.x).S32(b.y);
    c.S32(b.tile_h).S32(b.tile_v).S32(b.hspeed).S32(b.vspeed).S32(b.stretch);
  }
  c.Bind(views);
  entries = List(c, r.views.size());
  for (size_t i = 0; i < r.views.size(); ++i) {
    const RoomView& v = r.views[i];
    c.Bind(entries[i]);
    c.S32(v.visible).S32(v.xview).S32(v.yview).S32(v.wview).S32(v.hview);
    c.S32(v.xport).S32(v.yport).S32(v.wport).S32(v.hport);
    c.S32(v.hborder).S32(v.vborder).S32(v.hspeed).S32(v.vspeed).S32(v.object);
  }
  c.Bind(instances);
  entries = List(c, r.instances.size());
  for (size_t i = 0; i < r.instances.size(); ++i) {
    const RoomInstance& e = r.instances[i];
    c.Bind(entries[i]);
    c.S32(e.x).S32(e.y).S32(e.object).S32(e.id);
    WriteCreationCode(c, e.code, resolve);
    c.F32(e.xscale).F32(e.yscale).U32(e.colour).F32(e.angle);
  }
  c.Bind(tiles);
  entries = List(c, r.tiles.size());
  for (size_t i = 0; i < r.tiles.size(); ++i) {
    const RoomTile& t = r.tiles[i];
    c.Bind(entries[i]);
    c.S32(t.x).S32(t.y).S32(t.background).S32(t.left).S32(t.top).S32(t.width).S32(t.height).S32(t.depth);
    c.S32(t.id).F32(t.xscale).F32(t.yscale).U32(t.colour);
  }
}

}  // namespace

void WriteObjects(ChunkBuilder& c, const std::vector<std::optional<Object>>& objects, uint8_t version,
                  const CodeResolver& resolve) {
  const std::vector<Label> slots = Slots(c, objects);
  for (size_t i = 0; i < objects.size(); ++i) {
    if (!objects[i]) continue;
    c.Bind(slots[i]);
    WriteObject(c, *objects[i], version, resolve);
  }
}

void WriteTimelines(ChunkBuilder& c, const std::vector<std::optional<Timeline>>& timelines,
                    const CodeResolver& resolve) {
  const std::vector<Label> slots = Slots(c, timelines);
  for (size_t i = 0; i < timelines.size(); ++i) {
    if (!timelines[i]) continue;
    c.Bind(slots[i]);
    WriteTimeline(c, *timelines[i], resolve);
  }
}

void WriteRooms(ChunkBuilder& c, const std::vector<std::optional<Room>>& rooms, uint8_t version,
                const CodeResolver& resolve) {
  const std::vector<Label> slots = Slots(c, rooms);
  for (size_t i = 0; i < rooms.size(); ++i) {
    if (!rooms[i]) continue;
    c.Bind(slots[i]);
    WriteRoom(c, *rooms[i], version, resolve);
  }
}

void AddObjects(Writer& w, const std::vector<std::optional<Object>>& objects, uint8_t version,
                const CodeResolver& resolve) {
  WriteObjects(w.AddChunk("OBJT"), objects, version, resolve);
}

void AddTimelines(Writer& w, const std::vector<std::optional<Timeline>>& timelines, const CodeResolver& resolve) {
  WriteTimelines(w.AddChunk("TMLN"), timelines, resolve);
}

void AddRooms(Writer& w, const std::vector<std::optional<Room>>& rooms, uint8_t version,
              const CodeResolver& resolve) {
  WriteRooms(w.AddChunk("ROOM"), rooms, version, resolve);
}

}  // namespace twpack
