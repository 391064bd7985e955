#!/usr/bin/env bash
# What building and testing Dovex needs, named by Debian package.
#
#   tools/requirements.sh check           stops with the list of what is missing
#   tools/requirements.sh install [fuzz]  installs what is missing with apt-get
#                                         ("fuzz": also clang for fuzz/smoke.sh)
#
# The check probes for the programs and headers themselves, so it answers the
# same on machines where they came from elsewhere than Debian packages.
set -euo pipefail
mode="${1:-check}"
cxx="${CXX:-c++}"

have_program() { command -v "$1" >/dev/null 2>&1; }
compiles() { printf '%b\n' "$1" | "$cxx" -std=c++20 -x c++ -fsyntax-only - >/dev/null 2>&1; }

missing=()
have_program cmake || missing+=(cmake)
have_program ninja || missing+=(ninja-build)
if ! have_program "$cxx" || ! compiles 'int main() { return 0; }'; then
  missing+=(g++)
else
  compiles '#include <gtest/gtest.h>' || missing+=(libgtest-dev)
  compiles '#include <cstdio>\n#include <readline/readline.h>' || missing+=(libreadline-dev)
fi
# dovex-mpi and its tests: OpenMPI's launcher and its compiler wrapper's headers.
have_program mpirun || missing+=(openmpi-bin)
compiles '#include <mpi.h>' || [ -e /usr/lib/x86_64-linux-gnu/openmpi/include/mpi.h ] \
  || [ -n "$(find /usr/lib -path '*openmpi/include/mpi.h' -print -quit 2>/dev/null)" ] || missing+=(libopenmpi-dev)
have_program tmux || missing+=(tmux)
have_program python3 || missing+=(python3)
have_program rsvg-convert || missing+=(librsvg2-bin)
have_program man || missing+=(man-db)
# The notebook kernel, its example notebooks and the .npy tests run on
# Debian's own Python, whatever python3 comes first on PATH.
debian_python=/usr/bin/python3
has_module() { [ -x "$debian_python" ] && "$debian_python" -c "import $1" >/dev/null 2>&1; }
has_module numpy || missing+=(python3-numpy)
has_module ipykernel || missing+=(python3-ipykernel)
has_module jupyter_client || missing+=(python3-jupyter-client)
has_module nbconvert || missing+=(jupyter-nbconvert)
has_module notebook || missing+=(jupyter-notebook)
has_module selenium || missing+=(python3-selenium)
have_program chromium || missing+=(chromium)
have_program chromedriver || missing+=(chromium-driver)
if [ "${2:-}" = fuzz ]; then
  fuzz_probe='extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }'
  if ! have_program clang++; then
    missing+=(clang libclang-rt-dev)
  elif ! echo "$fuzz_probe" | clang++ -fsanitize=fuzzer,address -x c++ - -o /dev/null >/dev/null 2>&1; then
    missing+=(libclang-rt-dev)
  fi
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
case "$mode" in
  check)
    echo "Missing for the build and tests: ${missing[*]}" >&2
    echo "On Debian or Ubuntu: sudo apt-get install ${missing[*]}" >&2
    echo "(or: tools/requirements.sh install)" >&2
    exit 1
    ;;
  install)
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
    ;;
  *)
    echo "usage: tools/requirements.sh check | install [fuzz]" >&2
    exit 2
    ;;
esac
