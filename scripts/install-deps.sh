#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  python3
  tzdata  # the zones the date built-ins split moments in; the date tests run in fixed zones
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl1 libegl-mesa0
  zenity  # SDL shows its message boxes through it; no dialog appears without it
  libpng-dev zlib1g-dev libjpeg62-turbo-dev libgif-dev
  libfreetype-dev  # fonts added at run time
  nettle-dev  # MD5 and SHA-1 digests of buffers and texts
  libjson-c-dev  # json_encode and json_decode
  libopenal-dev libalut-dev libogg-dev libvorbisidec-dev  # audio: OpenAL output, WAV images, Ogg Vorbis decoding
  vorbis-tools  # build: encodes the embedded game's music; tests: the Ogg fixtures
  libmpg123-dev  # audio: MP3 music decoding
  lame  # tests: encodes the MP3 fixtures
  libcurl4-openssl-dev  # HTTP requests
  fonts-dejavu-core  # tests: a font to add; the built-in font's face (tools/fontgen)
  imagemagick  # tests: reads back the PNGs the engine writes; makes the image fixtures
  xvfb xauth xdotool libglx-mesa0  # tests: a real X window driven by simulated keys and clicks
  libglm-dev  # tests: the oracle of the matrix builders
  liblua5.4-dev  # bench: the yardstick of the script benchmark
  love  # bench: the yardstick of the bunnymark
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
