#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks it the
# way a distribution would: its file list, the desktop entry and metainfo
# validators, lintian (no errors), and the programs run from the unpacked
# package.
#
#   packaging/check_package.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
source_dir=$(realpath "$(dirname "$0")/..")
cd "$build"
rm -f rfsplitter_*.deb
cpack -G DEB >/dev/null
deb=$(ls rfsplitter_*.deb)
echo "package: $deb"

fail() { echo "check_package: $*" >&2; exit 1; }

listing=$(dpkg-deb -c "$deb")
for path in ./usr/bin/rfsplitter ./usr/bin/rfsplitter-cli \
            ./usr/share/applications/com.talvaine.rfsplitter.desktop \
            ./usr/share/metainfo/com.talvaine.rfsplitter.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/rfsplitter.svg \
            ./usr/share/icons/hicolor/48x48/apps/rfsplitter.png \
            ./usr/share/icons/hicolor/256x256/apps/rfsplitter.png \
            ./usr/share/man/man1/rfsplitter.1.gz ./usr/share/man/man1/rfsplitter-cli.1.gz \
            ./usr/share/doc/rfsplitter/copyright ./usr/share/doc/rfsplitter/changelog.gz; do
  grep -q " $path\$" <<<"$listing" || fail "the package lacks $path"
done
echo "file list: complete"

version=$(dpkg-deb -f "$deb" Version)
[ "$version" = "$(sed -n 's/^project(rfsplitter VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")" ] ||
  fail "package version $version is not the project's"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no Qt dependency worked out"
dpkg-deb -f "$deb" Suggests | grep -q ngspice || fail "ngspice is not suggested"

desktop-file-validate "$source_dir/packaging/com.talvaine.rfsplitter.desktop"
appstreamcli validate --no-net packaging/com.talvaine.rfsplitter.metainfo.xml
lintian_output=$(lintian --allow-root "$deb" 2>&1 || true)
echo "lintian: ${lintian_output:-no findings}"
if grep -q '^E: ' <<<"$lintian_output"; then fail "lintian reports errors"; fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
"$root/usr/bin/rfsplitter-cli" --version | grep -qx "$version" || fail "rfsplitter-cli --version"
"$root/usr/bin/rfsplitter" --version | grep -q "$version" || fail "rfsplitter --version"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/rfsplitter" --smoke-test 2>/dev/null || fail "smoke test"
man -l "$root/usr/share/man/man1/rfsplitter-cli.1.gz" >/dev/null 2>&1 ||
  zcat "$root/usr/share/man/man1/rfsplitter-cli.1.gz" | grep -q '^\.TH RFSPLITTER-CLI' ||
  fail "manual page"
# Every option the program offers is in its manual page.
page=$(zcat "$root/usr/share/man/man1/rfsplitter-cli.1.gz" | sed 's/\\-/-/g')
for option in $("$root/usr/bin/rfsplitter-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -q -- "$option" <<<"$page" || fail "the manual page lacks $option"
done
echo "the unpacked package runs: rfsplitter-cli --version, rfsplitter --version and --smoke-test"
