#include "pack.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace twpack {
namespace {

void CheckTag(std::string_view tag) {
  if (tag.size() != 4) throw PackError("chunk tag must be 4 bytes: '" + std::string(tag) + "'");
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

void Append32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  Put32(out, out.size() - 4, v);
}

}  // namespace

// ---- ChunkBuilder ----------------------------------------------------------

ChunkBuilder& ChunkBuilder::U8(uint8_t v) {
  body_.push_back(v);
  return *this;
}

ChunkBuilder& ChunkBuilder::U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }

ChunkBuilder& ChunkBuilder::U32(uint32_t v) {
  Append32(body_, v);
  return *this;
}

ChunkBuilder& ChunkBuilder::S32(int32_t v) { return U32(uint32_t(v)); }

ChunkBuilder& ChunkBuilder::F32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return U32(bits);
}

ChunkBuilder& ChunkBuilder::F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return U32(uint32_t(bits)).U32(uint32_t(bits >> 32));
}

ChunkBuilder& ChunkBuilder::Bytes(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  body_.insert(body_.end(), p, p + n);
  return *this;
}

ChunkBuilder& ChunkBuilder::Zeros(size_t n) {
  body_.resize(body_.size() + n, 0);
  return *this;
}

ChunkBuilder& ChunkBuilder::Align(size_t n) {
  // Relative to the body start: container offsets depend on earlier chunks.
  if (n > 1 && body_.size() % n) Zeros(n - body_.size() % n);
  return *this;
}

ChunkBuilder& ChunkBuilder::StringRef(std::string_view s) {
  str_fixes_.push_back({body_.size(), w_->AddString(s)});
  return U32(0);
}

Label ChunkBuilder::NewLabel() { return w_->NewLabel(); }

ChunkBuilder& ChunkBuilder::Bind(Label l) {
  if (!l.valid() || size_t(l.id) >= w_->label_pos_.size()) throw PackError("bind of an unknown label");
  Writer::LabelPos& p = w_->label_pos_[l.id];
  if (p.chunk >= 0) throw PackError("label " + std::to_string(l.id) + " bound twice");
  p = {index_, body_.size()};
  return *this;
}

ChunkBuilder& ChunkBuilder::OffsetOf(Label l) {
  if (!l.valid()) return Null();
  if (size_t(l.id) >= w_->label_pos_.size()) throw PackError("offset of an unknown label");
  label_fixes_.push_back({body_.size(), l.id});
  return U32(0);
}

ChunkBuilder& ChunkBuilder::PatchU32(size_t pos, uint32_t v) {
  if (pos > body_.size() || body_.size() - pos < 4) {
    throw PackError("patch at " + std::to_string(pos) + " is past the end of " + tag_);
  }
  Put32(body_, pos, v);
  return *this;
}

// ---- Writer ----------------------------------------------------------------

Writer::Writer() = default;
Writer::~Writer() = default;

ChunkBuilder& Writer::AddChunk(std::string_view tag) {
  CheckTag(tag);
  chunks_.emplace_back(new ChunkBuilder(this, std::string(tag)));
  chunks_.back()->index_ = int(chunks_.size() - 1);
  return *chunks_.back();
}

void Writer::AddEmptyChunk(std::string_view tag) { AddChunk(tag); }

void Writer::AddRawChunk(std::string_view tag, const std::vector<uint8_t>& body) {
  ChunkBuilder& c = AddChunk(tag);
  c.body_ = body;
  c.raw_ = true;
}

void Writer::PlaceStringPool() {
  if (pool_placed_) throw PackError("string pool placed twice");
  AddChunk("STRG").is_pool_ = true;
  pool_placed_ = true;
}

uint32_t Writer::AddString(std::string_view s) {
  auto it = string_index_.find(s);
  if (it != string_index_.end()) return it->second;
  const auto index = uint32_t(strings_.size());
  strings_.emplace_back(s);
  string_index_.emplace(std::string(s), index);
  return index;
}

size_t Writer::StringCount() const { return strings_.size(); }

Label Writer::NewLabel() {
  label_pos_.emplace_back();
  return Label{labels_++};
}

namespace {

// The place of `tag` in kContainerOrder (GEN7 and GENL share GEN8's), or -1.
int ContainerRank(std::string_view tag) {
  if (tag == "GEN7" || tag == "GENL") tag = "GEN8";
  for (size_t i = 0; i < std::size(kContainerOrder); ++i) {
    if (kContainerOrder[i] == tag) return int(i);
  }
  return -1;
}

}  // namespace

std::vector<uint8_t> Writer::Build() const {
  size_t pool_size = 4 + 4 * strings_.size();
  for (const std::string& s : strings_) pool_size += 4 + s.size() + 1;

  // The chunks in the order they are written; kPool stands for a pool that
  // was never placed.
  constexpr size_t kPool = SIZE_MAX;
  std::vector<size_t> order(chunks_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (!pool_placed_) order.push_back(kPool);
  if (order_ == Order::kContainer) {
    std::vector<int> rank(chunks_.size() + 1);
    int previous = -1;
    for (size_t k = 0; k < order.size(); ++k) {
      const std::string_view tag = order[k] == kPool ? "STRG" : std::string_view(chunks_[order[k]]->tag_);
      const int r = ContainerRank(tag);
      rank[k] = previous = r >= 0 ? r : previous;
    }
    std::vector<size_t> by(order.size());
    for (size_t k = 0; k < by.size(); ++k) by[k] = k;
    std::stable_sort(by.begin(), by.end(), [&](size_t a, size_t b) { return rank[a] < rank[b]; });
    std::vector<size_t> sorted;
    for (size_t k : by) sorted.push_back(order[k]);
    order.swap(sorted);
  }

  // Lay out: where each chunk body (and the pool body) starts.
  std::vector<size_t> body_at(chunks_.size());
  size_t pos = 8, pool_at = 0;
  for (size_t i : order) {
    pos += 8;
    const bool pool = i == kPool || chunks_[i]->is_pool_;
    if (pool) pool_at = pos;
    else body_at[i] = pos;
    pos += pool ? pool_size : chunks_[i]->body_.size();
  }
  if (pos > std::numeric_limits<uint32_t>::max()) throw PackError("container larger than 4 GiB");

  std::vector<uint32_t> string_ref(strings_.size());
  size_t record = pool_at + 4 + 4 * strings_.size();
  for (size_t i = 0; i < strings_.size(); ++i) {
    string_ref[i] = uint32_t(record + 4);
    record += 4 + strings_[i].size() + 1;
  }

  std::vector<uint8_t> out;
  out.reserve(pos);
  auto header = [&](std::string_view tag, size_t size) {
    out.insert(out.end(), tag.begin(), tag.end());
    Append32(out, uint32_t(size));
  };
  auto pool = [&] {
    header("STRG", pool_size);
    Append32(out, uint32_t(strings_.size()));
    for (uint32_t ref : string_ref) Append32(out, ref - 4);
    for (const std::string& s : strings_) {
      Append32(out, uint32_t(s.size()));
      out.insert(out.end(), s.begin(), s.end());
      out.push_back(0);
    }
  };

  header("FORM", pos - 8);
  for (size_t i : order) {
    if (i == kPool || chunks_[i]->is_pool_) {
      pool();
      continue;
    }
    const ChunkBuilder& c = *chunks_[i];
    header(c.tag_, c.body_.size());
    const size_t base = out.size();
    out.insert(out.end(), c.body_.begin(), c.body_.end());
    for (const auto& f : c.str_fixes_) Put32(out, base + f.pos, string_ref[f.index]);
    for (const auto& f : c.label_fixes_) {
      const LabelPos& l = label_pos_[f.label];
      if (l.chunk < 0) throw PackError("label " + std::to_string(f.label) + " is referenced but never bound");
      Put32(out, base + f.pos, uint32_t(body_at[l.chunk] + l.pos));
    }
  }
  return out;
}

// ---- GEN8 ------------------------------------------------------------------

void AddGen8(Writer& w, const Gen8& g, std::string_view tag) { WriteGen8(w.AddChunk(tag), g); }

void WriteGen8(ChunkBuilder& c, const Gen8& g) {
  const unsigned v = g.version;
  c.U32(g.debug | uint32_t(v) << 8)
      .StringRef(g.name)
      .StringRef(g.config)
      .U32(g.last_instance_id)
      .U32(g.last_tile_id)
      .U32(g.game_id);
  if (v < 8) {
    // Word 9 already holds the room-order count in these versions.
    c.U32(g.words6_9[0]).U32(g.words6_9[1]).U32(g.words6_9[2]);
  } else {
    for (uint32_t word : g.words6_9) c.U32(word);
    c.StringRef(g.display_name).Zeros(16).U32(g.width).U32(g.height).U32(g.flags).Zeros(28);
    if (v >= 10 && v <= 13) {
      if (g.word25.empty()) c.Null(); else c.StringRef(g.word25);
      if (v >= 11) c.U32(g.word26).U32(g.word27);
      if (v >= 12) c.U32(g.feature_lo).U32(g.feature_hi);
      if (v >= 13) c.U32(g.steam_app_id);
    }
  }
  c.U32(g.room_count_override.value_or(uint32_t(g.room_order.size())));
  for (int32_t room : g.room_order) c.S32(room);
}

// ---- OPTN ------------------------------------------------------------------

void AddOptn(Writer& w, const Optn& o) {
  ChunkBuilder& c = w.AddChunk("OPTN");
  for (int i = 0; i < 35; ++i) {
    if (i != 26) c.U32(o.words[i]);
    else if (o.word26.empty()) c.Null();
    else c.StringRef(o.word26);
  }
  c.U32(o.constant_count_override.value_or(uint32_t(o.constants.size())));
  for (const auto& [name, value] : o.constants) c.StringRef(name).StringRef(value);
}

}  // namespace twpack
