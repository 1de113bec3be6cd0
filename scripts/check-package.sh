#!/usr/bin/env bash
# Builds the Debian package from the default build and checks it: the files a user needs are in
# it, it unpacks into a throwaway root, and its programs run from there and find their data.
#   scripts/check-package.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
(cd "$build" && rm -f kestrom3-console_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kestrom3-console_*.deb)
echo "check-package: $deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/kestrom3-console ./usr/bin/kestrom3-watch ./usr/bin/kestrom3-frame \
    ./usr/bin/kestrom3-thermal-view-example ./usr/lib/libkestrom3subscriber.so.0 \
    ./usr/include/kestrom3subscriber.h ./usr/share/applications/kestrom3-console.desktop \
    ./usr/share/icons/hicolor/scalable/apps/kestrom3-console.svg ./usr/share/kestrom3/manual/index.html \
    ./usr/share/kestrom3/sounds/Good.wav ./usr/share/kestrom3/sounds/Failed.wav \
    ./usr/share/kestrom3/sounds/On.wav ./usr/share/kestrom3/sounds/Off.wav \
    ./usr/share/doc/kestrom3-console/copyright ./usr/share/doc/kestrom3-console/changelog.Debian.gz \
    ./usr/lib/python3/dist-packages/kestrom3/__init__.py ./usr/lib/python3/dist-packages/kestrom3/live.py; do
  grep -qxF "$file" <<<"$contents" || { echo "check-package: $file is missing" >&2; exit 1; }
done
# Every picture the manual shows is in the package.
for image in $(grep -o 'images/[a-z-]*\.png' share/manual/index.html | sort -u); do
  grep -qxF "./usr/share/kestrom3/manual/$image" <<<"$contents" || { echo "check-package: $image is missing" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "check-package: no dependency on Qt" >&2; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/kestrom3-watch" --help | grep -q "kestrom3-watch" || { echo "check-package: the watch does not run" >&2; exit 1; }
"$root/usr/bin/kestrom3-frame" --help >/dev/null 2>&1 || { echo "check-package: kestrom3-frame does not run" >&2; exit 1; }
# The Python package finds the packaged library by its soname, without the build tree's note.
grep -q _build_library <<<"$contents" && { echo "check-package: the build tree's library note is packaged" >&2; exit 1; }
PYTHONPATH="$root/usr/lib/python3/dist-packages" LD_LIBRARY_PATH="$root/usr/lib" PYTHONDONTWRITEBYTECODE=1 \
  /usr/bin/python3 -c "import kestrom3, sys; sys.exit(kestrom3.results.__module__ != 'kestrom3.results')" ||
  { echo "check-package: the Python package does not load" >&2; exit 1; }
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$root/usr/share/applications/kestrom3-console.desktop"; fi
if command -v lintian >/dev/null; then lintian --fail-on error "$deb"; fi
echo "check-package: ok"
