#!/usr/bin/env bash
# Checks the Windows installer, the zip and the MSI made by scripts/package-
# windows, under Wine in a prefix of its own. The installer installs silently
# (/S) exactly the zip's files, byte for byte, with its Start-menu entries,
# an entry in Windows' installed programs and "Open with" for lessons (and
# none for spreadsheets); the installed program runs; the uninstaller,
# silent too, removes all of it. Given the MSI, the same of `msiexec /i MSI
# /qn`, with the same Start-menu entries as the installer's, then an upgrade
# to an MSI of a later version with other files (made here from the
# description in BUILD_DIR), which must leave that version alone in the
# folder and in the installed programs, and `msiexec /x MSI /qn`, which must
# remove everything. Given the objects archive and the build folder, it also
# links the archive's objects with the build's Qt, as a user would with
# another Qt, and runs the program made.
#
# Usage: check-windows-package.sh SETUP_EXE ZIP [OBJECTS_ZIP BUILD_DIR [MSI]]
set -euo pipefail
setup=$(realpath "$1") zip=$(realpath "$2")
objects_zip=${3:+$(realpath "$3")} build=${4:+$(realpath "$4")} msi=${5:+$(realpath "$5")}
top=$(cd "$(dirname "$0")/../.." && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/qalesson-wine-package-XXXXXX")
export WINEPREFIX
# No menu entries of the host's desktop for the Start-menu entries.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
work=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$WINEPREFIX.lock" "$work"
}
trap cleanup EXIT
wine() { "$top/scripts/wine-run" "$@"; }

folder="$WINEPREFIX/drive_c/Program Files/qalesson"
# The Start-menu folder: the machine's (every user's), where the installer
# puts it and where Windows Installer puts a per-machine product's. Wine's
# Windows Installer takes the installing user's instead (its
# ProgramMenuFolder does not follow ALLUSERS), so either counts here.
menu_of_machine="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/qalesson"
menu_of_user="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/qalesson"
uninstall_keys='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\'

# The values of the machine's registry key KEY (as system.reg spells it),
# one a line; nothing when there is no such key.
reg_key() {
  # (ENVIRON: awk -v would take the backslashes for escapes.)
  key="[$1]" awk '
    /^\[/ { inside = index($0, ENVIRON["key"] " ") == 1 || $0 == ENVIRON["key"]; next }
    inside && NF' "$WINEPREFIX/system.reg"
}
# The installed programs' entries named qalesson: KEY DisplayName=... a line.
uninstall_entries() {
  keys="[$uninstall_keys" awk '
    /^\[/ { key = index($0, ENVIRON["keys"]) == 1 ? $1 : ""; next }
    key != "" && /^"DisplayName"="qalesson/ { print key, $0 }' "$WINEPREFIX/system.reg"
}
# Whatever the registries say of spreadsheets, to be the same before and
# after an installation: "Open with" for .xlsx and .ods is not taken over.
spreadsheets() {
  cat "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | grep -i -E '\.(xlsx|ods)([^a-z]|$)' | sed 's/\] [0-9]*$/]/' || true
}

# "Open with" offers it for lesson files, starting it with the file: each
# key and one of its values.
open_with=(
  'Software\\Classes\\Applications\\qalesson.exe|"FriendlyAppName"="qalesson"'
  'Software\\Classes\\Applications\\qalesson.exe\\SupportedTypes|".txt"=""'
  'Software\\Classes\\Applications\\qalesson.exe\\shell\\open\\command|@="\"C:\\Program Files\\qalesson\\qalesson.exe\" \"%1\""'
  'Software\\Classes\\.txt\\OpenWithList\\qalesson.exe|@=""'
)

(cd "$work" && mkdir zip && cd zip && cmake -E tar xf "$zip")
expected=$(cd "$work/zip" && find . -type f | sort)
[ -n "$expected" ] || fail "the zip is empty"
for file in ./qalesson.exe ./qalesson-report.exe ./qalesson-desk.exe ./sample.txt ./README.txt; do
  grep -qxF "$file" <<<"$expected" || fail "$file is not in the zip"
done

# What INSTALLER must leave when it installed the files of the folder FILES:
# exactly those files in the install folder (besides its own file OWN, if
# any), the same bytes; the Start-menu entries, qalesson's among them; "Open
# with" for lessons; the registry's spreadsheet entries as they were before
# (SPREADSHEETS_BEFORE); and the program, which runs.
check_installed() {
  local installer=$1 files=$2 own=$3 spreadsheets_before=$4 want installed file entry
  want=$(cd "$files" && find . -type f | sort)
  installed=$(cd "$folder" 2>/dev/null && find . -type f | sort) || fail "$installer: nothing installed in $folder"
  [ -z "$own" ] || installed=$(grep -vxF "./$own" <<<"$installed")
  [ "$installed" = "$want" ] || fail "$installer: the installed files differ from the zip's:
$(diff <(echo "$want") <(echo "$installed"))"
  while IFS= read -r file; do
    cmp -s "$files/$file" "$folder/$file" || fail "$installer: $file differs from the zip's"
  done <<<"$want"
  menu=$menu_of_machine
  [ -d "$menu" ] || menu=$menu_of_user
  [ -f "$menu/qalesson.lnk" ] || fail "$installer: no Start-menu entry qalesson.lnk"
  grep -aqF 'qalesson.exe' "$menu/qalesson.lnk" || fail "$installer: qalesson.lnk does not start qalesson.exe"
  [ -f "$menu/qalesson desk.lnk" ] || fail "$installer: no Start-menu entry \"qalesson desk.lnk\""
  grep -aqF 'qalesson-desk.exe' "$menu/qalesson desk.lnk" ||
    fail "$installer: \"qalesson desk.lnk\" does not start qalesson-desk.exe"
  for entry in "${open_with[@]}"; do
    reg_key "${entry%%|*}" | grep -qxF -- "${entry#*|}" ||
      fail "$installer: no \"Open with\" entry ${entry%%|*}: ${entry#*|} (it holds: $(reg_key "${entry%%|*}"))"
  done
  [ "$(spreadsheets)" = "$spreadsheets_before" ] || fail "$installer: the registry's spreadsheet entries changed:
$(diff <(echo "$spreadsheets_before") <(spreadsheets))"
  version=$(wine "$folder/qalesson.exe" --version | tr -d '\r' | head -n 1)
  case "$version" in
    qalesson\ *) ;;
    *) fail "$installer: qalesson.exe --version printed '$version'" ;;
  esac
}
# What an uninstallation must leave: nothing of it.
check_removed() {
  local installer=$1 entry
  [ ! -e "$folder" ] || fail "$installer: the uninstaller left $(find "$folder" | head -n 5)"
  [ ! -e "$menu_of_machine" ] && [ ! -e "$menu_of_user" ] || fail "$installer: the Start-menu entries stayed"
  [ -z "$(uninstall_entries)" ] || fail "$installer: the uninstall entry stayed: $(uninstall_entries)"
  for entry in "${open_with[@]}"; do
    grep -qF "[${entry%%|*}]" "$WINEPREFIX/system.reg" && fail "$installer: the \"Open with\" entry ${entry%%|*} stayed"
  done
  # Nor any other file or registry entry of it anywhere.
  left=$(find "$WINEPREFIX/drive_c" -iname '*qalesson*'; grep -i -h qalesson "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg") || true
  [ -z "$left" ] || fail "$installer: the uninstaller left: $(head -n 5 <<<"$left")"
}

# The prefix, made and written before it is read.
wine wineboot
wineserver --wait
before=$(spreadsheets)
wine "$setup" /S
wineserver --wait
check_installed installer "$work/zip" Uninstall.exe "$before"
[ -f "$folder/Uninstall.exe" ] || fail "no uninstaller"
installer_links=$(cd "$menu" && ls)
entries=$(uninstall_entries)
[ "$(wc -l <<<"$entries")" = 1 ] && [[ $entries == "[${uninstall_keys}qalesson]"* ]] ||
  fail "not one uninstall entry, ${uninstall_keys}qalesson: $entries"
reg_key "${uninstall_keys}qalesson" | grep -q '^"UninstallString"=' || fail "the uninstall entry names no uninstaller"

wine "$folder/Uninstall.exe" /S
# The uninstaller copies itself away and runs from there.
for _ in $(seq 50); do
  [ -e "$folder" ] || break
  sleep 0.2
done
wineserver --wait
check_removed installer

upgraded=
if [ -n "$msi" ]; then
  [ -n "$build" ] || fail "the MSI's check needs the build folder (its qalesson.wxs)"
  # msiexec reads a Windows path: a Unix one starts like an option.
  msiexec() {
    local status=0
    wine msiexec "$1" "$(winepath -w "$2")" /qn || status=$?
    wineserver --wait
    return $status
  }
  # The installed products named qalesson, as Windows Installer lists them.
  products() { grep -c '^"ProductName"="qalesson' "$WINEPREFIX/system.reg" || true; }
  version_of() { uninstall_entries | sed -n 's/.*"DisplayName"="qalesson \(.*\)"$/\1/p'; }

  before=$(spreadsheets)
  msiexec /i "$msi"
  check_installed MSI "$work/zip" '' "$before"
  msi_links=$(cd "$menu" && ls)
  [ "$msi_links" = "$installer_links" ] || fail "the MSI's Start-menu entries are not the installer's:
$(diff <(echo "$installer_links") <(echo "$msi_links"))"
  entries=$(uninstall_entries)
  [ "$(wc -l <<<"$entries")" = 1 ] && [ "$(products)" = 1 ] || fail "MSI: not one uninstall entry and one product: $entries"
  first=$(version_of)
  key=${entries%% *}
  reg_key "${key:1:-1}" | grep -qiE '^"UninstallString"=(str\(2\):)?"msiexec(\.exe)? /x\{' || fail "MSI: the uninstall entry does not uninstall with msiexec"

  # A later version with other files: README.txt changed, sample.txt gone,
  # a file added. Upgrading must leave exactly those.
  IFS=. read -r major minor patch <<<"$first"
  next=$major.$minor.$((patch + 1))
  cp -a "$work/zip" "$work/next"
  printf 'upgraded to %s\r\n' "$next" >> "$work/next/README.txt"
  rm "$work/next/sample.txt"
  printf 'added in %s\r\n' "$next" > "$work/next/added.txt"
  (cd "$work/next" && cmake -E tar cf "$work/next.zip" --format=zip -- *)
  "$top/scripts/windows-msi" "$build/qalesson.wxs" "$work/next.zip" "$next" "$work/next.msi"
  msiexec /i "$work/next.msi"
  check_installed "MSI $next over $first" "$work/next" '' "$before"
  entries=$(uninstall_entries)
  [ "$(wc -l <<<"$entries")" = 1 ] && [ "$(version_of)" = "$next" ] && [ "$(products)" = 1 ] ||
    fail "MSI $next over $first: not one installation of $next: $entries, $(products) products"
  # Going back is refused: the earlier MSI over the later one changes nothing.
  ! msiexec /i "$msi" 2>/dev/null || fail "the MSI of $first installed over $next"
  check_installed "MSI $first over $next" "$work/next" '' "$before"
  [ "$(version_of)" = "$next" ] || fail "MSI $first over $next: $(uninstall_entries)"

  msiexec /x "$work/next.msi"
  check_removed MSI
  [ "$(products)" = 0 ] || fail "MSI: Windows Installer still lists qalesson"
  upgraded=", the MSI installed, upgraded from $first to $next in place (not back) and removed"
fi
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
echo "windows package: silent install of the zip's $(wc -l <<<"$expected") files, Start menu, uninstall entry, silent uninstall$relinked$upgraded"
