# Sourced by the package checks: an extended regular expression matching the
# names of packages that only building or testing needs (compilers, -dev
# packages, build and test tools). A package that installs any of them, among
# its dependencies or among everything apt installs with it, has a gap.
build_only='-dev$|^(gcc|g\+\+|cpp|clang|c\+\+)(-[0-9]+)?$|^(build-essential|binutils|make|cmake|googletest|lintian|xvfb|xdotool|imagemagick)$|^lib(gtest|gmock|benchmark)'
