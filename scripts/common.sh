# shellcheck shell=bash disable=SC2034
# Shared by the project's commands: finds or installs what the build needs.
# Sourced, not run.

set -euo pipefail

TAVRIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TAVRIK_ROOT

# Debian 12 packages, by what needs them. Each command installs its own list
# (the lists are used by the scripts that source this file).
# The library and the host application (scripts/demo; a font for the PNG maps' labels):
TAVRIK_DEMO_PACKAGES=(g++ cmake make openjdk-17-jdk-headless libpicocli-java libjline3-java fonts-dejavu-core)
# The tests (scripts/test, CI): every build of the project plus the test tools.
# (rsvg-convert renders the route map's SVG in its test.)
# The linux-aarch64 library of the jar: the cross compiler, and for its test
# qemu-user with Debian's arm64 JVM (multiarch: arm64 is added to dpkg's
# architectures when missing). The Maven consumer test: Maven and the plugins
# it runs offline. unzip reads the jars in the packaging checks.
TAVRIK_CROSS_PACKAGES=(g++-aarch64-linux-gnu)
TAVRIK_TEST_PACKAGES=("${TAVRIK_DEMO_PACKAGES[@]}" "${TAVRIK_CROSS_PACKAGES[@]}" googletest libgtest-dev junit5 shellcheck
  librsvg2-bin unzip qemu-user openjdk-17-jre-headless:arm64
  maven libmaven-install-plugin-java libmaven-compiler-plugin-java libmaven-resources-plugin-java libexec-maven-plugin-java)
# The benchmarks (scripts/bench) and the one-shot command timing.
TAVRIK_BENCH_PACKAGES=("${TAVRIK_DEMO_PACKAGES[@]}" "${TAVRIK_CROSS_PACKAGES[@]}" libbenchmark-dev libboost-graph-dev
  libjgrapht-java hyperfine libsqlite3-dev liblmdb-dev)
# Fuzzing (clang's libFuzzer) and coverage (scripts/fuzz, scripts/coverage).
TAVRIK_FUZZ_COVERAGE_PACKAGES=("${TAVRIK_TEST_PACKAGES[@]}" clang libclang-rt-14-dev gcovr)

# Installs the packages given (default: the tests' list) that are missing, and
# sets JAVA_HOME to the JDK 17.
tavrik_install_missing() {
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${TAVRIK_TEST_PACKAGES[@]}")
  local missing=() installed
  # One dpkg-query for the whole list; unknown names print nothing and count as missing.
  # A name with an architecture (name:arm64) is matched as such.
  installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Package}:${Architecture}\n' "${wanted[@]}" 2>/dev/null |
    awk '$1 == "ii" {print $2; print $3}') || true
  for p in "${wanted[@]}"; do
    grep -qxF -- "$p" <<<"$installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
      echo "Installing: ${missing[*]}" >&2
      export DEBIAN_FRONTEND=noninteractive
      local p
      for p in "${missing[@]}"; do
        case $p in
          *:arm64)
            dpkg --print-foreign-architectures | grep -qx arm64 || dpkg --add-architecture arm64
            ;;
        esac
      done
      apt-get update -qq
      apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    else
      echo "Missing Debian packages (run as root, or: sudo apt-get install ${missing[*]})" >&2
      exit 1
    fi
  fi
  # The JDK 17 that the build and the tests run on, whatever else is installed.
  if [ -z "${JAVA_HOME:-}" ] || [ ! -x "$JAVA_HOME/bin/javac" ] || ! "$JAVA_HOME/bin/java" -version 2>&1 | grep -q '"17'; then
    JAVA_HOME=/usr/lib/jvm/java-17-openjdk-$(dpkg --print-architecture)
  fi
  export JAVA_HOME
  export PATH="$JAVA_HOME/bin:$PATH"
}

# Configures and builds one preset: tavrik_build PRESET
tavrik_build() {
  local preset=$1
  # Presets are read from the working directory: run from the project's root
  # whatever directory the command was started in.
  (cd "$TAVRIK_ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2)
}

# Builds one preset quietly: one line per stage on stderr, the log only when a
# stage fails. tavrik_build_quietly PRESET WHAT
tavrik_build_quietly() {
  local preset=$1 what=$2 log="$TAVRIK_ROOT/build/$1.log"
  mkdir -p "$TAVRIK_ROOT/build"
  echo "Configuring $what (cmake --preset $preset)..." >&2
  if ! (cd "$TAVRIK_ROOT" && cmake --preset "$preset") >"$log" 2>&1; then
    cat "$log" >&2
    echo "Configuring failed; the log above is also in $log" >&2
    return 1
  fi
  echo "Building $what (make -j2; the first build takes a minute or so)..." >&2
  if ! (cd "$TAVRIK_ROOT" && cmake --build --preset "$preset" -j2) >>"$log" 2>&1; then
    cat "$log" >&2
    echo "Building failed; the log above is also in $log" >&2
    return 1
  fi
}

# True when no file of the project has changed since the stamp was made: any
# file or folder outside build/ and .git/ newer than it means something was
# edited, added or removed (removing a file changes its folder's time).
tavrik_unchanged_since() {
  local stamp=$1
  [ -f "$stamp" ] || return 1
  [ -z "$(find "$TAVRIK_ROOT" \( -path "$TAVRIK_ROOT/build" -o -path "$TAVRIK_ROOT/.git" \) -prune \
    -o -newer "$stamp" -print -quit)" ]
}
