#include "audio/ogg_stream.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "audio/audio_assets.h"
#include "core/run_state.h"
#include "platform/al.h"
#include "script/console.h"

namespace {

// Channel messages go to the worker's log; a channel without a worker (the
// fuzzer's, the benchmark's) says nothing.
template <typename... Args>
void ChannelLog(SOggChannel& c, const char* format, Args... args) {
  if (c.worker) c.worker->Log(format, args...);
}

}  // namespace

// ---- the channel's decoder ----

bool OggChannel_Open(SOggChannel& c, AudioAsset& asset) {
  if (asset.streamed_from_file) {
    FILE* f = std::fopen(asset.resolved_path.c_str(), "rb");
    if (!f) {
      ChannelLog(c, "Could not open Ogg file %s\n", asset.resolved_path.c_str());
      return false;
    }
    const int e = ov_open(f, &c.vf, nullptr, 0);
    if (e != 0) {
      std::fclose(f);
      ChannelLog(c, "ov_open error %d\n", e);
      return false;
    }
  } else {
    c.reader = {asset.compressed_data, 0};
    const int e = Ogg_OpenMemory(c.reader, c.vf);
    if (e != 0) {
      ChannelLog(c, "ov_open_callbacks error %d\n", e);
      return false;
    }
  }
  const vorbis_info* info = ov_info(&c.vf, -1);
  c.channels = info ? info->channels : 0;
  c.rate = info ? info->rate : 0;
  if (!Ogg_Playable(c.channels, c.rate)) {
    // The buffers take mono or stereo 16-bit samples only.
    ChannelLog(c, kOggUnplayableText, asset.name.c_str(), c.channels);
    ov_clear(&c.vf);
    return false;
  }
  return true;
}

size_t OggChannel_Decode(SOggChannel& c, bool loop, uint8_t* out, size_t capacity) {
  size_t held = 0;
  bool rewound = false;
  size_t since_rewind = 0;
  while (held < capacity) {
    int section = 0;
    const long n = ov_read(&c.vf, reinterpret_cast<char*>(out + held), int(capacity - held), &section);
    if (n > 0) {
      held += size_t(n);
      since_rewind += size_t(n);
      continue;
    }
    if (n < 0) {
      ChannelLog(c, "ov_read error: %d\n", int(n));
      return 0;
    }
    if (!loop) break;
    // A stream with no samples would be rewound for ever.
    if (rewound && since_rewind == 0) break;
    const int e = ov_raw_seek(&c.vf, 0);
    if (e != 0) {
      ChannelLog(c, "ov_raw_seek error %d\n", e);
      break;
    }
    rewound = true;
    since_rewind = 0;
  }
  return held;
}

void OggChannel_Close(SOggChannel& c) { ov_clear(&c.vf); }

// ---- the worker ----

bool OggStreamWorker::Start(int32_t w, int32_t stride, int32_t count) {
  channel_count = count;
  channels = std::make_unique<SOggChannel[]>(size_t(count));
  log_[0] = 0;
  log_pending_ = false;
  quit_ = false;
  index = w;
  decode_.assign(kOggBufferBytes, 0);
  for (int32_t i = 0; i < count; ++i) {
    SOggChannel& c = channels[size_t(i)];
    c.worker = this;
    c.source_index = w + i * stride;
    c.source = Audio_SourceAt(c.source_index);
    Audio_CheckError("SOggChannel before alGenBuffers");
    c.buffers_made = al::GenBuffers(2, c.buffers);
    Audio_CheckError("SOggChannel alGenBuffers");
  }
  snapshot_.assign(size_t(count) * 8, 0);
  lock = std::make_unique<Mutex>("OggMutex");
  if (!thread_.Start(&OggStreamWorker::Main, this)) {
    g_DebugConsole->Output("Error %d creating ogg thread\n", thread_.LastError());
    started = true;  // so that Stop frees what was made
    quit_ = true;
    Stop();
    return false;
  }
  started = true;
  return true;
}

void OggStreamWorker::Stop() {
  if (!started) return;
  {
    MutexHold hold(*lock);
    quit_ = true;
  }
  thread_.Wait();
  for (int32_t i = 0; i < channel_count; ++i) {
    SOggChannel& c = channels[size_t(i)];
    for (uint32_t b : c.buffers) al::DeleteBuffer(b);
  }
  channels.reset();
  channel_count = 0;
  decode_.clear();
  snapshot_.clear();
  lock.reset();
  started = false;
}

void OggStreamWorker::Log(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  MutexHold hold(*lock);
  const size_t used = std::strlen(log_);
  const size_t room = sizeof log_ - 1 - used;
  const size_t n = std::min(room, std::strlen(line));
  std::memcpy(log_ + used, line, n);
  log_[used + n] = 0;
  log_pending_ = true;
}

void OggStreamWorker::PrintLog() {
  MutexHold hold(*lock);
  if (!log_pending_) return;
  g_DebugConsole->Output("(%d): ", index);
  g_DebugConsole->Output("%s", log_);
  log_[0] = 0;
  log_pending_ = false;
}

void OggStreamWorker::Main(PlatformThread* thread) { static_cast<OggStreamWorker*>(thread->Argument())->Run(); }

void OggStreamWorker::Run() {
  std::vector<uint8_t> stop_seen(size_t(channel_count), 0);
  for (;;) {
    const int64_t start = Time_Microseconds();
    bool quit;
    {
      MutexHold hold(*lock);
      quit = quit_;
      for (int32_t i = 0; i < channel_count; ++i) {
        SOggChannel& c = channels[size_t(i)];
        snapshot_[size_t(i) * 8] = c.command;
        stop_seen[size_t(i)] = c.stopping.load(std::memory_order_relaxed);
        c.asset = c.pending;
        c.command = kOggNone;
      }
    }
    if (quit) {
      for (int32_t i = 0; i < channel_count; ++i) {
        SOggChannel& c = channels[size_t(i)];
        if (c.state != kOggIdle) StopChannel(c);
        MutexHold hold(*lock);
        c.active.store(0, std::memory_order_release);
        c.stopping.store(0, std::memory_order_release);
      }
      return;
    }
    for (int32_t i = 0; i < channel_count; ++i) {
      SOggChannel& c = channels[size_t(i)];
      const uint8_t command = snapshot_[size_t(i) * 8];
      if (command == kOggNone && c.state == kOggIdle) continue;
      if (((command & kOggPlay) || command == kOggStop) && c.state != kOggIdle) StopChannel(c);
      if (command & kOggPlay) StartChannel(c, (command & kOggLoopBit) != 0);
      if (c.state != kOggIdle) Refill(c, c.state == kOggLooping);
    }
    {
      // The stops taken this pass are done: their sources are free again,
      // unless another command came meanwhile.
      MutexHold hold(*lock);
      for (int32_t i = 0; i < channel_count; ++i) {
        SOggChannel& c = channels[size_t(i)];
        if (stop_seen[size_t(i)] && c.command == kOggNone) c.stopping.store(0, std::memory_order_release);
      }
    }
    const int elapsed_ms = int((Time_Microseconds() - start) / 1000);
    PlatformThread_Sleep(kOggPassMs - elapsed_ms);
  }
}

void OggStreamWorker::Deactivate(SOggChannel& c) {
  MutexHold hold(*lock);
  if (c.command == kOggNone) c.active.store(0, std::memory_order_release);
}

size_t OggStreamWorker::Fill(SOggChannel& c, uint32_t buffer, bool loop) {
  const size_t n = OggChannel_Decode(c, loop, decode_.data(), decode_.size());
  if (n == 0) return 0;
  if (const int e = al::BufferData16(buffer, c.channels, {decode_.data(), n}, int(c.rate)))
    Log("AL Error %x filling buffer\n", unsigned(e));
  return n;
}

void OggStreamWorker::StartChannel(SOggChannel& c, bool loop) {
  if (!c.asset || !c.buffers_made || !OggChannel_Open(c, *c.asset)) {
    Deactivate(c);
    return;
  }
  c.state = loop ? kOggLooping : kOggPlaying;
  al::StopSource(c.source);
  al::TakeError();
  al::SetSourceBuffer(c.source, 0);
  if (const int e = al::TakeError()) Log("AL Error %x detaching buffer", unsigned(e));
  al::SetSourceLooping(c.source, false);
  if (const int e = al::TakeError()) Log("AL Error %x set looping to false", unsigned(e));
  if (Fill(c, c.buffers[0], loop) == 0) {
    StopChannel(c);
    Deactivate(c);
    return;
  }
  const bool second = Fill(c, c.buffers[1], loop) > 0;
  al::QueueBuffer(c.source, c.buffers[0]);
  if (second) al::QueueBuffer(c.source, c.buffers[1]);
  else c.state = kOggDraining;  // the whole stream fits one buffer
  al::PlaySource(c.source);
}

void OggStreamWorker::Refill(SOggChannel& c, bool loop) {
  for (int processed = al::BuffersProcessed(c.source); processed > 0; --processed) {
    const uint32_t b = al::UnqueueBuffer(c.source);
    if (!b) break;
    if (c.state == kOggDraining || Fill(c, b, loop) == 0) c.state = kOggDraining;
    else al::QueueBuffer(c.source, b);
  }
  if (al::GetSourceState(c.source) != al::SourceState::kStopped) return;
  if (c.state == kOggDraining) {
    StopChannel(c);
    Deactivate(c);
  } else {
    // It ran dry before the refill came.
    al::PlaySource(c.source);
  }
}

void OggStreamWorker::StopChannel(SOggChannel& c) {
  if (c.state == kOggIdle) return;
  al::StopSource(c.source);
  for (int queued = al::BuffersQueued(c.source); queued > 0; --queued)
    if (!al::UnqueueBuffer(c.source)) break;
  OggChannel_Close(c);
  c.state = kOggIdle;
}

// ---- the manager ----

void COggAudio::Init(int32_t workers, int32_t sources, int32_t music_source) {
  Shutdown();
  worker_count_ = std::max(1, workers);
  channel_count_ = worker_count_ * ((std::max(0, sources) + worker_count_ - 1) / worker_count_);
  music_source_ = music_source;
  music_channel_ = nullptr;
  workers_ = std::make_unique<OggStreamWorker[]>(size_t(worker_count_));
}

OggStreamWorker* COggAudio::Serving(int32_t source) {
  if (!workers_ || source < 0 || source >= channel_count_) return nullptr;
  OggStreamWorker& w = workers_[size_t(WorkerOf(source))];
  if (!w.started) {
    if (!w.Start(WorkerOf(source), worker_count_, channel_count_ / worker_count_)) return nullptr;
    if (music_source_ >= 0 && WorkerOf(music_source_) == w.index)
      music_channel_ = &w.channels[size_t(ChannelOf(music_source_))];
  }
  return &w;
}

bool COggAudio::PlaySound(int32_t source, AudioAsset& asset, bool loop) {
  if (asset.streamed_from_file && asset.resolved_path.empty()) {
    g_DebugConsole->Output("COggAudio::PlaySound- could not find audio file for sound %s\n", asset.name.c_str());
    return false;
  }
  OggStreamWorker* w = Serving(source);
  if (!w) return false;
  SOggChannel& c = w->channels[size_t(ChannelOf(source))];
  MutexHold hold(*w->lock);
  c.command = loop ? kOggPlayLoop : kOggPlay;
  c.pending = &asset;
  c.active.store(1, std::memory_order_release);
  return true;
}

void COggAudio::Stop(int32_t source) {
  OggStreamWorker* w = Serving(source);
  if (!w) return;
  SOggChannel& c = w->channels[size_t(ChannelOf(source))];
  MutexHold hold(*w->lock);
  c.command = kOggStop;
  c.active.store(0, std::memory_order_release);
  c.stopping.store(1, std::memory_order_release);
}

void COggAudio::Pause(int32_t source) {
  const uint32_t s = Audio_SourceAt(source);
  if (al::GetSourceState(s) == al::SourceState::kPlaying) al::PauseSource(s);
}

void COggAudio::Resume(int32_t source) {
  const uint32_t s = Audio_SourceAt(source);
  if (al::GetSourceState(s) == al::SourceState::kPaused) al::PlaySource(s);
}

namespace {
// Free only once the worker has let go of the source: a voice released while
// its stop is still on its way would let the late stop end the next sound.
bool Ended(const SOggChannel& c) {
  return !c.active.load(std::memory_order_acquire) && !c.stopping.load(std::memory_order_acquire);
}
}  // namespace

void COggAudio::Update(std::vector<std::unique_ptr<AudioVoice>>& voices, AudioVoice& music) {
  if (!workers_) return;
  for (int32_t wi = 0; wi < worker_count_; ++wi) {
    OggStreamWorker& w = workers_[size_t(wi)];
    if (!w.started) continue;
    w.PrintLog();
    for (int32_t i = 0; i < w.channel_count; ++i) {
      const SOggChannel& c = w.channels[size_t(i)];
      if (c.source_index >= int32_t(voices.size())) break;
      AudioVoice& v = *voices[size_t(c.source_index)];
      if (v.active && v.streamed && Ended(c)) v.Release();
    }
  }
  if (music.active && music.streamed && music_channel_ && Ended(*music_channel_)) music.Release();
}

void COggAudio::Shutdown() {
  if (workers_)
    for (int32_t i = 0; i < worker_count_; ++i) workers_[size_t(i)].Stop();
  workers_.reset();
  music_channel_ = nullptr;
}

int32_t COggAudio::StartedWorkers() const {
  int32_t n = 0;
  if (workers_)
    for (int32_t i = 0; i < worker_count_; ++i) n += workers_[size_t(i)].started ? 1 : 0;
  return n;
}

const SOggChannel* COggAudio::Channel(int32_t source) const {
  if (!workers_ || source < 0 || source >= channel_count_) return nullptr;
  const OggStreamWorker& w = workers_[size_t(WorkerOf(source))];
  return w.started ? &w.channels[size_t(ChannelOf(source))] : nullptr;
}

const AudioAsset* COggAudio::PlayingAsset(int32_t source) const {
  if (!workers_ || source < 0 || source >= channel_count_) return nullptr;
  OggStreamWorker& w = workers_[size_t(WorkerOf(source))];
  if (!w.started) return nullptr;
  MutexHold hold(*w.lock);
  return w.channels[size_t(ChannelOf(source))].asset;
}

COggAudio& OggAudio() {
  static COggAudio audio;
  return audio;
}

AudioStreaming OggAudio_Streaming() {
  AudioStreaming s;
  s.init = [](int workers, int sources, int music) { OggAudio().Init(workers, sources, music); };
  s.play = [](int32_t source, AudioAsset& asset, bool loop) { return OggAudio().PlaySound(source, asset, loop); };
  s.stop = [](int32_t source) { OggAudio().Stop(source); };
  s.pause = [](int32_t source) { OggAudio().Pause(source); };
  s.resume = [](int32_t source) { OggAudio().Resume(source); };
  s.update = [](std::vector<std::unique_ptr<AudioVoice>>& voices, AudioVoice& music) {
    OggAudio().Update(voices, music);
  };
  s.shutdown = [] { OggAudio().Shutdown(); };
  return s;
}

uint32_t DecompressOgg(AudioAsset& asset) {
  if (asset.compressed_data.empty()) return 0;
  DecodedOgg pcm;
  if (!Ogg_DecodeAll(asset.compressed_data, asset.name, pcm)) return 0;
  std::string error;
  const uint32_t buffer = al::BufferFromPcm16(pcm.channels, pcm.samples, pcm.rate, error);
  if (!buffer) g_DebugConsole->Output("OpenAL error: %s (DecompressOgg: alBufferData)\n", error.c_str());
  return buffer;
}
