#!/usr/bin/env bash
# Checks the Windows installer and zip made by scripts/package-windows, under
# Wine in a prefix of its own: the installer installs silently (/S) exactly
# the zip's files, byte for byte, with a Start-menu entry and an entry in
# Windows' installed programs; the installed program runs; the uninstaller,
# silent too, removes all of it. Given the objects archive and the build
# folder, it also links the archive's objects with the build's Qt, as a user
# would with another Qt, and runs the program made.
#
# Usage: check-windows-package.sh SETUP_EXE ZIP [OBJECTS_ZIP BUILD_DIR]
set -euo pipefail
setup=$(realpath "$1") zip=$(realpath "$2")
objects_zip=${3:+$(realpath "$3")} build=${4:+$(realpath "$4")}
top=$(cd "$(dirname "$0")/../.." && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/qalesson-wine-package-XXXXXX")
export WINEPREFIX
work=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$WINEPREFIX.lock" "$work"
}
trap cleanup EXIT
wine() { "$top/scripts/wine-run" "$@"; }

folder="$WINEPREFIX/drive_c/Program Files/qalesson"
uninstall_key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qalesson'

wine "$setup" /S
wineserver --wait

# Exactly the zip's files, the same bytes, and the uninstaller.
(cd "$work" && cmake -E tar xf "$zip")
expected=$(cd "$work" && find . -type f | sort)
[ -n "$expected" ] || fail "the zip is empty"
installed=$(cd "$folder" 2>/dev/null && find . -type f ! -name Uninstall.exe | sort) || fail "nothing installed in $folder"
[ "$installed" = "$expected" ] || fail "installed files differ from the zip's:
$(diff <(echo "$expected") <(echo "$installed"))"
for file in $expected; do
  cmp -s "$work/$file" "$folder/$file" || fail "$file differs from the zip's"
done
for file in ./qalesson.exe ./qalesson-report.exe ./sample.txt ./README.txt; do
  grep -qxF "$file" <<<"$expected" || fail "$file is not installed"
done
[ -f "$folder/Uninstall.exe" ] || fail "no uninstaller"

# A Start-menu entry for the program, and the installed programs' entry.
links=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/qalesson/*' -name '*.lnk' | wc -l)
[ "$links" -ge 1 ] || fail "no Start-menu entry"
find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/qalesson/qalesson.lnk' | grep -q . || fail "no qalesson.lnk"
grep -qF "[$uninstall_key]" "$WINEPREFIX/system.reg" || fail "no uninstall entry ($uninstall_key)"
grep -A20 -F "[$uninstall_key]" "$WINEPREFIX/system.reg" | grep -q '^"UninstallString"=' ||
  fail "the uninstall entry names no uninstaller"

# "Open with" offers it for lesson files, starting it with the file.
open_key='Software\\Classes\\Applications\\qalesson.exe\\shell\\open\\command'
grep -A3 -F "[$open_key]" "$WINEPREFIX/system.reg" | grep -qF '@="\"C:\\Program Files\\qalesson\\qalesson.exe\" \"%1\""' ||
  fail "no \"Open with\" command: $(grep -A3 -F "[$open_key]" "$WINEPREFIX/system.reg")"

# The installed program runs: its version, in a pipe.
version=$(wine "$folder/qalesson.exe" --version | tr -d '\r' | head -n 1)
case "$version" in
  qalesson\ *) ;;
  *) fail "qalesson.exe --version printed '$version'" ;;
esac

wine "$folder/Uninstall.exe" /S
# The uninstaller copies itself away and runs from there.
for _ in $(seq 50); do
  [ -e "$folder" ] || break
  sleep 0.2
done
wineserver --wait
[ ! -e "$folder" ] || fail "the uninstaller left $(find "$folder" | head -n 5)"
find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/qalesson*' | grep -q . && fail "the Start-menu entry stayed"
grep -qF "[$uninstall_key]" "$WINEPREFIX/system.reg" && fail "the uninstall entry stayed"
grep -qF "[$open_key]" "$WINEPREFIX/system.reg" && fail "the \"Open with\" entry stayed"
relinked=
if [ -n "$objects_zip" ]; then
  # Qt's libraries, its plug-ins' initialisers and the system libraries, as
  # the build linked them; the program's own parts come from the archive.
  link_dir="$build/src/CMakeFiles/qalesson.dir"
  mkdir "$work/objects"
  (cd "$work/objects" && cmake -E tar xf "$objects_zip")
  own=$(cd "$work/objects"/*/ && pwd)
  mapfile -t qt_libs < <(tr ' ' '\n' < "$link_dir/linkLibs.rsp" | tr -d '"' |
    grep -v -E -e '^$' -e '(^|/)libqalesson_[a-z]+\.a$' -e '/qrc_qalesson_icon\.cpp\.obj$')
  mapfile -t inits < <(tr ' ' '\n' < "$link_dir/objects1" | grep '_init' | tr -d '"')
  (cd "$own" && x86_64-w64-mingw32-g++-posix -static -mwindows -o "$work/relinked.exe" \
    main.cpp.obj qalesson_mocs.obj qalesson.rc.res qrc_qalesson_icon.cpp.obj "${inits[@]}" \
    libqalesson_window.a libqalesson_core.a "${qt_libs[@]}" -lshell32) || fail "the objects archive does not link"
  [ "$(wine "$work/relinked.exe" --version | tr -d '\r' | head -n 1)" = "$version" ] ||
    fail "the program linked from the objects archive does not run"
  relinked=", the objects archive relinked"
fi
echo "windows package: silent install of the zip's $(wc -l <<<"$expected") files, Start menu, uninstall entry, silent uninstall$relinked"
