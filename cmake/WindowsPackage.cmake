# The Windows installer and zip, made by CPack from these install rules
# (scripts/package-windows): the two programs, the sample lesson and a short
# read-me, in one folder. Qt, the C and C++ runtimes are linked into the
# programs, so nothing else is needed at run time.
install(TARGETS qalesson qalesson-report RUNTIME DESTINATION .)
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
set(CPACK_PACKAGE_EXECUTABLES qalesson qalesson)
set(CPACK_NSIS_MENU_LINKS README.txt "qalesson read-me")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# "Open with" offers qalesson for a lesson file (.txt), which it starts as
# `qalesson FILE` does; the uninstaller takes the entries away again.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  WriteRegStr SHCTX "Software\Classes\Applications\qalesson.exe" "FriendlyAppName" "qalesson"
  WriteRegStr SHCTX "Software\Classes\Applications\qalesson.exe\SupportedTypes" ".txt" ""
  WriteRegStr SHCTX "Software\Classes\Applications\qalesson.exe\shell\open\command" "" '"$INSTDIR\qalesson.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.txt\OpenWithList\qalesson.exe" "" ""
]=])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  DeleteRegKey SHCTX "Software\Classes\Applications\qalesson.exe"
  DeleteRegKey SHCTX "Software\Classes\.txt\OpenWithList\qalesson.exe"
]=])
include(CPack)
