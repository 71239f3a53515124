#include "audio/mp3_decode.h"

#include <mpg123.h>

#include <memory>

namespace {
struct HandleCloser {
  void operator()(mpg123_handle* h) const {
    mpg123_close(h);
    mpg123_delete(h);
  }
};
}  // namespace

bool Mp3_DecodeAll(std::span<const uint8_t> bytes, DecodedMp3& out, std::string& error) {
  out = DecodedMp3();
  int code = MPG123_OK;
  std::unique_ptr<mpg123_handle, HandleCloser> handle(mpg123_new(nullptr, &code));
  if (!handle) {
    error = mpg123_plain_strerror(code);
    return false;
  }
  mpg123_handle* h = handle.get();
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  // Every rate, one or two channels, always signed 16-bit.
  mpg123_format_none(h);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open_feed(h) != MPG123_OK || mpg123_feed(h, bytes.data(), bytes.size()) != MPG123_OK) {
    error = mpg123_strerror(h);
    return false;
  }
  unsigned char chunk[16384];
  for (;;) {
    size_t done = 0;
    code = mpg123_read(h, chunk, sizeof chunk, &done);
    if (code == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(h, &rate, &channels, &encoding);
      if (out.rate != 0 && (rate != out.rate || channels != out.channels)) {
        error = "the format changes inside the file";
        return false;
      }
      out.rate = int(rate);
      out.channels = channels;
      continue;
    }
    if (done > 0) {
      if (out.samples.size() + done > kMaxDecodedMp3Bytes) {
        error = "the music is too long";
        return false;
      }
      out.samples.insert(out.samples.end(), chunk, chunk + done);
    }
    if (code == MPG123_OK) continue;
    if (code == MPG123_NEED_MORE || code == MPG123_DONE) break;
    error = mpg123_strerror(h);
    return false;
  }
  if (out.samples.empty() || out.rate <= 0 || (out.channels != 1 && out.channels != 2)) {
    error = "no MPEG audio in the file";
    return false;
  }
  return true;
}
