# shellcheck shell=bash
# Shared by the project's commands: finds or installs what the build needs.
# Sourced, not run.

set -euo pipefail

TAVRIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TAVRIK_ROOT

# Debian 12 packages the build, the tests and the benchmarks use.
TAVRIK_PACKAGES=(
  g++ cmake make openjdk-17-jdk-headless googletest libgtest-dev junit5
  libbenchmark-dev libboost-graph-dev libjgrapht-java lcov clang libclang-rt-14-dev shellcheck
  librsvg2-bin fonts-dejavu-core
)

tavrik_install_missing() {
  local missing=()
  for p in "${TAVRIK_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
      echo "Installing: ${missing[*]}"
      export DEBIAN_FRONTEND=noninteractive
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
