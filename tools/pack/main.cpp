// tw-pack DESCRIPTION -o OUT.win: builds a container from a text description
// (DESCRIPTION may be '-' for standard input).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "pack.h"

namespace {

int Fail(const std::string& message) {
  std::cerr << "tw-pack: " << message << "\n";
  return 1;
}

bool ReadAll(const std::string& path, std::string& out) {
  FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  const bool ok = !std::ferror(f);
  if (f != stdin) std::fclose(f);
  return ok;
}

// Writes to a temporary file beside `path` and renames it over, so a reader
// never sees a half-written container and a failure leaves the old one.
bool WriteAtomically(const std::string& path, const std::vector<uint8_t>& data, std::string& error) {
  // The rename would replace a device or pipe (say /dev/stdout) with a file.
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = "'" + path + "' is not a regular file";
    return false;
  }
  std::string tmp = path + ".XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) {
    error = "cannot create a temporary file for '" + path + "': " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  bool ok = fchmod(fd, 0666 & ~mask) == 0;
  for (size_t done = 0; ok && done < data.size();) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += size_t(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    unlink(tmp.c_str());
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, output;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else if (input.empty() && (arg == "-" || arg[0] != '-')) {
      input = arg;
    } else {
      input.clear();
      break;
    }
  }
  if (input.empty() || output.empty()) return Fail("usage: tw-pack DESCRIPTION -o OUT.win");

  std::string text;
  if (!ReadAll(input, text)) return Fail("cannot read '" + input + "': " + std::strerror(errno));

  std::vector<uint8_t> data;
  try {
    const size_t slash = input.find_last_of('/');
    data = twpack::BuildFromDescription(text, slash == std::string::npos ? "." : input.substr(0, slash));
  } catch (const twpack::PackError& e) {
    return Fail(e.what());
  }
  std::string error;
  if (!WriteAtomically(output, data, error)) return Fail(error);
  return 0;
}
