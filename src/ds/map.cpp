#include "ds/map.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "ds/hash.h"

uint32_t DS_KeyHash(const ScriptValue* key) {
  if (key->kind == kKindString) return Crc32_String(key->text);
  return Crc32_Bytes(&key->real, sizeof key->real);
}

bool DS_KeysEqual(const ScriptValue* a, const ScriptValue* b) {
  if (a->kind != b->kind) return false;
  if (a->kind == kKindString) return std::strcmp(a->Text(), b->Text()) == 0;
  return std::memcmp(&a->real, &b->real, sizeof a->real) == 0;
}

// ---------------------------------------------------------------------------
// Hash

Hash::Hash(int32_t buckets) : mask_(std::clamp(buckets, 1, CDS_HashMap::kMaxBuckets) - 1) {}

Hash::~Hash() {
  Drain([](HashPair& p) {
    ScriptValue_Free(&p.key);
    ScriptValue_Free(&p.value);
  });
}

int32_t Hash::Find(const ScriptValue* key, uint32_t hash) const {
  if (index_.empty()) return -1;
  const size_t m = index_.size() - 1;
  for (size_t i = Home(hash);; i = (i + 1) & m) {
    const Slot& s = index_[i];
    if (s.node < 0) return -1;
    if (s.hash == hash && DS_KeysEqual(&At(s.node).pair.key, key)) return s.node;
  }
}

int32_t Hash::Insert(uint32_t hash) {
  if (buckets_.empty()) {
    buckets_.assign(size_t(mask_) + 1, Bucket{});
    used_.assign((size_t(mask_) >> 6) + 1, 0);
  }
  IndexReserve(int64_t(count_) + 1);
  int32_t n;
  if (freeNodes_ >= 0) {
    n = freeNodes_;
    freeNodes_ = At(n).next;
  } else {
    n = nodeCount_++;
    const size_t block = BlockOf(uint32_t(n));
    if (block == blocks_.size()) blocks_.push_back(std::make_unique<Node[]>(block == 0 ? 64 : BlockStart(block)));
  }
  const uint32_t b = hash & uint32_t(mask_);
  Bucket& bucket = buckets_[b];
  Node& node = At(n);
  node.pair = HashPair{};
  node.hash = hash;
  node.prev = bucket.last;
  node.next = -1;
  if (bucket.last >= 0) {
    At(bucket.last).next = n;
  } else {
    bucket.first = n;
    used_[b >> 6] |= uint64_t(1) << (b & 63);
  }
  bucket.last = n;
  IndexAdd(hash, n);
  ++count_;
  return n;
}

HashPair Hash::Remove(int32_t n) {
  Node& node = At(n);
  IndexRemove(node.hash, n);
  const uint32_t b = node.hash & uint32_t(mask_);
  Bucket& bucket = buckets_[b];
  if (node.prev >= 0) At(node.prev).next = node.next;
  else bucket.first = node.next;
  if (node.next >= 0) At(node.next).prev = node.prev;
  else bucket.last = node.prev;
  if (bucket.first < 0) used_[b >> 6] &= ~(uint64_t(1) << (b & 63));
  HashPair pair = node.pair;
  node.pair = HashPair{};
  node.prev = kFree;
  node.next = freeNodes_;
  freeNodes_ = n;
  --count_;
  return pair;
}

void Hash::Reset() {
  // The storage goes with the pairs; the buckets stay for the next ones.
  blocks_.clear();
  nodeCount_ = 0;
  std::vector<Slot>().swap(index_);
  indexShift_ = 32;
  freeNodes_ = -1;
  count_ = 0;
  std::fill(buckets_.begin(), buckets_.end(), Bucket{});
  std::fill(used_.begin(), used_.end(), 0);
}

int32_t Hash::FirstFrom(int64_t b) const {
  if (count_ == 0 || b > mask_) return -1;
  size_t word = size_t(b) >> 6;
  uint64_t bits = used_[word] & (~uint64_t(0) << (b & 63));
  while (bits == 0) {
    if (++word >= used_.size()) return -1;
    bits = used_[word];
  }
  return buckets_[word * 64 + size_t(std::countr_zero(bits))].first;
}

int32_t Hash::LastFrom(int64_t b) const {
  if (count_ == 0 || b < 0) return -1;
  size_t word = size_t(b) >> 6;
  const int bit = int(b & 63);
  uint64_t bits = used_[word] & (bit == 63 ? ~uint64_t(0) : (uint64_t(1) << (bit + 1)) - 1);
  while (bits == 0) {
    if (word == 0) return -1;
    bits = used_[--word];
  }
  return buckets_[word * 64 + 63 - size_t(std::countl_zero(bits))].last;
}

int32_t Hash::First() const { return FirstFrom(0); }
int32_t Hash::Last() const { return LastFrom(mask_); }

int32_t Hash::Next(int32_t n) const {
  const Node& node = At(n);
  if (node.next >= 0) return node.next;
  return FirstFrom(int64_t(node.hash & uint32_t(mask_)) + 1);
}

int32_t Hash::Previous(int32_t n) const {
  const Node& node = At(n);
  if (node.prev >= 0) return node.prev;
  return LastFrom(int64_t(node.hash & uint32_t(mask_)) - 1);
}

void Hash::IndexAdd(uint32_t hash, int32_t node) {
  const size_t m = index_.size() - 1;
  size_t i = Home(hash);
  while (index_[i].node >= 0) i = (i + 1) & m;
  index_[i] = Slot{hash, node};
}

void Hash::IndexRemove(uint32_t hash, int32_t node) {
  const size_t m = index_.size() - 1;
  size_t hole = Home(hash);
  while (index_[hole].node != node) hole = (hole + 1) & m;
  // Shift the rest of the run back over the hole, so no probe stops short
  // and entries of one hash keep their order (the earliest pair wins).
  for (size_t j = (hole + 1) & m; index_[j].node >= 0; j = (j + 1) & m) {
    const size_t home = Home(index_[j].hash);
    const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
    if (!stays) {
      index_[hole] = index_[j];
      hole = j;
    }
  }
  index_[hole] = Slot{};
}

void Hash::IndexReserve(int64_t count) {
  if (count * 2 <= int64_t(index_.size())) return;
  size_t size = std::max<size_t>(16, index_.size());
  while (int64_t(size) < count * 2) size *= 2;
  std::vector<Slot> old(size, Slot{});
  old.swap(index_);
  indexShift_ = 32 - std::countr_zero(size);
  if (old.empty()) return;
  // Entered again run by run, each from its start (an empty slot comes
  // before it), so entries of one hash keep their order.
  const size_t m = old.size() - 1;
  size_t start = 0;
  while (old[start].node >= 0) ++start;
  for (size_t k = 1; k <= old.size(); ++k) {
    const Slot& s = old[(start + k) & m];
    if (s.node >= 0) IndexAdd(s.hash, s.node);
  }
}

// ---------------------------------------------------------------------------
// CDS_HashMap

CDS_HashMap::CDS_HashMap(int32_t buckets) : hash_(buckets) {}

CDS_HashMap::~CDS_HashMap() { Clear(); }

const HashPair* CDS_HashMap::Find(const ScriptValue* key) const {
  int32_t n = hash_.Find(key, DS_KeyHash(key));
  return n >= 0 ? &hash_.Pair(n) : nullptr;
}

void CDS_HashMap::Append(uint32_t hash, const ScriptValue* key, const ScriptValue* value) {
  HashPair& pair = hash_.Pair(hash_.Insert(hash));
  ScriptValue_Copy(&pair.key, key);
  ScriptValue_Copy(&pair.value, value);
  DS_AdoptNested(this, &pair.value);
}

void CDS_HashMap::Overwrite(HashPair& pair, const ScriptValue* value) {
  ScriptValue fresh;
  ScriptValue_Copy(&fresh, value);
  DS_DropValue(&pair.value);
  pair.value = fresh;
  DS_AdoptNested(this, &pair.value);
}

bool CDS_HashMap::Add(const ScriptValue* key, const ScriptValue* value) {
  const uint32_t hash = DS_KeyHash(key);
  if (hash_.Find(key, hash) >= 0) return false;
  Append(hash, key, value);
  return true;
}

void CDS_HashMap::Set(const ScriptValue* key, const ScriptValue* value, ScriptValue* old) {
  const uint32_t hash = DS_KeyHash(key);
  const int32_t n = hash_.Find(key, hash);
  if (n >= 0) {
    if (old) ScriptValue_Copy(old, &hash_.Pair(n).value);
    Overwrite(hash_.Pair(n), value);
    return;
  }
  if (old) ScriptValue_Copy(old, value);
  Append(hash, key, value);
}

bool CDS_HashMap::Replace(const ScriptValue* key, const ScriptValue* value) {
  const uint32_t hash = DS_KeyHash(key);
  const int32_t n = hash_.Find(key, hash);
  if (n < 0) {
    Append(hash, key, value);
    return false;
  }
  Overwrite(hash_.Pair(n), value);
  return true;
}

bool CDS_HashMap::Delete(const ScriptValue* key) {
  const int32_t n = hash_.Find(key, DS_KeyHash(key));
  if (n < 0) return false;
  HashPair pair = hash_.Remove(n);
  DS_DropValue(&pair.value);
  ScriptValue_Free(&pair.key);
  return true;
}

const HashPair* CDS_HashMap::FindFirst() const {
  int32_t n = hash_.First();
  return n >= 0 ? &hash_.Pair(n) : nullptr;
}

const HashPair* CDS_HashMap::FindLast() const {
  int32_t n = hash_.Last();
  return n >= 0 ? &hash_.Pair(n) : nullptr;
}

const HashPair* CDS_HashMap::FindNext(const ScriptValue* key) const {
  int32_t n = hash_.Find(key, DS_KeyHash(key));
  if (n >= 0) n = hash_.Next(n);
  return n >= 0 ? &hash_.Pair(n) : nullptr;
}

const HashPair* CDS_HashMap::FindPrevious(const ScriptValue* key) const {
  int32_t n = hash_.Find(key, DS_KeyHash(key));
  if (n >= 0) n = hash_.Previous(n);
  return n >= 0 ? &hash_.Pair(n) : nullptr;
}

void CDS_HashMap::Clear() {
  DSDeferDeletes guard;
  hash_.Drain([this](HashPair& p) {
    DS_ReleaseNested(this, &p.value);
    ScriptValue_Free(&p.key);
  });
}

void CDS_HashMap::Drop() {
  hash_.Drain([](HashPair& p) {
    DS_DropValue(&p.value);
    ScriptValue_Free(&p.key);
  });
}

void CDS_HashMap::CopyFrom(const CDS_HashMap& source) {
  if (&source == this) return;  // emptying first would lose every pair
  Drop();
  for (int32_t n = source.hash_.First(); n >= 0; n = source.hash_.Next(n)) {
    const HashPair& p = source.hash_.Pair(n);
    Append(source.hash_.HashOf(n), &p.key, &p.value);
  }
}

// ---------------------------------------------------------------------------
// Text form: "F:K:V" entries joined by ","; F says which of K and V are
// strings (1 and 2); a string is its bytes in hex, anything else the bytes
// of its real from the most significant down, trailing zero bytes left out.

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

void WriteHexByte(std::string& out, uint8_t b) {
  out += kHexDigits[b >> 4];
  out += kHexDigits[b & 15];
}

void WriteField(std::string& out, const ScriptValue& v) {
  if (v.kind == kKindString) {
    for (const char* c = v.Text(); *c; ++c) WriteHexByte(out, uint8_t(*c));
    return;
  }
  // A marked value is written as the id it holds; an array has no number.
  const double real = v.Real();
  uint64_t bits;
  std::memcpy(&bits, &real, sizeof bits);
  for (int shift = 56; shift >= 0 && bits << (56 - shift) != 0; shift -= 8)
    WriteHexByte(out, uint8_t(bits >> shift));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads hex pairs up to one of the `ends` (or the terminator) into the
// value; false on anything else, an odd digit or a real of more than 8 bytes.
bool ReadField(const char** cursor, bool isString, const char* ends, ScriptValue* out) {
  const char* c = *cursor;
  std::string bytes;
  while (*c && !std::strchr(ends, *c)) {
    int hi = HexValue(c[0]);
    int lo = hi >= 0 ? HexValue(c[1]) : -1;
    if (lo < 0) return false;
    bytes += char(hi << 4 | lo);
    c += 2;
  }
  *cursor = c;
  if (isString) {
    ScriptValue_SetText(out, bytes.c_str());
    return true;
  }
  if (bytes.size() > 8) return false;
  uint64_t bits = 0;
  for (size_t i = 0; i < bytes.size(); ++i) bits |= uint64_t(uint8_t(bytes[i])) << (56 - 8 * i);
  double real;
  std::memcpy(&real, &bits, sizeof real);
  *out = ScriptValue::FromReal(real);
  return true;
}

void FreePairs(std::vector<HashPair>& pairs) {
  for (HashPair& p : pairs) {
    ScriptValue_Free(&p.key);
    ScriptValue_Free(&p.value);
  }
  pairs.clear();
}

}  // namespace

std::string CDS_HashMap::Write() const {
  std::string out;
  for (int32_t n = hash_.First(); n >= 0; n = hash_.Next(n)) {
    const HashPair& p = hash_.Pair(n);
    if (!out.empty()) out += ',';
    out += char('0' + (p.key.kind == kKindString ? 1 : 0) + (p.value.kind == kKindString ? 2 : 0));
    out += ':';
    WriteField(out, p.key);
    out += ':';
    WriteField(out, p.value);
  }
  return out;
}

bool CDS_HashMap::Read(const char* text) {
  if (!text) return false;
  std::vector<HashPair> pairs;
  const char* c = text;
  while (*c) {
    const char flags = c[0];
    if (flags < '0' || flags > '3' || c[1] != ':') {
      FreePairs(pairs);
      return false;
    }
    c += 2;
    HashPair& p = pairs.emplace_back();
    bool ok = ReadField(&c, (flags - '0') & 1, ":,", &p.key) && *c == ':';
    if (ok) {
      ++c;
      ok = ReadField(&c, (flags - '0') & 2, ":,", &p.value) && *c != ':';
    }
    if (!ok) {
      FreePairs(pairs);
      return false;
    }
    if (*c == ',') ++c;
  }
  Drop();
  for (HashPair& p : pairs) {
    HashPair& stored = hash_.Pair(hash_.Insert(DS_KeyHash(&p.key)));
    stored = p;  // the pair's values move in
  }
  return true;
}

// ---------------------------------------------------------------------------
// Entry points of the engine

namespace {

int AddText(CDS_HashMap* map, const char* key, const ScriptValue* value) {
  ScriptValue k;
  ScriptValue_SetText(&k, key ? key : "");
  bool added = map->Add(&k, value);
  ScriptValue_Free(&k);
  return added ? 1 : 0;
}

int AddPair(CDS_HashMap* map, const char* key, double real, const char* text) {
  ScriptValue v = ScriptValue::FromReal(real);
  if (text) ScriptValue_SetText(&v, text);
  int added = AddText(map, key, &v);
  ScriptValue_Free(&v);
  return added;
}

}  // namespace

int DS_MapCreateFromPairs(std::span<const DSMapPair> pairs) {
  auto* map = new CDS_HashMap();
  for (const DSMapPair& p : pairs) AddPair(map, p.key, p.real, p.text);
  return DS_Add(eDS_Map, map);
}

int DS_MapAddReal(int id, const char* key, double value) {
  auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, id);
  return map ? AddPair(map, key, value, nullptr) : 0;
}

int DS_MapAddString(int id, const char* key, const char* text) {
  auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, id);
  return map ? AddPair(map, key, 0.0, text ? text : "") : 0;
}
