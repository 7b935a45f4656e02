# Shared by ./run and ./test: package installation and the build steps.
# shellcheck shell=bash

IDR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages each part of the project needs.
IDR_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev qt6-base-dev libgl-dev fonts-thai-tlwg fonts-dejavu-core x11-utils help2man librsvg2-bin
    libopencv-core-dev libopencv-imgproc-dev libjpeg62-turbo-dev libspng-dev libtiff-dev libwebp-dev libheif-dev
    libpoppler-cpp-dev libcairo2-dev
    libcli11-dev nlohmann-json3-dev libxlsxwriter-dev libpng-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools)
IDR_TEST_PACKAGES=(locales clang libclang-rt-14-dev xvfb xauth xdotool xclip imagemagick x11-utils hyperfine dpkg-dev desktop-file-utils appstream
    libjpeg-turbo-progs unzip chromium libpng-dev)

# Installs whichever of the given packages are missing.
idr_need_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configures (once) and builds a build directory: idr_build DIR [cmake args...]
# IDR_TARGET=NAME builds that target (and what it needs) instead of all.
idr_build() {
    local dir=$1
    shift
    if [ ! -f "$IDR_ROOT/$dir/build.ninja" ]; then
        cmake -S "$IDR_ROOT" -B "$IDR_ROOT/$dir" -G Ninja "$@" >/dev/null
    fi
    cmake --build "$IDR_ROOT/$dir" ${IDR_TARGET:+--target "$IDR_TARGET"} -- -j"$(nproc)"
}
