// Typed values of a saved-state record on a ValueStream. The reader checks
// that each item is wholly present before it reads, and once one is not,
// every later read fails too and leaves the stream alone: a short or damaged
// record ends the read instead of turning into past-the-end markers, and the
// caller checks Ok() once at the end of a record.
#pragma once
#include <cstdint>
#include <string>

#include "script/memory_manager.h"
#include "script/value.h"
#include "script/value_stream.h"

class SaveWriter {
 public:
  explicit SaveWriter(ValueStream* stream) : stream_(stream) {}

  void S16(int32_t v) { Number(eBuffer_S16, v); }
  void S32(int32_t v) { Number(eBuffer_S32, v); }
  void U32(uint32_t v) { Number(eBuffer_U32, v); }
  void F32(double v) { Number(eBuffer_F32, v); }
  void F64(double v) { Number(eBuffer_F64, v); }
  void Flag(bool v) { S32(v ? 1 : 0); }
  void Text(const std::string& text) { ok_ = stream_->WriteString(text.c_str()) == 0 && ok_; }
  void Fail() { ok_ = false; }
  // False once the stream refused a write (or a part written through the
  // stream directly failed).
  bool Ok() const { return ok_; }
  ValueStream* Stream() const { return stream_; }

 private:
  void Number(int type, double v) {
    ScriptValue value;
    value.real = v;
    ok_ = stream_->Write(type, &value) == 0 && ok_;
  }
  ValueStream* stream_;
  bool ok_ = true;
};

class SaveReader {
 public:
  explicit SaveReader(ValueStream* stream) : stream_(stream) {}

  int32_t S16() { return int32_t(Number(eBuffer_S16, 2)); }
  int32_t S32() { return int32_t(Number(eBuffer_S32, 4)); }
  uint32_t U32() { return uint32_t(Number(eBuffer_U32, 4)); }
  float F32() { return float(Number(eBuffer_F32, 4)); }
  double F64() { return Number(eBuffer_F64, 8); }
  bool Flag() { return S32() != 0; }
  // A missing text reads as empty.
  std::string Text() {
    if (!ok_ || !stream_->HasTerminatedString()) return Fail(), std::string();
    char* text = stream_->ReadString();
    std::string out = text ? text : "";
    MemoryManager::Release(text);
    return out;
  }
  // A count of items that each take at least `itemBytes`: false (and the
  // reader failed) when it is negative or more than the bytes left could hold.
  bool CountFits(int32_t count, int64_t itemBytes) {
    if (ok_ && count >= 0 && int64_t(count) * itemBytes <= stream_->BytesLeft()) return true;
    Fail();
    return false;
  }
  void Fail() { ok_ = false; }
  bool Ok() const { return ok_; }
  ValueStream* Stream() const { return stream_; }

 private:
  double Number(int type, int bytes) {
    if (!ok_ || stream_->BytesLeft() < bytes) return Fail(), 0.0;
    ScriptValue value;
    stream_->Read(type, &value);
    return value.real;
  }
  ValueStream* stream_;
  bool ok_ = true;
};
