// Maps: script values keyed by script values. Scripts use them through the
// map built-ins; the engine fills them with the results of asynchronous work
// (DS_MapCreateFromPairs) and hands their ids to the asynchronous events.
#pragma once
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ds/store.h"

// The engine's CRC-32 of a key: of a string key's text, else of the 8 bytes
// of its real. The bucket of a pair and the index both start from it.
uint32_t DS_KeyHash(const ScriptValue* key);
// One key: equal kind words, and equal texts (strings) or equal bytes
// (anything else, so 0 and -0 are two keys, as their hashes are).
bool DS_KeysEqual(const ScriptValue* a, const ScriptValue* b);

struct HashPair {
  ScriptValue key;
  ScriptValue value;
};

// The table behind a map. A pair lives in bucket (hash AND mask), after the
// pairs put there before it; that order, bucket by bucket, is the order every
// walk follows. Lookups go through an index on the whole hash and compare
// keys, so they never walk a bucket and two keys with one CRC stay apart.
// Pairs are named by node numbers, stable while the pair lives.
class Hash {
 public:
  explicit Hash(int32_t buckets);
  ~Hash();
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;

  int32_t Count() const { return count_; }
  int32_t Mask() const { return mask_; }
  // The first pair, in walking order, whose key is `key` (`hash` its
  // DS_KeyHash); -1 when there is none.
  int32_t Find(const ScriptValue* key, uint32_t hash) const;
  // A new pair (key and value real 0) at the tail of its bucket.
  int32_t Insert(uint32_t hash);
  // Unlinks the pair and gives it to the caller to free.
  HashPair Remove(int32_t node);
  // Empties the table, handing each pair to `release` (in no particular
  // order), which frees it. `release` must not use this table.
  template <class Release>
  void Drain(Release release) {
    for (int32_t n = 0; n < nodeCount_; ++n)
      if (At(n).prev != kFree) release(At(n).pair);
    Reset();
  }

  HashPair& Pair(int32_t node) { return At(node).pair; }
  const HashPair& Pair(int32_t node) const { return At(node).pair; }
  uint32_t HashOf(int32_t node) const { return At(node).hash; }
  // Walking order; -1 past either end.
  int32_t First() const;
  int32_t Last() const;
  int32_t Next(int32_t node) const;
  int32_t Previous(int32_t node) const;

 private:
  struct Node {
    HashPair pair;
    uint32_t hash;
    int32_t prev, next;  // in the bucket; a free node: prev kFree, next the next free one
  };
  static constexpr int32_t kFree = -2;
  // Nodes live in blocks of 64, 64, 128, 256, ... that never move, so the
  // table grows without copying what it holds.
  static size_t BlockOf(uint32_t n) { return size_t(std::bit_width(n >> 6)); }
  static uint32_t BlockStart(size_t block) { return block == 0 ? 0 : 64u << (block - 1); }
  Node& At(int32_t n) { return blocks_[BlockOf(uint32_t(n))][uint32_t(n) - BlockStart(BlockOf(uint32_t(n)))]; }
  const Node& At(int32_t n) const {
    return blocks_[BlockOf(uint32_t(n))][uint32_t(n) - BlockStart(BlockOf(uint32_t(n)))];
  }
  struct Bucket {
    int32_t first = -1, last = -1;
  };
  struct Slot {
    uint32_t hash = 0;
    int32_t node = -1;  // -1: empty
  };

  // The first node of the first non-empty bucket at or after b, and the last
  // node of the last one at or before b.
  int32_t FirstFrom(int64_t b) const;
  int32_t LastFrom(int64_t b) const;
  size_t Home(uint32_t hash) const { return size_t((hash * 0x9E3779B1u) >> indexShift_); }
  void Reset();
  void IndexAdd(uint32_t hash, int32_t node);
  void IndexRemove(uint32_t hash, int32_t node);
  void IndexReserve(int64_t count);

  int32_t mask_;
  int32_t count_ = 0;
  std::vector<std::unique_ptr<Node[]>> blocks_;
  int32_t nodeCount_ = 0;  // nodes made, free ones included
  int32_t freeNodes_ = -1;
  std::vector<Bucket> buckets_;  // allocated with the first pair
  std::vector<uint64_t> used_;   // one bit per non-empty bucket
  std::vector<Slot> index_;      // linear probing; empty or a power of two
  int indexShift_ = 32;
};

class CDS_HashMap : public DSContainer {
 public:
  static constexpr int32_t kDefaultBuckets = 4096;
  // More buckets than this is a mistake, not a map anybody can fill.
  static constexpr int32_t kMaxBuckets = 1 << 24;

  // Any count is taken into 1 .. kMaxBuckets.
  explicit CDS_HashMap(int32_t buckets = kDefaultBuckets);
  ~CDS_HashMap() override;

  const HashPair* Find(const ScriptValue* key) const;
  // False (and nothing changes) when the key is present.
  bool Add(const ScriptValue* key, const ScriptValue* value);
  // Overwrites the value of a present key in its place, else adds the pair.
  // `old` gets the value that stood there, or the given one when none did.
  void Set(const ScriptValue* key, const ScriptValue* value, ScriptValue* old = nullptr);
  // True when a present key's value was replaced, false when the pair was
  // added.
  bool Replace(const ScriptValue* key, const ScriptValue* value);
  // A marked nested container stays alive.
  bool Delete(const ScriptValue* key);
  // Walking order: bucket by bucket, each in insertion order.
  const HashPair* FindFirst() const;
  const HashPair* FindLast() const;
  const HashPair* FindNext(const ScriptValue* key) const;
  const HashPair* FindPrevious(const ScriptValue* key) const;
  // Destroys the nested containers this map owns. When one of them owned
  // this map back, this map is destroyed too: the caller must not touch it
  // afterwards.
  void Clear();
  // Empties this map (nested containers stay) and appends a copy of every
  // pair of the source in its walking order; a copied mark is owned by both.
  void CopyFrom(const CDS_HashMap& source);
  int32_t Size() const { return hash_.Count(); }
  bool Empty() const { return hash_.Count() == 0; }
  int32_t BucketCount() const { return hash_.Mask() + 1; }

  // The map's text form, and reading one over the contents (nested
  // containers stay). Text outside the form changes nothing and gives false.
  std::string Write() const;
  bool Read(const char* text);

 private:
  void Append(uint32_t hash, const ScriptValue* key, const ScriptValue* value);
  void Overwrite(HashPair& pair, const ScriptValue* value);
  void Drop();

  Hash hash_;
};

// One pair of a result map: a string key and either a text or a real.
struct DSMapPair {
  const char* key;
  double real = 0.0;
  const char* text = nullptr;  // null: the value is the real
};

// A new 4096-bucket map in the first free map slot, the pairs added in
// order (a repeated key keeps its first value); the id. The asynchronous
// dispatch destroys it with DS_MapDestroy when its event has run.
int DS_MapCreateFromPairs(std::span<const DSMapPair> pairs);
inline int DS_MapCreateFromPairs(std::initializer_list<DSMapPair> pairs) {
  return DS_MapCreateFromPairs(std::span<const DSMapPair>(pairs.begin(), pairs.size()));
}
// 1 when added; 0 when the key was present or the id names no map.
int DS_MapAddReal(int id, const char* key, double value);
int DS_MapAddString(int id, const char* key, const char* text);
inline void DS_MapDestroy(int id) { DS_Destroy(eDS_Map, id); }
