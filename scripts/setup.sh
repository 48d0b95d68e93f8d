#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, only when missing.
set -eu
packages=(cmake make g++ g++-mingw-w64-x86-64-posix doctest-dev wine wine64 xvfb xauth
  fonts-ipafont-gothic locales imagemagick libasound2 sox libsox-fmt-all espeak-ng ffmpeg python3 clang libclang-rt-14-dev
  asterisk-core-sounds-en-wav asterisk-core-sounds-en alsa-utils warzone2100-music nodejs xdotool mpg123 zip unzip
  pkg-config libavformat-dev libavcodec-dev libswresample-dev libavutil-dev pulseaudio pulseaudio-utils
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav)
# Wine's Media Foundation decodes through GStreamer: -good (MP3, FLAC, MP4), -libav (AAC, ALAC),
# -ugly with libav (WMA). -bad on its own decodes AAC to the wrong length, so it is not asked for.
# pulseaudio: a sound server with a null sink gives Wine a real device for the long run (scripts/stress_long.sh).
# Node from elsewhere may bring its own npm, which Debian's npm package conflicts with.
command -v npm >/dev/null || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
