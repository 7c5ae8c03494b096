# The Windows installer and zip, made by CPack from these install rules
# (scripts/package-windows): the three programs, the sample lesson and a short
# read-me, in one folder. Qt, the C and C++ runtimes are linked into the
# programs, so nothing else is needed at run time.
install(TARGETS qalesson qalesson-report qalesson-desk RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/lessons/sample.txt DESTINATION .)
# Notepad shows CR LF text on every Windows.
configure_file(${PROJECT_SOURCE_DIR}/data/windows/README.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR NSIS ZIP)
# The values below reach CPack as written (backslashes, quotes, $ included).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME qalesson)
set(CPACK_PACKAGE_VENDOR qalesson)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "question-and-answer lesson for distance students")
set(CPACK_PACKAGE_FILE_NAME qalesson-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY qalesson)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY qalesson)
set(CPACK_STRIP_FILES ON)
# The zip holds the folder's files at its top, for unzipping anywhere.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

# A 64-bit installer (Debian's nsis has the amd64 stubs): a 32-bit one would
# need the 32-bit part of Windows-on-Windows, which Wine may lack. It installs
# under "Program Files" (64-bit), with a Start-menu entry and an entry in
# Windows' installed programs; /S installs and uninstalls silently.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME qalesson)
set(CPACK_NSIS_DISPLAY_NAME "qalesson ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALLED_ICON_NAME qalesson.exe)
set(CPACK_NSIS_MUI_ICON ${QALESSON_ICON_DIR}/qalesson.ico)
set(CPACK_NSIS_MUI_UNIICON ${QALESSON_ICON_DIR}/qalesson.ico)
# The Start menu's entries: the lesson program, and the instructor's desk.
set(CPACK_PACKAGE_EXECUTABLES qalesson qalesson qalesson-desk "qalesson desk")
set(CPACK_NSIS_MENU_LINKS README.txt "qalesson read-me")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# "Open with" offers qalesson for a lesson file (.txt), which it starts as
# `qalesson FILE` does; .txt only: a spreadsheet's .xlsx or .ods stays with
# its own program. Each entry is KEY|NAME|VALUE under the machine's
# Software\Classes (NAME empty: the key's default value; {dir}: the install
# folder). The NSIS installer and the MSI both write these, and their
# uninstallers take them away again.
set(QALESSON_OPEN_WITH
  [=[Applications\qalesson.exe|FriendlyAppName|qalesson]=]
  [=[Applications\qalesson.exe\SupportedTypes|.txt|]=]
  [=[Applications\qalesson.exe\shell\open\command||"{dir}\qalesson.exe" "%1"]=]
  [=[.txt\OpenWithList\qalesson.exe||]=])
set(QALESSON_OPEN_WITH_KEYS [=[Applications\qalesson.exe]=] [=[.txt\OpenWithList\qalesson.exe]=])

# The MSI's Start-menu entries and registry values, in wixl's terms, from
# the same lists (cmake/windows/qalesson.wxs.in).
function(qalesson_xml_text out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
set(nsis_install "")
set(msi_shell "")
set(entry 0)
foreach(value IN LISTS QALESSON_OPEN_WITH)
  string(REPLACE "|" ";" value "${value}")
  list(GET value 0 key)
  list(GET value 1 name)
  list(GET value 2 data)
  string(REPLACE "{dir}" "$INSTDIR" nsis_data "${data}")
  string(APPEND nsis_install "  WriteRegStr SHCTX \"Software\\Classes\\${key}\" \"${name}\" '${nsis_data}'\n")
  string(REPLACE "{dir}\\" "[INSTALLDIR]" msi_data "${data}")
  qalesson_xml_text(msi_data "${msi_data}")
  qalesson_xml_text(name "${name}")
  # The command is what Windows Installer looks for to know the entries
  # (and the Start menu's, in the same component) installed.
  set(keypath "")
  if(key MATCHES [=[\\command$]=])
    set(keypath " KeyPath=\"yes\"")
  endif()
  math(EXPR entry "${entry} + 1")
  string(APPEND msi_shell "        <RegistryValue Id=\"OpenWith${entry}\" Root=\"HKLM\" Key=\"Software\\Classes\\${key}\" Name=\"${name}\" Type=\"string\" Value=\"${msi_data}\"${keypath}/>\n")
endforeach()
set(nsis_uninstall "")
foreach(key IN LISTS QALESSON_OPEN_WITH_KEYS)
  string(APPEND nsis_uninstall "  DeleteRegKey SHCTX \"Software\\Classes\\${key}\"\n")
endforeach()
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "${nsis_install}")
# CPack's uninstaller removes Software\VENDOR\KEY, where the installer keeps
# its folder, but leaves Software\VENDOR; the vendor is qalesson itself.
string(APPEND nsis_uninstall "  DeleteRegKey SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"\n")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${nsis_uninstall}")
# The Start menu: each program (NAME;LABEL, NAME.exe) and each link
# (FILE;LABEL), as the NSIS installer makes them, and Uninstall.
set(programs ${CPACK_PACKAGE_EXECUTABLES})
set(entries "")
while(programs)
  list(POP_FRONT programs program label)
  list(APPEND entries ${program}.exe ${label})
endwhile()
list(APPEND entries ${CPACK_NSIS_MENU_LINKS})
set(entry 0)
while(entries)
  list(POP_FRONT entries file label)
  qalesson_xml_text(label "${label}")
  math(EXPR entry "${entry} + 1")
  string(APPEND msi_shell "        <Shortcut Id=\"Menu${entry}\" Name=\"${label}\" Target=\"[INSTALLDIR]${file}\" WorkingDirectory=\"INSTALLDIR\"/>\n")
endwhile()
string(APPEND msi_shell "        <Shortcut Id=\"MenuUninstall\" Name=\"Uninstall\" Target=\"[System64Folder]msiexec.exe\" Arguments=\"/x [ProductCode]\"/>")
set(QALESSON_MSI_SHELL "${msi_shell}")
# wixl finds files by names relative to the description's folder.
file(RELATIVE_PATH QALESSON_MSI_ICON ${PROJECT_BINARY_DIR} ${QALESSON_ICON_DIR}/qalesson.ico)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/qalesson.wxs.in ${PROJECT_BINARY_DIR}/qalesson.wxs @ONLY)
include(CPack)
