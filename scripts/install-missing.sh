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
