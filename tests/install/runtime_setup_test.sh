#!/usr/bin/env bash
# scripts/run installs only what building and running the program needs: its
# setup path (scripts/setup --runtime) is run with apt-get, sudo, dpkg-query,
# cmake and the model fetch stood in for, on a machine where nothing is
# installed, and every package it asks apt-get for is checked against the
# test bed (the test_packages list of scripts/setup, and the kinds of package
# a musician's desktop must never get from it). The full setup is run the same
# way, so that the check cannot pass because nothing was asked for.
# Usage: runtime_setup_test.sh SOURCE_DIR
set -euo pipefail
source_dir=${1:?source directory}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "runtime setup: $*" >&2
  exit 1
}

grep -q '^scripts/setup --runtime$' "$source_dir/scripts/run" || fail "scripts/run does not call scripts/setup --runtime"

# A copy of the setup script in a tree of its own, beside stand-ins.
mkdir -p "$work/tree/scripts" "$work/bin"
cp "$source_dir/scripts/setup" "$work/tree/scripts/setup"
printf '#!/bin/sh\nexit 0\n' >"$work/tree/scripts/fetch-models"
stand_in() { # name body
  printf '#!/bin/sh\n%s\n' "$2" >"$work/bin/$1"
  chmod +x "$work/bin/$1"
}
stand_in apt-get 'echo "$*" >>"$ASKED"'
stand_in sudo 'exec "$@"'
stand_in dpkg-query 'exit 1' # nothing is installed
stand_in cmake 'echo "$*" >>"$CONFIGURED"'
stand_in dkms 'exit 0'
stand_in modinfo 'exit 0'
chmod +x "$work/tree/scripts/setup" "$work/tree/scripts/fetch-models"

# The packages one setup run asks apt-get to install.
asked() {
  : >"$work/asked"
  : >"$work/configured"
  ASKED="$work/asked" CONFIGURED="$work/configured" PATH="$work/bin:$PATH" "$work/tree/scripts/setup" "$@" >/dev/null
  grep '^install ' "$work/asked" | tr ' ' '\n' | grep -v -- '^-' | grep -v '^install$' | sort -u
}

test_bed=$(sed -n '/^test_packages=(/,/^)/p' "$source_dir/scripts/setup" | sed '1d;$d' | tr ' ' '\n' | grep . | sort -u)
[ -n "$test_bed" ] || fail "no test_packages list in scripts/setup"

runtime=$(asked --runtime)
[ -n "$runtime" ] || fail "scripts/setup --runtime asked for no package"
grep -q -- '-DVANTOR_BUILD_TESTS=OFF' "$work/configured" || fail "the runtime build is configured with its tests"
bad=$(comm -12 <(echo "$runtime") <(echo "$test_bed"))
# Whatever the lists say: no kernel, virtual machine, compositor, virtual X server, test framework, fuzzer,
# packaging tool, sound server or npm.
bad+=$(echo "$runtime" | grep -E '^(linux-(image|headers)|qemu|busybox|sway|weston|xvfb|xdotool|imagemagick|googletest|libgtest|libgmock|libbenchmark|clang|libclang|dpkg-dev|appstream|desktop-file-utils|pipewire|wireplumber|jackd|nodejs|npm)' || true)
[ -z "$bad" ] || fail "scripts/setup --runtime asks for test packages: $(echo $bad)"

full=$(asked)
missing=$(comm -23 <(echo "$test_bed") <(echo "$full"))
[ -z "$missing" ] || fail "the full setup does not ask for: $(echo $missing)"
grep -q -- '-DVANTOR_BUILD_TESTS=ON' "$work/configured" || fail "the full build is configured without its tests"
echo "runtime setup: $(echo "$runtime" | wc -l) packages, none of the test bed's $(echo "$test_bed" | wc -l)"
