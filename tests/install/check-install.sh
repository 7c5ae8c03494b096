#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that the program, its
# desktop entry, its icons, manual page, metadata and sample lesson are there
# and fit together: the entry validates, and its Exec and Icon name the
# installed program and icon.
#
# Usage: check-install.sh BUILD_DIR BINDIR DATADIR [DESKTOP_FILE_VALIDATE]
set -euo pipefail
build=$1 bindir=$2 datadir=$3 validate=${4:-}

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
program=$prefix/$bindir/qalesson
entry=$prefix/$datadir/applications/qalesson.desktop
icon=$prefix/$datadir/icons/hicolor/scalable/apps/qalesson.svg
[ -x "$program" ] || fail "no program at $program"
[ -f "$entry" ] || fail "no desktop entry at $entry"
[ -s "$icon" ] || fail "no icon at $icon"
[ -f "$prefix/$datadir/qalesson/lessons/sample.txt" ] || fail "no sample lesson"
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/$datadir/icons/hicolor/${size}x$size/apps/qalesson.png
  [ -s "$png" ] || fail "no ${size}x$size icon"
  [ "$(identify -format '%m %wx%h' "$png")" = "PNG ${size}x$size" ] || fail "$png: $(identify "$png")"
done
gzip -t "$prefix/$datadir/man/man1/qalesson.1.gz" || fail "no manual page"
if [ -x "$build/qalesson-report" ]; then
  gzip -t "$prefix/$datadir/man/man1/qalesson-report.1.gz" || fail "no manual page of qalesson-report"
  [ -x "$prefix/$bindir/qalesson-report" ] || fail "qalesson-report not installed"
fi
ls "$prefix/$datadir"/metainfo/*.metainfo.xml >/dev/null || fail "no AppStream metadata"
[ -s "$prefix/$datadir/doc/qalesson/copyright" ] || fail "no copyright file"

# Each program's desktop entry validates, names the program and its icon,
# and is in the menu's Education; the desk takes no file type for "Open
# with" (a spreadsheet stays with its own program).
check_entry() { # ENTRY PROGRAM ICON CATEGORIES
  local entry=$1 program=$2 icon=$3
  if [ -n "$validate" ]; then
    "$validate" "$entry" || fail "$entry does not validate"
  else
    echo "desktop-file-validate not found; $entry not validated"
  fi
  value() { sed -n "s/^$1=//p" "$entry"; }
  [ "$(value Exec | cut -d' ' -f1)" = "$(basename "$program")" ] || fail "$entry: Exec does not name the program"
  [ "$(value Icon)" = "$(basename "$icon" .svg)" ] || fail "$entry: Icon does not name the icon"
  [ "$(value Categories)" = "$4" ] || fail "$entry: Categories is $(value Categories)"
  grep -q '<svg' "$icon" || fail "$icon is not SVG"
}
check_entry "$entry" "$program" "$icon" "Education;"
if [ -x "$build/qalesson-desk" ]; then
  desk=$prefix/$bindir/qalesson-desk
  [ -x "$desk" ] || fail "qalesson-desk not installed"
  desk_entry=$prefix/$datadir/applications/qalesson-desk.desktop
  desk_icon=$prefix/$datadir/icons/hicolor/scalable/apps/qalesson-desk.svg
  [ -f "$desk_entry" ] || fail "no desktop entry of the desk"
  [ -s "$desk_icon" ] || fail "no icon of the desk"
  gzip -t "$prefix/$datadir/man/man1/qalesson-desk.1.gz" || fail "no manual page of qalesson-desk"
  check_entry "$desk_entry" "$desk" "$desk_icon" "Education;"
  ! grep -q '^MimeType=' "$desk_entry" || fail "the desk's entry takes file types"
fi

# The installed program runs on its own: it answers --version without a display.
"$program" --version | grep -q '^qalesson [0-9]' || fail "installed program does not run"
echo "installed into $prefix: ok"
