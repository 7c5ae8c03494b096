# The Debian package, made by CPack from the install rules (scripts/package
# builds it). It holds only what is installed, so no test or benchmark.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qalesson)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "qalesson maintainers <maintainers@users.noreply.c-seed-6eed266c.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # qalesson_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from the binaries (dpkg-shlibdeps); what no library pulls
# in is named here: the Arial-compatible font the window is laid out in, and
# the Qt plug-ins that show a window at all (libqt6gui6 only recommends them).
# The window's icon is built into the program as PNGs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-qpa-plugins")

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "question-and-answer lesson for distance students")
# CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "qalesson asks the student for a name, initials and an assignment number,
then pages through the assignment's questions one at a time. Each response
or note the student types is saved at once, with the question it answers,
in plain text files (Windows-1252, CR LF) that the student mails to the
instructor.

The package holds the program, with its built-in lesson and a sample lesson
file; qalesson-report, which lists the responses and notes in the
students' files as CSV, as an Excel workbook or as a web page; and
qalesson-desk, the instructor's window for checking a lesson, trying it,
collecting the answers and returning feedback.")

include(CPack)
