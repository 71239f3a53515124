#include "platform/al.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alut.h>

#include <algorithm>
#include <vector>

namespace al {
namespace {
bool g_open = false;
constexpr size_t kImagePadding = 64;

// OpenAL's text for an error, or its number when it has none.
std::string ErrorWithCode(ALenum code) {
  const char* text = alGetString(code);
  return text ? text : "OpenAL error " + std::to_string(code);
}

std::string AlutText(ALenum code) {
  const char* text = alutGetErrorString(code);
  return text ? text : "unknown error";
}
}  // namespace

bool OpenDevice(std::string& error) {
  if (g_open) return true;
  if (!alutInit(nullptr, nullptr)) {
    error = AlutText(alutGetError());
    return false;
  }
  alGetError();  // start with no error pending
  g_open = true;
  return true;
}

void CloseDevice() {
  if (!g_open) return;
  alutExit();
  g_open = false;
}

bool DeviceOpen() { return g_open; }

int TakeError() { return g_open ? int(alGetError()) : 0; }

const char* ErrorText(int code) {
  const char* text = g_open ? alGetString(ALenum(code)) : nullptr;
  return text ? text : "";
}

uint32_t BufferFromFileImage(std::span<const uint8_t> image, std::string& error) {
  if (!g_open) {
    error = "no audio device";
    return 0;
  }
  alutGetError();
  alGetError();
  if (image.size() > size_t(INT32_MAX) - kImagePadding) {
    error = "the sound file is too large";
    return 0;
  }
  // freealut reads a little past the end of a file image that ends inside a
  // chunk header; zeros after a copy keep those reads inside our memory.
  std::vector<uint8_t> padded(image.size() + kImagePadding, 0);
  std::copy(image.begin(), image.end(), padded.begin());
  const ALuint buffer = alutCreateBufferFromFileImage(padded.data(), ALsizei(image.size()));
  const ALenum alutError = alutGetError();
  const ALenum alError = alGetError();
  if (alutError != ALUT_ERROR_NO_ERROR || alError != AL_NO_ERROR || buffer == AL_NONE) {
    error = alutError != ALUT_ERROR_NO_ERROR ? AlutText(alutError) : "OpenAL error " + std::to_string(alError);
    if (buffer != AL_NONE && alIsBuffer(buffer)) alDeleteBuffers(1, &buffer);
    return 0;
  }
  return buffer;
}

uint32_t BufferFromPcm16(int channels, std::span<const uint8_t> samples, int rate, std::string& error) {
  if (!g_open) {
    error = "no audio device";
    return 0;
  }
  alGetError();
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  ALenum code = alGetError();
  if (code == AL_NO_ERROR) {
    alBufferData(buffer, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, samples.data(), ALsizei(samples.size()),
                 rate);
    code = alGetError();
    if (code != AL_NO_ERROR) alDeleteBuffers(1, &buffer);
  }
  if (code != AL_NO_ERROR) {
    error = ErrorWithCode(code);
    return 0;
  }
  return buffer;
}

bool GetBufferInfo(uint32_t buffer, BufferInfo& info) {
  if (!g_open) return false;
  alGetError();
  ALint v[4] = {};
  alGetBufferi(buffer, AL_SIZE, &v[0]);
  alGetBufferi(buffer, AL_BITS, &v[1]);
  alGetBufferi(buffer, AL_CHANNELS, &v[2]);
  alGetBufferi(buffer, AL_FREQUENCY, &v[3]);
  if (alGetError() != AL_NO_ERROR) return false;
  info = {v[0], v[1], v[2], v[3]};
  return true;
}

bool IsBuffer(uint32_t buffer) { return g_open && buffer != 0 && alIsBuffer(buffer); }

void DeleteBuffer(uint32_t buffer) {
  if (!IsBuffer(buffer)) return;
  const ALuint name = buffer;
  alDeleteBuffers(1, &name);
  alGetError();
}

uint32_t NewSource(uint32_t buffer, std::string& error) {
  if (!g_open) {
    error = "no audio device";
    return 0;
  }
  alGetError();
  ALuint source = 0;
  alGenSources(1, &source);
  ALenum code = alGetError();
  if (code == AL_NO_ERROR) {
    alSourcei(source, AL_BUFFER, ALint(buffer));
    code = alGetError();
    if (code != AL_NO_ERROR) alDeleteSources(1, &source);
  }
  if (code != AL_NO_ERROR) {
    error = ErrorWithCode(code);
    return 0;
  }
  return source;
}

namespace {
bool LiveSource(uint32_t source) { return g_open && source != 0 && alIsSource(source); }
}  // namespace

void DeleteSource(uint32_t source) {
  if (!LiveSource(source)) return;
  const ALuint name = source;
  alSourceStop(name);
  alSourcei(name, AL_BUFFER, 0);
  alDeleteSources(1, &name);
  alGetError();
}

void SetSourceGain(uint32_t source, float gain) {
  if (LiveSource(source)) alSourcef(source, AL_GAIN, gain);
}
void SetSourceLooping(uint32_t source, bool loop) {
  if (LiveSource(source)) alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
}
void PlaySource(uint32_t source) {
  if (LiveSource(source)) alSourcePlay(source);
}
void StopSource(uint32_t source) {
  if (LiveSource(source)) alSourceStop(source);
}
void PauseSource(uint32_t source) {
  if (LiveSource(source)) alSourcePause(source);
}

SourceState GetSourceState(uint32_t source) {
  if (!g_open) return SourceState::kUnknown;
  if (!LiveSource(source)) return SourceState::kStopped;
  ALint state = AL_STOPPED;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  switch (state) {
    case AL_INITIAL: return SourceState::kInitial;
    case AL_PLAYING: return SourceState::kPlaying;
    case AL_PAUSED: return SourceState::kPaused;
    default: return SourceState::kStopped;
  }
}

int64_t GetSourceSampleOffset(uint32_t source) {
  if (!LiveSource(source)) return 0;
  ALint offset = 0;
  alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
  return offset;
}

void SetSourceSampleOffset(uint32_t source, int64_t frames) {
  if (!LiveSource(source)) return;
  alSourcei(source, AL_SAMPLE_OFFSET, ALint(std::clamp<int64_t>(frames, 0, INT32_MAX)));
  alGetError();  // an offset past the end is refused; the caller clamps
}

// ---- The voices' source settings and the listener ----
namespace {
ALenum FloatParam(SourceFloat which) {
  switch (which) {
    case SourceFloat::kGain: return AL_GAIN;
    case SourceFloat::kPitch: return AL_PITCH;
    case SourceFloat::kMaxDistance: return AL_MAX_DISTANCE;
    case SourceFloat::kReferenceDistance: return AL_REFERENCE_DISTANCE;
    case SourceFloat::kRolloffFactor: return AL_ROLLOFF_FACTOR;
  }
  return AL_GAIN;
}
ALenum VectorParam(Vector3 which) { return which == Vector3::kPosition ? AL_POSITION : AL_VELOCITY; }
}  // namespace

bool GenSources(int n, std::vector<uint32_t>& names) {
  names.clear();
  if (!g_open || n <= 0) return false;
  std::vector<ALuint> made(size_t(n), 0);
  alGetError();
  alGenSources(ALsizei(n), made.data());
  if (alGetError() != AL_NO_ERROR) return false;
  names.assign(made.begin(), made.end());
  return true;
}

void DeleteSources(std::vector<uint32_t>& names) {
  if (g_open && !names.empty()) {
    std::vector<ALuint> held(names.begin(), names.end());
    alDeleteSources(ALsizei(held.size()), held.data());
  }
  names.clear();
}

void SetSourceFloat(uint32_t source, SourceFloat which, float value) {
  if (g_open) alSourcef(source, FloatParam(which), value);
}

float GetSourceFloat(uint32_t source, SourceFloat which) {
  ALfloat v = 0;
  if (g_open) alGetSourcef(source, FloatParam(which), &v);
  return v;
}

void SetSourceVector(uint32_t source, Vector3 which, float x, float y, float z) {
  if (g_open) alSource3f(source, VectorParam(which), x, y, z);
}

void SetSourceRelative(uint32_t source, bool relative) {
  if (g_open) alSourcei(source, AL_SOURCE_RELATIVE, relative ? AL_TRUE : AL_FALSE);
}

void SetSourceBuffer(uint32_t source, uint32_t buffer) {
  if (g_open) alSourcei(source, AL_BUFFER, ALint(buffer));
}

void SetListenerGain(float gain) {
  if (g_open) alListenerf(AL_GAIN, gain);
}

void SetListenerVector(Vector3 which, float x, float y, float z) {
  if (g_open) alListener3f(VectorParam(which), x, y, z);
}

void SetListenerOrientation(const float at_up[6]) {
  if (g_open) alListenerfv(AL_ORIENTATION, at_up);
}

bool SetDistanceModel(int model) {
  static constexpr ALenum kModels[] = {AL_NONE,
                                       AL_INVERSE_DISTANCE,
                                       AL_INVERSE_DISTANCE_CLAMPED,
                                       AL_LINEAR_DISTANCE,
                                       AL_LINEAR_DISTANCE_CLAMPED,
                                       AL_EXPONENT_DISTANCE,
                                       AL_EXPONENT_DISTANCE_CLAMPED};
  if (model < 0 || model > 6) return false;
  if (g_open) alDistanceModel(kModels[model]);
  return true;
}

bool HasCurrentContext() { return g_open && alcGetCurrentContext() != nullptr; }

bool GenBuffers(int n, uint32_t* names) {
  if (!g_open || n <= 0) return false;
  std::vector<ALuint> made(size_t(n), 0);
  alGenBuffers(ALsizei(n), made.data());
  if (alGetError() != AL_NO_ERROR) return false;
  std::copy(made.begin(), made.end(), names);
  return true;
}

int BufferData16(uint32_t buffer, int channels, std::span<const uint8_t> samples, int rate) {
  if (!g_open) return AL_INVALID_OPERATION;
  if ((channels != 1 && channels != 2) || rate <= 0 || samples.size() > size_t(INT32_MAX)) return AL_INVALID_VALUE;
  alGetError();
  alBufferData(buffer, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, samples.data(),
               ALsizei(samples.size()), ALsizei(rate));
  return int(alGetError());
}

void QueueBuffer(uint32_t source, uint32_t buffer) {
  if (!LiveSource(source)) return;
  const ALuint name = buffer;
  alSourceQueueBuffers(source, 1, &name);
}

uint32_t UnqueueBuffer(uint32_t source) {
  if (!LiveSource(source)) return 0;
  alGetError();
  ALuint name = 0;
  alSourceUnqueueBuffers(source, 1, &name);
  return alGetError() == AL_NO_ERROR ? name : 0;
}

int BuffersProcessed(uint32_t source) {
  ALint n = 0;
  if (LiveSource(source)) alGetSourcei(source, AL_BUFFERS_PROCESSED, &n);
  return n;
}

int BuffersQueued(uint32_t source) {
  ALint n = 0;
  if (LiveSource(source)) alGetSourcei(source, AL_BUFFERS_QUEUED, &n);
  return n;
}

}  // namespace al
