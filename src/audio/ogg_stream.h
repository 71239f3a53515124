// Streamed Ogg Vorbis sounds (storage codes 100 and 102): up to four worker
// threads decode while the sounds play, each keeping the buffer queues of a
// quarter of the sources fed. The main thread only posts play and stop
// commands under the worker's lock and reads back which channels still play.
#pragma once
#include <tremor/ivorbisfile.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_voices.h"
#include "audio/ogg_decode.h"
#include "platform/mutex.h"
#include "platform/thread.h"

struct AudioAsset;
class OggStreamWorker;

inline constexpr int32_t kOggWorkers = 4;
inline constexpr size_t kOggBufferBytes = 32768;
inline constexpr size_t kOggLogBytes = 2048;
inline constexpr int kOggPassMs = 16;

enum OggCommand : uint8_t { kOggNone = 0, kOggPlay = 1, kOggLoopBit = 2, kOggPlayLoop = 3, kOggStop = 8 };
enum OggState : int32_t { kOggIdle = 0, kOggPlaying = 1, kOggLooping = 2, kOggDraining = 3 };

struct SOggChannel {
  // Touched only by the worker thread once it runs.
  OggVorbis_File vf{};
  int channels = 0;
  long rate = 0;
  uint32_t buffers[2] = {0, 0};
  uint32_t source = 0;
  int32_t source_index = -1;
  AudioAsset* asset = nullptr;
  OggMemoryReader reader;
  int32_t state = kOggIdle;
  bool buffers_made = false;
  OggStreamWorker* worker = nullptr;  // where its messages go; none logs nothing

  // Written under the worker's lock, read by the main thread without it.
  std::atomic<uint8_t> active{0};
  // A stop was posted and the worker has not yet stopped the stream: until
  // then the source is not free for another sound.
  std::atomic<uint8_t> stopping{0};
  // Under the worker's lock.
  uint8_t command = kOggNone;
  AudioAsset* pending = nullptr;
};

// Opens the channel's decoder on `asset` (its file, or its compressed bytes);
// false after a logged reason, with nothing left open.
bool OggChannel_Open(SOggChannel& channel, AudioAsset& asset);
// Decodes up to `capacity` bytes into `out`, from the stream's start again
// at its end when looping; the byte count (0 at the end or on an error).
size_t OggChannel_Decode(SOggChannel& channel, bool loop, uint8_t* out, size_t capacity);
void OggChannel_Close(SOggChannel& channel);

class OggStreamWorker {
 public:
  OggStreamWorker() = default;
  OggStreamWorker(const OggStreamWorker&) = delete;
  OggStreamWorker& operator=(const OggStreamWorker&) = delete;
  ~OggStreamWorker() { Stop(); }

  // Makes the channels for sources index, index + stride, ... and starts the
  // thread; false (nothing kept) when the thread cannot be made.
  bool Start(int32_t index, int32_t stride, int32_t channel_count);
  // Asks the thread to quit, waits for it and frees the channels.
  void Stop();
  // Appends a formatted message (at most 255 characters) to the log.
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Prints and empties the log; main thread.
  void PrintLog();

  bool started = false;
  int32_t index = -1;
  int32_t channel_count = 0;
  std::unique_ptr<SOggChannel[]> channels;
  std::unique_ptr<Mutex> lock;

 private:
  static void Main(PlatformThread* thread);
  void Run();
  void StartChannel(SOggChannel& c, bool loop);
  void StopChannel(SOggChannel& c);
  void Refill(SOggChannel& c, bool loop);
  size_t Fill(SOggChannel& c, uint32_t buffer, bool loop);
  // Clears the channel's active flag unless a new command is waiting.
  void Deactivate(SOggChannel& c);

  char log_[kOggLogBytes] = {};
  bool log_pending_ = false;
  bool quit_ = false;
  std::vector<uint8_t> decode_;
  std::vector<uint8_t> snapshot_;
  PlatformThread thread_;
};

class COggAudio {
 public:
  COggAudio() = default;
  COggAudio(const COggAudio&) = delete;
  COggAudio& operator=(const COggAudio&) = delete;
  ~COggAudio() { Shutdown(); }

  // Prepares unstarted workers for `sources` sources.
  void Init(int32_t workers, int32_t sources, int32_t music_source);
  bool PlaySound(int32_t source, AudioAsset& asset, bool loop);
  void Stop(int32_t source);
  void Pause(int32_t source);
  void Resume(int32_t source);
  // Prints the workers' logs and releases streamed voices whose channel has
  // ended; once per frame.
  void Update(std::vector<std::unique_ptr<AudioVoice>>& voices, AudioVoice& music);
  // Stops and waits for every started worker, then frees them.
  void Shutdown();

  int32_t WorkerOf(int32_t source) const { return worker_count_ > 0 ? source % worker_count_ : -1; }
  int32_t ChannelOf(int32_t source) const { return worker_count_ > 0 ? source / worker_count_ : -1; }
  int32_t ChannelCount() const { return channel_count_; }
  int32_t StartedWorkers() const;
  // What the main thread sees of a source's channel (null for none).
  const SOggChannel* Channel(int32_t source) const;
  // The asset the worker last took for this source's channel.
  const AudioAsset* PlayingAsset(int32_t source) const;

 private:
  // The worker serving `source`, started on first need; null when it cannot run.
  OggStreamWorker* Serving(int32_t source);

  std::unique_ptr<OggStreamWorker[]> workers_;
  int32_t worker_count_ = 0;
  int32_t channel_count_ = 0;
  int32_t music_source_ = -1;
  SOggChannel* music_channel_ = nullptr;
};

// The run's instance.
COggAudio& OggAudio();
// The voices' streaming hooks, served by OggAudio().
AudioStreaming OggAudio_Streaming();
// Decodes a whole compressed sound (storage code 103) into a new buffer; 0
// after a logged reason.
uint32_t DecompressOgg(AudioAsset& asset);
