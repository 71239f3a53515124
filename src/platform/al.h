// The OpenAL device and buffers, for the audio subsystem. Only this layer
// includes the OpenAL and freealut headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

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

}  // namespace al
