# Sourced by the build and test scripts: installMissing PACKAGE... installs
# with apt-get the Debian packages that are not installed yet.
installMissing() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}

# What each stage needs, named once. A stage's script installs its own list;
# the test command installs every list before it configures anything, so no
# stage finds a tool missing that a later stage would have brought.
# mandoc formats the man page in its lint test; clang-format checks the style;
# ser2net is the device server in front of a pseudo-terminal in the system tests.
nativeBuildPackages=(cmake g++ make libgtest-dev libc6-dev mandoc clang-format ser2net)
fuzzPackages=(clang libclang-rt-14-dev cmake make)
# The Windows toolchain files look for Wine when they are configured: ctest
# runs the Windows test programs through it.
windowsBuildPackages=(cmake g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 zip)
windowsTestPackages=(wine wine64 iproute2 util-linux)
packagePackages=(dpkg-dev file)
# logrotate reads the package's rotation of the servers' logs in its check.
packageCheckPackages=(logrotate)
