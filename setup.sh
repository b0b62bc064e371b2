#!/usr/bin/env bash
# Installs what Quillotone needs from Debian, builds it, then runs the program
# (./setup.sh run) or the whole test suite (./setup.sh test).
set -euo pipefail
cd "$(dirname "$0")"

build_packages=(g++ cmake make pkg-config qt6-base-dev libfluidsynth-dev fluid-soundfont-gm
  librtmidi-dev libjack-jackd2-dev)
test_packages=(libgtest-dev timgm6mb-soundfont pulseaudio pulseaudio-utils python3-mido jackd2
  jack-tools)

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" ||
    { "${sudo[@]}" apt-get update -q && "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; }
}

build() {
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${@:2}" >/dev/null
  cmake --build "$1" -j"$(nproc)"
}

case "${1:-}" in
  run)
    install_missing "${build_packages[@]}"
    build build -DBUILD_TESTING=OFF
    exec build/app/quillotone "${@:2}"
    ;;
  test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    build build-test -DQUILLOTONE_WERROR=ON
    cd build-test && ctest --output-on-failure -j2
    ;;
  *)
    echo "usage: $0 run | test" >&2
    exit 2
    ;;
esac
