// Ogg Vorbis images made by the tests from sine WAV images with oggenc
// (vorbis-tools, installed by the project's script).
#pragma once
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "unit/audio/sine_wav.h"

extern char** environ;

namespace testogg {

// The WAV image encoded at a high quality, so that a sine stays close to
// its waveform; empty when oggenc fails.
inline testwav::Bytes Encode(const testwav::Bytes& wav) {
  namespace fs = std::filesystem;
  static int serial = 0;
  const fs::path dir = fs::temp_directory_path() /
                       ("tw-ogg-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
  fs::create_directories(dir);
  const std::string in = (dir / "in.wav").string(), out = (dir / "out.ogg").string();
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
  std::string prog = "oggenc", quiet = "-Q", q = "-q", level = "8", o = "-o", serial_flag = "-s", seed = "1";
  char* argv[] = {prog.data(),
                  quiet.data(),
                  serial_flag.data(),
                  seed.data(),
                  q.data(),
                  level.data(),
                  o.data(),
                  const_cast<char*>(out.c_str()),
                  const_cast<char*>(in.c_str()),
                  nullptr};
  pid_t pid = 0;
  testwav::Bytes ogg;
  if (posix_spawnp(&pid, "oggenc", nullptr, nullptr, argv, environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      std::ifstream f(out, std::ios::binary);
      ogg.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
  }
  fs::remove_all(dir);
  return ogg;
}

inline testwav::Bytes Sine(double frequency, double amplitude, int rate, int frames) {
  return Encode(testwav::Sine(frequency, amplitude, rate, frames));
}

}  // namespace testogg
