#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr, as the package lays it
# out, and checks the installed tree: the desktop entry and the metainfo pass
# their validators and name what is installed, every icon is a PNG of its size,
# the man page renders without warnings and the installed command line runs and
# draws.
# Usage: check-install.sh BUILD_DIR APP_ID VERSION "ICON_SIZES"
set -euo pipefail
build=$1 app_id=$2 version=$3 icon_sizes=$4

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for program in oscalyx oscalyx-cli; do
  if [ ! -x "$usr/bin/$program" ]; then fail "bin/$program is not installed"; continue; fi
  if ldd "$usr/bin/$program" | grep -q 'not found'; then fail "bin/$program needs a library that is missing"; fi
done

desktop=$usr/share/applications/oscalyx.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses oscalyx.desktop"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$usr/bin/$exec_program" ] || fail "the desktop entry starts '$exec_program', which is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon '$icon' has no SVG"

metainfo=$usr/share/metainfo/$app_id.metainfo.xml
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli refuses $app_id.metainfo.xml"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -n "$launchable" ] && [ -f "$usr/share/applications/$launchable" ] \
  || fail "the metainfo launches '$launchable', which is not installed"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo lists no release $version"

# A PNG starts with its 8-byte signature and the IHDR chunk, whose data opens
# with the width and the height as 4-byte big-endian numbers.
png_size() {
  od -An -tu1 -N24 "$1" | tr -s ' \n' ' ' | awk '{
    if ($1 != 137 || $2 != 80 || $3 != 78 || $4 != 71 || $13 != 73 || $14 != 72 || $15 != 68 || $16 != 82) { print "not-a-png"; exit }
    printf "%dx%d\n", (($17 * 256 + $18) * 256 + $19) * 256 + $20, (($21 * 256 + $22) * 256 + $23) * 256 + $24 }'
}
for size in $icon_sizes; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
  if [ ! -f "$png" ]; then fail "no ${size}x${size} icon"; continue; fi
  actual=$(png_size "$png")
  [ "$actual" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $actual"
done

manpage=$usr/share/man/man1/oscalyx-cli.1
if [ -f "$manpage" ]; then
  warnings=$(MANWIDTH=80 man --warnings -l "$manpage" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the man page renders with warnings: $warnings"
else
  fail "the man page of oscalyx-cli is not installed"
fi

reported=$("$usr/bin/oscalyx-cli" --version) || fail "the installed oscalyx-cli --version exits with $?"
[ "$(printf '%s\n' "$reported" | head -n 1)" = "oscalyx-cli $version" ] ||
  fail "the installed oscalyx-cli --version prints '$reported'"
for sample in sample0.csv sample1.dbl sample2.csv; do
  [ -f "$usr/share/oscalyx/sample/$sample" ] || fail "the sample $sample is not installed where the help text says"
done
# The command line loads its drawing module from the installed tree.
source_dir=$(cd "$(dirname "$0")/.." && pwd)
if "$usr/bin/oscalyx-cli" plot "$source_dir/sample/sample0.csv" "$root/plot.png" --start 2000 --fit 2>"$root/plot.err"; then
  cmp -s "$root/plot.png" "$source_dir/docs/sample0-fit.png" || fail "the installed oscalyx-cli plot draws another picture"
else
  fail "the installed oscalyx-cli plot fails: $(cat "$root/plot.err")"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of the installed tree failed"
  exit 1
fi
echo "installed tree checked: $(find "$usr" -type f | wc -l) files"
