#include "audio/ogg_decode.h"

#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cstring>

#include "script/console.h"

size_t OggMemoryReader::Read(void* destination, size_t size, size_t count) {
  const uint64_t left = data.size() - position;
  const uint64_t wanted = uint64_t(size) * count;
  const size_t n = size_t(std::min(left, wanted));
  if (n) std::memcpy(destination, data.data() + position, n);
  position += uint32_t(n);
  return n;
}

int OggMemoryReader::Seek(int64_t offset, int whence) {
  int64_t to;
  switch (whence) {
    case 0: to = offset; break;
    case 1: to = int64_t(position) + offset; break;
    case 2: to = int64_t(data.size()) - offset; break;
    default: return -1;
  }
  if (to < 0 || uint64_t(to) > data.size()) {
    position = uint32_t(data.size());
    return -1;
  }
  position = uint32_t(to);
  return 0;
}

namespace {

size_t ReadCallback(void* ptr, size_t size, size_t count, void* source) {
  return static_cast<OggMemoryReader*>(source)->Read(ptr, size, count);
}
int SeekCallback(void* source, ogg_int64_t offset, int whence) {
  return static_cast<OggMemoryReader*>(source)->Seek(offset, whence);
}
int CloseCallback(void*) { return 0; }
long TellCallback(void* source) { return static_cast<OggMemoryReader*>(source)->Tell(); }

}  // namespace

int Ogg_OpenMemory(OggMemoryReader& reader, OggVorbis_File& file) {
  const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
  return ov_open_callbacks(&reader, &file, nullptr, 0, callbacks);
}

bool Ogg_DecodeAll(std::span<const uint8_t> bytes, const std::string& name, DecodedOgg& out) {
  out = DecodedOgg();
  if (bytes.empty() || bytes.size() > UINT32_MAX) return false;
  g_DebugConsole->Output("Decoding ogg %s ...\n", name.c_str());
  OggMemoryReader reader{bytes, 0};
  OggVorbis_File vf;
  const int opened = Ogg_OpenMemory(reader, vf);
  if (opened != 0) {
    g_DebugConsole->Output("Error %d opening ogg stream for %s\n", opened, name.c_str());
    return false;
  }
  const vorbis_info* info = ov_info(&vf, -1);
  bool ok = info && Ogg_Playable(info->channels, info->rate);
  if (!ok) g_DebugConsole->Output(kOggUnplayableText, name.c_str(), info ? info->channels : 0);
  uint64_t expected = 0;
  if (ok) {
    out.channels = info->channels;
    out.rate = int(info->rate);
    const ogg_int64_t frames = ov_pcm_total(&vf, -1);
    const uint64_t frameBytes = uint64_t(out.channels) * 2;
    expected = frames > 0 ? uint64_t(frames) * frameBytes : 0;
    if (frames > 0 && uint64_t(frames) > kMaxDecodedOggBytes / frameBytes) {
      g_DebugConsole->Output("ERROR: failed to allocate buffer of %lld bytes for sound %s\n",
                             static_cast<long long>(frames) * static_cast<long long>(frameBytes), name.c_str());
      ok = false;
    }
  }
  if (ok) {
    // Grown as the samples come rather than sized from the header's count.
    size_t total = 0;
    while (total < expected) {
      const size_t want = size_t(std::min<uint64_t>(expected - total, 64 * 1024));
      if (out.samples.size() < total + want) out.samples.resize(total + want);
      int section = 0;
      const long got = ov_read(&vf, reinterpret_cast<char*>(out.samples.data() + total), int(want), &section);
      if (got < 0) g_DebugConsole->Output("ov_read error: %ld\n", got);
      if (got <= 0) break;
      total += size_t(got);
    }
    out.samples.resize(total);
    if (total != expected) {
      g_DebugConsole->Output("Ogg unexpected decompressed size: %d (expected: %d)\n", int(total), int(expected));
    }
  }
  ov_clear(&vf);
  return ok;
}
