#!/usr/bin/env bash
# Checks the Debian package made by scripts/package: its fields, that it
# holds exactly what the install rules put there (so no test or benchmark)
# with Debian's owners and modes, that its desktop entry and AppStream
# metadata validate, that the program in it runs, that its dependencies are
# run-time packages only, also on a fresh system, and that lintian finds no
# error in it.
#
# Usage: check-package.sh DEB PACKAGE_BUILD_DIR
set -euo pipefail
deb=$1 tree=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = qalesson ] || fail "package name $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
version=$(field Version)
[ "$(basename "$deb")" = "qalesson_${version}_$(field Architecture).deb" ] || fail "file name $(basename "$deb")"
[ -n "$(field Section)" ] && [ -n "$(field Maintainer)" ] || fail "no section or maintainer"

# Exactly these files, and no other: what the install rules install.
expected=(
  usr/bin/qalesson
  usr/share/applications/qalesson.desktop
  usr/share/doc/qalesson/changelog.gz
  usr/share/doc/qalesson/copyright
  usr/share/icons/hicolor/scalable/apps/qalesson.svg
  usr/share/man/man1/qalesson.1.gz
  usr/share/metainfo/example.qalesson.qalesson.metainfo.xml
  usr/share/qalesson/lessons/sample.txt
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x$size/apps/qalesson.png")
done
if [ -e "$tree/qalesson-report" ]; then
  expected+=(usr/bin/qalesson-report usr/share/man/man1/qalesson-report.1.gz)
fi
if [ -e "$tree/qalesson-desk" ]; then
  expected+=(usr/bin/qalesson-desk usr/share/applications/qalesson-desk.desktop
             usr/share/icons/hicolor/scalable/apps/qalesson-desk.svg usr/share/man/man1/qalesson-desk.1.gz)
fi
dpkg-deb --contents "$deb" > "$work/contents"
# Lines: mode owner/group size date time path.
awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' "$work/contents" | sort > "$work/files"
printf '%s\n' "${expected[@]}" | sort > "$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "the package does not hold exactly the files expected (- missing, + extra)"
awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' "$work/contents" >&2 || fail "files not owned by root"
awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { print; bad = 1 }
     $1 !~ /^d/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print; bad = 1 }
     $1 !~ /^d/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print; bad = 1 }
     END { exit bad }' "$work/contents" >&2 || fail "files with the wrong mode"

# What the files say.
root=$work/root
dpkg-deb --extract "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/qalesson.desktop" || fail "desktop entry does not validate"
grep -qx 'Exec=qalesson %f' "$root/usr/share/applications/qalesson.desktop" || fail "desktop entry does not pass the file"
if [ -e "$tree/qalesson-desk" ]; then
  desk_entry=$root/usr/share/applications/qalesson-desk.desktop
  desktop-file-validate "$desk_entry" || fail "the desk's desktop entry does not validate"
  grep -qx 'Exec=qalesson-desk' "$desk_entry" && grep -qx 'Categories=Education;' "$desk_entry" ||
    fail "the desk's entry does not start it from the menu's Education"
  ! grep -q '^MimeType=' "$desk_entry" || fail "the desk's entry takes file types"
fi
appstreamcli validate --no-net "$root/usr/share/metainfo/example.qalesson.qalesson.metainfo.xml" ||
  fail "AppStream metadata does not validate"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/example.qalesson.qalesson.metainfo.xml" ||
  fail "AppStream metadata does not name release $version"
zcat "$root/usr/share/doc/qalesson/changelog.gz" | head -1 | grep -qF "qalesson ($version)" ||
  fail "changelog does not start with version $version"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  zcat "$page" | grep -q '^\.SH "EXIT STATUS"' || fail "$page: no exit status"
done
[ "$("$root/usr/bin/qalesson" --version)" = "qalesson $version" ] || fail "the packaged program does not run"
file_of() { readelf --section-headers "$1" | grep -q '\.symtab' && echo unstripped || echo stripped; }
for program in "$root"/usr/bin/*; do
  [ "$(file_of "$program")" = stripped ] || fail "$program is not stripped"
  readelf --dynamic "$program" | grep -E 'RPATH|RUNPATH' >&2 && fail "$program has its own library search path"
  readelf --dynamic "$program" | grep -q 'Flags: NOW PIE' || fail "$program is not built hardened (PIE, bind now)"
done

# Run-time dependencies only: no compiler, -dev package or test tool, among
# the package's own dependencies nor among everything apt would install on a
# system that has nothing yet (recommended packages included, as apt does).
. "$(dirname "$0")/build-only.sh"
field Depends | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' > "$work/depends"
for needed in fonts-liberation qt6-qpa-plugins libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6 libc6 \
    libxlsxwriter4; do
  grep -qx "$needed" "$work/depends" || fail "Depends lacks $needed: $(field Depends)"
done
grep -E -e "$build_only" "$work/depends" >&2 && fail "Depends names a build or test package: $(field Depends)"
: > "$work/status"
simulate() {
  apt-get install --simulate -o Dir::State::status="$work/status" "$(realpath "$deb")" > "$work/apt" 2>&1
}
if ! simulate; then
  apt-get update -qq
  simulate || { cat "$work/apt" >&2; fail "apt cannot install the package on a fresh system"; }
fi
awk '$1 == "Inst" { print $2 }' "$work/apt" > "$work/fresh"
grep -qx qalesson "$work/fresh" || fail "apt's plan does not install qalesson"
grep -E -e "$build_only" "$work/fresh" >&2 && fail "installing on a fresh system pulls a build or test package"

lintian --fail-on error "$deb" || fail "lintian reports errors"
echo "$deb: $(stat -c %s "$deb") bytes, $(wc -l < "$work/fresh") packages on a fresh system: ok"
