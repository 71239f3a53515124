// The OpenAL device and buffers, for the audio subsystem. Only this layer
// includes the OpenAL and freealut headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace al {

// Opens the default output device and makes its context current; false with
// the reason in `error` when there is none.
bool OpenDevice(std::string& error);
// Closes what OpenDevice opened; nothing when it is not open.
void CloseDevice();
bool DeviceOpen();

// The pending OpenAL error code (0 for none), cleared by the call.
int TakeError();
// The text of an OpenAL error code ("" for an unknown one).
const char* ErrorText(int code);

// A buffer made from a whole sound-file image (RIFF WAVE and the other kinds
// freealut reads); 0 with the reason in `error` when it cannot be read.
uint32_t BufferFromFileImage(std::span<const uint8_t> image, std::string& error);
// A buffer of interleaved native-endian 16-bit samples, 1 or 2 channels; 0
// with the OpenAL error in `error` on failure.
uint32_t BufferFromPcm16(int channels, std::span<const uint8_t> samples, int rate, std::string& error);

struct BufferInfo {
  int32_t size = 0;  // bytes
  int32_t bits = 0;
  int32_t channels = 0;
  int32_t frequency = 0;
};
// The buffer's size and format; false when OpenAL reports an error.
bool GetBufferInfo(uint32_t buffer, BufferInfo& info);
bool IsBuffer(uint32_t buffer);
void DeleteBuffer(uint32_t buffer);

// ---- Sources: made one at a time (the legacy sample player, the MCI music)
// or as a pool (the voices); play, stop and state serve both ----
// A new source playing `buffer`; 0 with the OpenAL error in `error` when
// none can be made.
uint32_t NewSource(uint32_t buffer, std::string& error);
// Stops the source and deletes it; nothing for 0 or without a device.
void DeleteSource(uint32_t source);
void SetSourceGain(uint32_t source, float gain);
void SetSourceLooping(uint32_t source, bool loop);
void PlaySource(uint32_t source);
void StopSource(uint32_t source);
void PauseSource(uint32_t source);
// kUnknown without a device; a source that does not exist reads as stopped.
enum class SourceState { kInitial, kPlaying, kPaused, kStopped, kUnknown };
SourceState GetSourceState(uint32_t source);
// The play position in sample frames of the source's buffer.
int64_t GetSourceSampleOffset(uint32_t source);
void SetSourceSampleOffset(uint32_t source, int64_t frames);

// ---- The voices' source settings and the listener ----

enum class SourceFloat { kGain, kPitch, kMaxDistance, kReferenceDistance, kRolloffFactor };
enum class Vector3 { kPosition, kVelocity };

// `n` new sources into `names`; false (and none made) on an OpenAL error.
bool GenSources(int n, std::vector<uint32_t>& names);
void DeleteSources(std::vector<uint32_t>& names);
void SetSourceFloat(uint32_t source, SourceFloat which, float value);
float GetSourceFloat(uint32_t source, SourceFloat which);
void SetSourceVector(uint32_t source, Vector3 which, float x, float y, float z);
void SetSourceRelative(uint32_t source, bool relative);
void SetSourceBuffer(uint32_t source, uint32_t buffer);

void SetListenerGain(float gain);
void SetListenerVector(Vector3 which, float x, float y, float z);
// "at" x, y, z then "up" x, y, z.
void SetListenerOrientation(const float at_up[6]);
// 0 none, 1 inverse, 2 inverse clamped, 3 linear, 4 linear clamped,
// 5 exponent, 6 exponent clamped; false for any other.
bool SetDistanceModel(int model);
bool HasCurrentContext();

// ---- The streaming workers' buffer queues ----
// `n` new buffers into `names`; false (and none made) on an OpenAL error.
bool GenBuffers(int n, uint32_t* names);
// Fills `buffer` with interleaved native-endian 16-bit samples, 1 or 2
// channels; the OpenAL error code, 0 on success.
int BufferData16(uint32_t buffer, int channels, std::span<const uint8_t> samples, int rate);
void QueueBuffer(uint32_t source, uint32_t buffer);
// The oldest processed buffer taken off the queue, 0 when none is.
uint32_t UnqueueBuffer(uint32_t source);
int BuffersProcessed(uint32_t source);
int BuffersQueued(uint32_t source);

}  // namespace al
