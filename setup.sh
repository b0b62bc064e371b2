#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what Quillotone needs from Debian, builds it, then runs the program
# (./setup.sh run) or the whole test suite (./setup.sh test), or builds the
# Debian package (./setup.sh package).
set -euo pipefail
cd "$(dirname "$0")"

# Qt Linguist's tools compile the translations (qt6-tools-dev: its CMake
# package; qt6-l10n-tools: lrelease and lupdate); Qt's own translations give
# the boxes' buttons in the user's language.
build_packages=(g++ cmake make pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools
  qt6-translations-l10n libfluidsynth-dev fluid-soundfont-gm librtmidi-dev libjack-jackd2-dev
  libpulse-dev librsvg2-bin libsndfile1-dev libasound2-dev)
# The tests' own tools (tests/CMakeLists.txt names each one's package too); the
# window's tests read DejaVu Sans and a screen reader's view of the window.
test_packages=(libgtest-dev timgm6mb-soundfont pulseaudio pulseaudio-utils python3-mido jackd2
  sox fluidsynth aubio-tools clang libclang-rt-dev desktop-file-utils appstream
  man-db file pipewire pipewire-bin pipewire-pulse pipewire-jack wireplumber dbus procps fonts-dejavu-core xvfb
  at-spi2-core python3-pyatspi strace)
# Debian 13 moved JACK's command-line tools (jack_midi_dump, jack_connect) out
# of jackd2 into a package of their own.
[ "$(. /etc/os-release && echo "${VERSION_ID:-}")" = 12 ] || test_packages+=(jack-example-tools)
package_packages=(build-essential debhelper dpkg-dev lintian)

# missing PACKAGE...: those not installed.
missing() {
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      echo "$package"
  done
}

install_missing() {
  local missing
  mapfile -t missing < <(missing "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" ||
    { "${sudo[@]}" apt-get update -q && "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; }
}

# build DIR [CMAKE_OPTION...] [-- BUILD_OPTION...]; BUILD_SOURCE names another
# source folder, BUILD_JOBS how many jobs (all the cores by default).
build() {
  local dir=$1 configure=() options=()
  shift
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do configure+=("$1"); shift; done
  [ $# -gt 0 ] && shift && options=("$@")
  cmake -S "${BUILD_SOURCE:-.}" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}" \
    >/dev/null
  cmake --build "$dir" -j"${BUILD_JOBS:-$(nproc)}" "${options[@]}"
}

# build_behind DIR ARGS...: the build, as `build` makes it, in the background
# at the lowest priority, in a session of its own (so that a failure in front
# ends it too), its output in DIR.log; finish_behind waits for every one.
behind=()
build_behind() {
  setsid nice -n 19 "$0" build "$@" >"$1.log" 2>&1 &
  behind+=("$! $1")
}
finish_behind() {
  local job
  for job in "${behind[@]}"; do
    wait "${job%% *}" || { tail -n 60 "${job#* }.log"; echo "setup.sh: building ${job#* } failed"; exit 1; }
  done
  behind=()
}
trap 'for job in "${behind[@]}"; do kill -- -"${job%% *}" 2>/dev/null; done' EXIT

# Says how long the stage that just ended took.
stage_start=$SECONDS
stage() {
  echo "== $1: $((SECONDS - stage_start)) s"
  stage_start=$SECONDS
}

case "${1:-}" in
  build)
    # What build_behind runs: one build, nothing installed.
    build "${@:2}"
    ;;
  run)
    # Qt's Wayland plugin, for a Wayland desktop without XWayland.
    install_missing "${build_packages[@]}" qt6-wayland
    build build -DBUILD_TESTING=OFF
    exec build/app/quillotone "${@:2}"
    ;;
  test)
    install_missing "${build_packages[@]}" libgtest-dev
    stage "packages for the build"
    # The tests' own tools install while the plain build runs: it needs none
    # of them. sudo asks for its password here, not behind the build.
    if [ "$(id -u)" -ne 0 ] && [ -n "$(missing "${test_packages[@]}")" ]; then sudo -v; fi
    install_missing "${test_packages[@]}" >build-packages.log 2>&1 &
    packages=$!
    # The program as it ships (line tables only: the build is the tests' to run).
    build build-test -DQUILLOTONE_WERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
    stage "plain build"
    wait "$packages" ||
      { tail -n 30 build-packages.log; echo "setup.sh: installing the tests' packages failed"; exit 1; }
    stage "packages for the tests"
    # The suite mostly waits on servers and clocks: each sanitizer build is
    # made meanwhile, in the background at the lowest priority.
    build_behind build-asan -DQUILLOTONE_WERROR=ON -DQUILLOTONE_SANITIZE=address,undefined \
      -DQUILLOTONE_BENCHMARKS=OFF
    (cd build-test && ctest --output-on-failure -j2)
    stage "plain tests"
    # The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
    finish_behind
    build_behind build-tsan -DQUILLOTONE_WERROR=ON -DQUILLOTONE_SANITIZE=thread -- \
      --target audio_tests
    (cd build-asan && ctest --output-on-failure -j2)
    stage "AddressSanitizer + UndefinedBehaviorSanitizer"
    # ThreadSanitizer on the tests that reach other threads (labelled audio),
    # with the fuzzer and the benchmarks (on one core) built meanwhile.
    finish_behind
    BUILD_SOURCE=tests/fuzz build_behind build-fuzz -DCMAKE_CXX_COMPILER=clang++
    BUILD_JOBS=1 build_behind build-test -- --target benchmarks
    (cd build-tsan && ctest --output-on-failure -j2 -L audio)
    stage "ThreadSanitizer"
    # The command-line parser under libFuzzer, which comes with clang.
    finish_behind
    stage "fuzzer and benchmarks built"
    fuzz_seconds=${QUILLOTONE_FUZZ_SECONDS:-30}
    mkdir -p build-fuzz/corpus
    echo "Fuzzing the command line for ${fuzz_seconds} s"
    build-fuzz/command_line_fuzz -max_total_time="$fuzz_seconds" -print_final_stats=1 \
      -dict=tests/fuzz/command_line.dict -artifact_prefix=build-fuzz/ build-fuzz/corpus \
      </dev/null >build-fuzz/fuzz.log 2>&1 ||
      { tail -n 60 build-fuzz/fuzz.log; exit 1; }
    grep -E '^stat::number_of_executed_units' build-fuzz/fuzz.log
    stage "command-line fuzzing"
    echo "All passed in $SECONDS s."
    ;;
  package)
    install_missing "${build_packages[@]}" "${package_packages[@]}"
    # Built from a copy, so the checkout keeps no trace of the build; the
    # package lands next to the copy, in build-deb/.
    rm -rf build-deb && mkdir -p build-deb/quillotone
    tar --exclude=./.git --exclude='./build*' -cf - . | tar -xf - -C build-deb/quillotone
    (cd build-deb/quillotone && dpkg-buildpackage -us -uc -b -j"$(nproc)")
    lintian --fail-on error build-deb/quillotone_*.changes
    echo "Built: $(ls build-deb/quillotone_*.deb)"
    echo "Install it with: sudo apt install ./$(ls build-deb/quillotone_*.deb)"
    ;;
  *)
    echo "usage: $0 run | test | package" >&2
    exit 2
    ;;
esac
