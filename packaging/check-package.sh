#!/usr/bin/env bash
# Checks the Debian package that ./build.sh package made: its layout, its dependencies, its
# programs run from an unpacked copy, its desktop entry and metainfo, and lintian.
#   packaging/check-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}

version=$(sed -n 's/^project(AreaScanStudio VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$build_dir/areascan-studio_${version}_$(dpkg --print-architecture).deb"
fail() {
    echo "check-package: $*" >&2
    exit 1
}
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
[ -f "$deb" ] || fail "$deb is missing; ./build.sh package makes it"

# Layout: exactly these files, all under /usr.
expected="./usr/bin/areascan-cli
./usr/bin/areascan-sim
./usr/bin/areascan-studio
./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/wireshark/plugins/areascan.lua
./usr/share/applications/areascan-studio.desktop
./usr/share/areascan-studio/factorySettings.ini
./usr/share/doc/areascan-studio/changelog.gz
./usr/share/doc/areascan-studio/copyright
./usr/share/icons/hicolor/256x256/apps/areascan-studio.png
./usr/share/icons/hicolor/scalable/apps/areascan-studio.svg
./usr/share/man/man1/areascan-cli.1.gz
./usr/share/man/man1/areascan-sim.1.gz
./usr/share/man/man1/areascan-studio.1.gz
./usr/share/metainfo/com.veltrona.areascan_studio.metainfo.xml"
files=$(dpkg-deb -c "$deb" | grep -v '^d' | awk '{ print $6 }' | sort)
if [ "$files" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$files") >&2 || true
    fail "the package's files differ from the layout above (< expected, > found)"
fi

# dpkg-shlibdeps found the Qt libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt5core5a libqt5widgets5 libqt5serialport5 libc6; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ "$recommends" == *fonts-noto-cjk* ]] || fail "Recommends lacks fonts-noto-cjk: $recommends"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
bin="$scratch/root/usr/bin"

for program in areascan-studio areascan-cli areascan-sim; do
    # No display is needed to ask for the version.
    got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/$program" --version)
    [ "$got" = "$program $version" ] || fail "$program --version says '$got', not '$program $version'"
done
(cd "$scratch" && "$bin/areascan-cli" --demo info) || fail "areascan-cli --demo info failed"

# The shipped factory file and dissector are the project's; the icon has the size its folder names.
cmp -s resources/factorySettings.ini "$scratch/root/usr/share/areascan-studio/factorySettings.ini" ||
    fail "the packaged factorySettings.ini differs from resources/factorySettings.ini"
cmp -s packaging/wireshark/areascan.lua "$scratch/root/usr/lib/"*/wireshark/plugins/areascan.lua ||
    fail "the packaged Wireshark dissector differs from packaging/wireshark/areascan.lua"
file "$scratch/root/usr/share/icons/hicolor/256x256/apps/areascan-studio.png" | grep -q '256 x 256' ||
    fail "the PNG icon is not 256 x 256"

desktop-file-validate "$scratch/root/usr/share/applications/areascan-studio.desktop" ||
    fail "desktop-file-validate found faults in the desktop entry"
metainfo="$scratch/root/usr/share/metainfo/com.veltrona.areascan_studio.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli found faults in the metainfo"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo lacks the release $version"
# The screenshots it names are the ones in docs/.
for image in $(sed -n 's#.*<image>.*/\([^/<]*\)</image>.*#\1#p' "$metainfo"); do
    [ -f "docs/$image" ] || fail "the metainfo names the screenshot $image, which docs/ lacks"
done

lintian --fail-on error "$deb" || fail "lintian found errors"
echo "check-package: $deb ($(stat -c %s "$deb") bytes) is sound"
