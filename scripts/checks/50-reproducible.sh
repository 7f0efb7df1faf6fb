#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package rebuilt from the same commit gives the same bytes: two
# builds from nothing of only what the package holds (no tests), in build
# folders of different paths, at different times (the second with its clock
# a week ahead, with faketime), with different umasks, time zones and
# locales, the second as another user when this runs as root and without
# the compiler cache, so that no object of the first can stand in for one of
# its own (the first may use the cache, but not its base folder, whose
# relative paths would end up in the debugging information). Both take
# their dates from SOURCE_DATE_EPOCH, the time of the last commit. The two
# .deb files must be identical; diffoscope shows what differs when they are
# not. The script says how long it took.
#
# cpack makes each package under umask 022: CMake's DEB writer puts the
# modes of its own temporary files, which follow the umask, into the ar
# headers of the .deb (dpkg ignores them). The builds themselves run under
# both umasks.
#
# With FQ_CHECK_REPRODUCIBLE_WINDOWS=1 the Windows installer is compared
# too: the installer of the cross build that 10-win64-core.sh made against
# one of a second cross build made the way of the second package. It costs
# a second cross build, so it is not part of every run.
# FQ_CHECK_REPRODUCIBLE=0 skips the whole check.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "${FQ_CHECK_REPRODUCIBLE:-1}" = 0 ]; then
  echo "reproducibility: skipped (FQ_CHECK_REPRODUCIBLE=0)"
  exit 0
fi
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-2}"
top="$PWD"
main="$(mkdir -p "$BUILD_DIR" && cd "$BUILD_DIR" && pwd)"
work="$main-reproducible"
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null || date -d "$(sed -n 's/^[0-9.]* (\([0-9-]*\))$/\1/p' NEWS | head -n 1)" +%s)"
export SOURCE_DATE_EPOCH PYTHONDONTWRITEBYTECODE=1
started=$SECONDS

rm -rf "$work"
mkdir -p "$work/first" "$work/second/a/much/longer/path"
second_dir="$work/second/a/much/longer/path"

# The second build's surroundings: another user, the clock ahead.
as_other=()
nobody=(setpriv --reuid=nobody --regid="$(id -g nobody 2>/dev/null || echo 65534)" --clear-groups --)
if [ "$(id -u)" -eq 0 ] && getent passwd nobody >/dev/null &&
   "${nobody[@]}" test -r "$top/CMakeLists.txt" -a -x "$top/scripts" -a -x "$work/second"; then
  chown -R nobody "$work/second"
  as_other=("${nobody[@]}")
  other_user="as nobody"
elif [ "$(id -u)" -eq 0 ]; then
  other_user="as the same user (nobody cannot read the sources in $top)"
else
  other_user="as the same user (not root, so no other user to build as)"
fi
clock=()
if command -v faketime >/dev/null; then
  clock=(faketime -f "+7d")
else
  echo "faketime is not installed: the second build runs at the real time"
fi
# elsewhere COMMAND...: runs COMMAND in the second build's surroundings
# (under umask 002, or $MASK).
elsewhere() {
  (umask "${MASK:-002}" && env HOME="$work/second" CCACHE_DISABLE=1 TZ=Pacific/Auckland LC_ALL=C.UTF-8 \
    ${as_other[@]+"${as_other[@]}"} ${clock[@]+"${clock[@]}"} "$@")
}
# compare WHAT FIRST SECOND: the verdict on two files, with diffoscope's
# account of what differs.
failures=0
compare() {
  if cmp -s "$2" "$3"; then
    echo "reproducible: $1 $(basename "$2") is the same in both builds ($(sha256sum <"$2" | cut -c1-16))"
    return
  fi
  echo "NOT reproducible: the two builds of $1 $(basename "$2") differ"
  if command -v diffoscope >/dev/null; then
    diffoscope --text - --max-report-size 400000 "$2" "$3" || true
  fi
  failures=$((failures + 1))
}

# ---- the Debian package -------------------------------------------------------
# build FOLDER: configures and builds the package's files, then the package
# (under umask 022, see above).
build() {
  cmake -S "$top" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
  cmake --build "$1" -j "$JOBS" --target fq_package_files >/dev/null
  (cd "$1" && umask 022 && cpack -G DEB >/dev/null)
  ls "$1"/package/flashquill_*.deb
}
export -f build
export top JOBS

echo "first package: built from nothing in $work/first"
first="$(umask 022 && env -u CCACHE_BASEDIR TZ=UTC LC_ALL=C bash -c 'build "$0"' "$work/first")"
echo "second package: built from nothing in $second_dir, $other_user"
second="$(elsewhere bash -c 'build "$0"' "$second_dir")"
compare "the Debian package" "$first" "$second"
echo "the Debian package's check took $((SECONDS - started)) s"

# ---- the Windows installer, when asked for --------------------------------------
if [ "${FQ_CHECK_REPRODUCIBLE_WINDOWS:-0}" = 1 ]; then
  win_started=$SECONDS
  win_first=""
  # Made again where the sources changed since 10-win64-core.sh made it.
  if [ -f "$main-win64/build.ninja" ] && cmake --build "$main-win64" -j "$JOBS" --target windows_installer >/dev/null; then
    win_first="$(ls "$main-win64"/Flashquill-Setup-*.exe 2>/dev/null | head -n 1 || true)"
  fi
  if [ -z "$win_first" ]; then
    echo "no Windows installer in $main-win64 (10-win64-core.sh makes it): not compared"
    failures=$((failures + 1))
  else
    win_dir="$work/second/windows/build"
    elsewhere mkdir -p "$win_dir"
    echo "second Windows installer: cross-built from nothing in $win_dir, $other_user"
    elsewhere cmake -S "$top" -B "$win_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
      -DFQ_CORE_ONLY=ON >/dev/null
    elsewhere cmake --build "$win_dir" -j "$JOBS" --target windows_installer >/dev/null
    compare "the Windows installer" "$win_first" "$(ls "$win_dir"/Flashquill-Setup-*.exe)"
    echo "the Windows installer's check took $((SECONDS - win_started)) s"
  fi
fi

if [ "$failures" = 0 ]; then
  rm -rf "$work"
  exit 0
fi
exit 1
