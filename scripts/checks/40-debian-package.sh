#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user meets it: built with cpack from the main build
# folder (the native build after the checks finds everything built), checked
# with lintian (no errors), installed on this machine with its dependencies,
# both programs run from their installed paths, the manual page rendered,
# the desktop entry validated, and the package removed again without a trace.
# Installing needs root: sudo is used when not root, as bootstrap does.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-2}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"
rm -rf "$BUILD_DIR/package"
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb="$(ls "$PWD/$BUILD_DIR"/package/flashquill_*.deb)"
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends

# Errors and warnings fail the run; notes are shown.
lintian --fail-on error,warning "$deb" || { echo "lintian found errors or warnings"; exit 1; }

scratch="$(mktemp -d)"
remove_package() {
  if dpkg-query -W -f='${Status}' flashquill 2>/dev/null | grep -q "install ok installed"; then
    $SUDO apt-get purge -y -qq flashquill >/dev/null
  fi
  rm -rf "$scratch"
}
trap remove_package EXIT
remove_package
scratch="$(mktemp -d)"

$SUDO apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
installed=(
  /usr/bin/flashquill /usr/bin/flashquill-cli
  /usr/share/applications/io.github.flashquill.flashquill.desktop
  /usr/share/metainfo/io.github.flashquill.flashquill.metainfo.xml
  /usr/share/bash-completion/completions/flashquill-cli
  /usr/share/zsh/vendor-completions/_flashquill-cli
  /usr/share/fish/vendor_completions.d/flashquill-cli.fish
  /usr/share/icons/hicolor/scalable/apps/flashquill.svg
  /usr/share/icons/hicolor/48x48/apps/flashquill.png
  /usr/lib/udev/rules.d/60-bridgewick-cable.rules
  /usr/share/flashquill/games/demo32.gb
)
for f in "${installed[@]}"; do
  [ -e "$f" ] || { echo "not installed: $f"; exit 1; }
done
grep -q 'TAG+="uaccess"' /usr/lib/udev/rules.d/60-bridgewick-cable.rules

# The programs from their installed paths, as the user (not root) runs them.
/usr/bin/flashquill --help | grep -q -- "--demo"
/usr/bin/flashquill-cli --emulate="$scratch/card" info | tee "$scratch/info"
grep -q . "$scratch/info"
/usr/bin/flashquill-cli --emulate="$scratch/card" --yes write \
  /usr/share/flashquill/games/demo32.gb /usr/share/flashquill/games/demo64.gb >/dev/null
/usr/bin/flashquill-cli --emulate="$scratch/card" list | grep -q "FQ DEMO TWO"

desktop-file-validate /usr/share/applications/io.github.flashquill.flashquill.desktop
# The software-centre metadata: no error, no warning (notes are shown).
appstreamcli validate --no-net --strict /usr/share/metainfo/io.github.flashquill.flashquill.metainfo.xml
# The licence and the change log from NEWS, as the package carries them.
grep -q "^License: GPL-3+" /usr/share/doc/flashquill/copyright
zcat /usr/share/doc/flashquill/changelog.gz | head -n 1 | grep -q "^flashquill ($(dpkg-deb --field "$deb" Version)) "
/usr/bin/flashquill-cli --version | grep -q "GPL version 3 or later"

# Machines that leave manual pages out of every package (dpkg path-exclude)
# get the page rendered from the package's own copy.
if [ -e /usr/share/man/man1/flashquill-cli.1.gz ]; then
  MANWIDTH=80 man -P cat flashquill-cli 2>"$scratch/man-warnings" >"$scratch/man"
else
  echo "manual pages are excluded from installs here: rendering the package's copy"
  dpkg-deb -x "$deb" "$scratch/unpacked"
  MANWIDTH=80 man -P cat -l "$scratch/unpacked/usr/share/man/man1/flashquill-cli.1.gz" 2>"$scratch/man-warnings" >"$scratch/man"
fi
grep -q "flashquill-cli - the Flashquill card work from a shell" "$scratch/man"
# The page's own mistakes are lintian's to report; here it only has to render.
[ ! -s "$scratch/man-warnings" ] || cat "$scratch/man-warnings"

$SUDO apt-get purge -y -qq flashquill >/dev/null
for f in "${installed[@]}" /usr/share/man/man1/flashquill-cli.1.gz /usr/share/doc/flashquill; do
  [ ! -e "$f" ] || { echo "left behind after removal: $f"; exit 1; }
done
echo "debian package: built, lintian clean of errors, installed, run and removed"
