#!/usr/bin/env bash
# Build helper for AreaScan Studio.
#   ./build.sh run    install what is missing, build, start the tool with its simulated scanner
#                     in build/run (extra arguments go to the tool, e.g. --tab status)
#   ./build.sh test   install what is missing, build, run every test
#   ./build.sh build  install what is missing and build
#   ./build.sh sanitize  the tests again, built with AddressSanitizer and UBSan (CI runs it)
#   ./build.sh package   install what is missing, build, make the Debian package
#                        build/areascan-studio_<version>_amd64.deb
#   ./build.sh format    check that every C++ file is laid out as .clang-format says
#   ./build.sh tidy      build, then check that clang-tidy finds nothing in src/, sim/ and
#                        tests/common/ (.clang-tidy)
# With QT_MAJOR=6 the same commands build on Qt 6 instead of Qt 5.15, in build-qt6:
#   QT_MAJOR=6 ./build.sh test
# With WERROR=1 every compiler warning is an error (CI builds so).
set -euo pipefail
cd "$(dirname "$0")"

QT_MAJOR=${QT_MAJOR:-5}
# poppler-utils: the tests read the PDF reports back with pdftotext and pdfinfo; libpcap-dev
# writes the recordings; tshark runs the Wireshark dissector over one.
TOOLS=(cmake ninja-build g++ poppler-utils libpcap-dev tshark)
case "$QT_MAJOR" in
    5)
        BUILD_DIR=${BUILD_DIR:-build}
        ASAN_DIR=build-asan
        PACKAGES=("${TOOLS[@]}" qtbase5-dev libqt5serialport5-dev qttools5-dev qttools5-dev-tools)
        ;;
    6)
        BUILD_DIR=${BUILD_DIR:-build-qt6}
        ASAN_DIR=build-qt6-asan
        # qt6-tools-dev holds the CMake files of LinguistTools, qt6-l10n-tools its lrelease;
        # libgl-dev and libvulkan-dev, which Qt6Gui's CMake files look for, come with
        # qt6-base-dev, and the offscreen platform the tests run on with libqt6gui6.
        PACKAGES=("${TOOLS[@]}" qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-l10n-tools)
        ;;
    *)
        echo "$0: QT_MAJOR is '$QT_MAJOR': give 5 or 6" >&2
        exit 2
        ;;
esac
# The tests run where a Chinese desktop's font is installed too: the tool's own Chinese texts
# need one to be read at all, and the window's form must fit with its taller lines.
TEST_PACKAGES=(fonts-noto-cjk)
# The package's man pages come from help2man, its PNG icon from rsvg-convert; dpkg-shlibdeps
# (dpkg-dev, which uses file) finds its dependencies, lintian checks it, desktop-file-validate
# and appstreamcli check its desktop entry and metainfo.
PACKAGE_TOOLS=(dpkg-dev file help2man librsvg2-bin lintian desktop-file-utils appstream)
# The style checks (.ci/check-style); clang-tidy brings run-clang-tidy.
STYLE_TOOLS=(clang-format clang-tidy)
if [ "${WERROR:-0}" = 1 ]; then WERROR_OPTION=-DAREASCAN_WERROR=ON; else WERROR_OPTION=-DAREASCAN_WERROR=OFF; fi

# Installs those of the named packages (default: the build's) that are missing.
install_missing() {
    local wanted=("$@")
    ((${#wanted[@]})) || wanted=("${PACKAGES[@]}")
    local missing=()
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
        $sudo apt-get update -qq
        # Through env, since sudo drops the caller's environment: tshark's package asks
        # whether non-superusers may capture, and its default (no) is what a build wants.
        $sudo env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# A compiler cache, where one is installed, makes rebuilds in several trees cheap.
launcher() {
    if command -v ccache >/dev/null 2>&1; then echo "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"; fi
}

# Sets up the build tree once, with the options given (-DNAME=VALUE); an existing tree is
# configured again only for an option its cache does not hold yet, since every run of CMake
# has the app's sources compiled anew.
configure() {
    set -- -DAREASCAN_QT_MAJOR="$QT_MAJOR" "$WERROR_OPTION" "$@"
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(launcher) "$@"
        return
    fi
    local option name
    for option in "$@"; do
        name=${option#-D}
        name=${name%%=*}
        if ! grep -qx "$name:[A-Z]*=${option#*=}" "$BUILD_DIR/CMakeCache.txt"; then
            cmake -S . -B "$BUILD_DIR" "$@"
            return
        fi
    done
}

build() {
    install_missing
    configure
    cmake --build "$BUILD_DIR"
}

case "${1:-build}" in
    run)
        build
        # The tool reads and writes its INI files in its working directory: it gets a folder
        # of its own in the build tree, seeded with the shipped factory settings, so the
        # source tree stays clean and the demo's factory reset has its file.
        if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
            echo "areascan-studio: no display found (DISPLAY is not set); run it under a" \
                "virtual display instead: xvfb-run -a $0 run" >&2
            exit 1
        fi
        studio="$(cd "$BUILD_DIR" && pwd)/src/app/areascan-studio"
        mkdir -p "$BUILD_DIR/run"
        cp -u resources/factorySettings.ini "$BUILD_DIR/run/"
        cd "$BUILD_DIR/run"
        exec "$studio" --demo --connect "${@:2}"
        ;;
    test)
        install_missing "${PACKAGES[@]}" "${TEST_PACKAGES[@]}"
        build
        cd "$BUILD_DIR"
        QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300
        ;;
    build)
        build
        ;;
    package)
        install_missing "${PACKAGES[@]}" "${PACKAGE_TOOLS[@]}"
        # A tree the tests set up gains the man pages and the icon; nothing else is built anew.
        configure -DAREASCAN_PACKAGE=ON
        cmake --build "$BUILD_DIR"
        rm -f "$BUILD_DIR"/areascan-studio_*.deb
        (cd "$BUILD_DIR" && cpack -G DEB)
        ;;
    sanitize)
        install_missing "${PACKAGES[@]}" "${TEST_PACKAGES[@]}"
        BUILD_DIR=$ASAN_DIR configure -DCMAKE_BUILD_TYPE=Debug -DAREASCAN_SANITIZE=ON \
            -DAREASCAN_BUILD_BENCH=OFF
        cmake --build "$ASAN_DIR"
        cd "$ASAN_DIR"
        # Qt keeps some allocations until exit; lifetime errors are what this run is for.
        ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600
        ;;
    format)
        install_missing "${STYLE_TOOLS[@]}"
        .ci/check-style format
        ;;
    tidy)
        install_missing "${STYLE_TOOLS[@]}"
        build
        .ci/check-style tidy "$BUILD_DIR"
        ;;
    *)
        echo "usage: $0 run|test|build|sanitize|package|format|tidy" >&2
        exit 2
        ;;
esac
