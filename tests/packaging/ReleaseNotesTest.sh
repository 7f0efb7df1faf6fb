#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# NEWS, the one change log, and what is made from it: the metadata the build
# made is valid for software centres and names this version and the cable's
# USB numbers; faults in a NEWS are refused with their line, nothing written.
#   ReleaseNotesTest.sh RELEASE_NOTES_SCRIPT METAINFO VERSION VENDOR PRODUCT
set -uo pipefail
script="$1" metainfo="$2" version="$3" vendor="${4^^}" product="${5^^}"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli finds fault with $metainfo"
else
  echo "appstreamcli is not installed: the metadata is not validated"
fi
grep -q "<release version=\"$version\" date=\"[0-9-]*\">" "$metainfo" || fail "the metadata has no release $version"
grep -q "<modalias>usb:v${vendor}p${product}d\*</modalias>" "$metainfo" || fail "the metadata does not provide for usb:v${vendor}p${product}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
good=$'2.0.0.1 (2027-01-02)\n--------------------\n\n* New & better: <fast>.\n  Continued.\n\n1.0.0.0 (2026-01-01)\n--------------------\n\n* First.\n'
printf '%s' "$good" >"$scratch/NEWS"
python3 "$script" "$scratch/NEWS" --version 2.0.0.1 --changelog "$scratch/changelog" \
  --maintainer "Someone <someone@example.org>" --metainfo-releases "$scratch/releases.xml" || fail "a good NEWS is refused"
head -n 1 "$scratch/changelog" | grep -qx "flashquill (2.0.0.1) unstable; urgency=medium" || fail "changelog heading: $(head -n 1 "$scratch/changelog")"
grep -qx "  \* New & better: <fast>. Continued." "$scratch/changelog" || fail "changelog item not joined"
grep -qx " -- Someone <someone@example.org>  Sat, 02 Jan 2027 00:00:00 +0000" "$scratch/changelog" || fail "changelog trailer"
grep -q "<li>New &amp; better: &lt;fast&gt;. Continued.</li>" "$scratch/releases.xml" || fail "metadata item not escaped"
[ "$(grep -c '<release ' "$scratch/releases.xml")" = 2 ] || fail "both releases in the metadata"

# NEWS text | version asked for | what the refusal says
while IFS='|' read -r news asked said; do
  [ -z "$news" ] && continue
  printf '%b' "$news" >"$scratch/bad"
  rm -f "$scratch/out"
  if err="$(python3 "$script" "$scratch/bad" --version "$asked" --changelog "$scratch/out" --maintainer "A <a@b.c>" 2>&1)"; then
    fail "accepted: $news"
  elif [[ $err != *"$said"* ]]; then
    fail "for '$news' expected '$said', got '$err'"
  fi
  [ ! -e "$scratch/out" ] || fail "a change log was written for a refused NEWS: $news"
done <<'CASES'
1.0 (2026-01-01)\n* One.\n|2.0|the newest release is 1.0, but the project's version is 2.0
no release at all\n|1.0|no release found
1.0 (2026-13-01)\n* One.\n|1.0|bad:1: '2026-13-01' is no date
1.0 (2026-01-01)\n\n0.9 (2025-01-01)\n* One.\n|1.0|bad:3: release 1.0 has no items
1.0 (2026-01-01)\n* One.\n0.9 (2027-01-01)\n* Two.\n|1.0|bad:3: release 0.9 is dated after
1.0 (2026-01-01)\n* One.\n1.0 (2025-01-01)\n* Two.\n|1.0|bad:3: release 1.0 is listed twice
1.0 (2026-01-01)\n* One.\nstray words\n|1.0|bad:3: expected an item
1.0 (2026-01-01)\n|1.0|release 1.0 has no items
CASES
[ "$failures" = 0 ] && echo "release notes: metadata valid, NEWS read and refused as it should be"
exit $((failures > 0))
