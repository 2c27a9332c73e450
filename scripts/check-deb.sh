#!/usr/bin/env bash
# Builds the .deb from a build folder and checks what it installs where: the two programs,
# the desktop entry, the MIME package, the icons, the help page and the manual page; that
# the desktop entry is valid and that the MIME package, once installed, types a .d64.
set -euo pipefail
build=${1:?usage: check-deb.sh BUILD_FOLDER}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Uncompressed: the test looks at the contents, not at the size.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" \
  -D CPACK_DEBIAN_COMPRESSION_TYPE=none >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/*.deb)
fail=0
listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in \
  ./usr/bin/tessarind ./usr/bin/tessarind-cli \
  ./usr/share/applications/tessarind.desktop ./usr/share/mime/packages/tessarind.xml \
  ./usr/share/doc/tessarind/tessarind.htm ./usr/share/man/man1/tessarind-cli.1 \
  ./usr/share/icons/hicolor/16x16/apps/tessarind.png \
  ./usr/share/icons/hicolor/256x256/apps/tessarind.png \
  ./usr/share/icons/hicolor/48x48/mimetypes/tessarind-81.png \
  ./usr/share/icons/hicolor/48x48/mimetypes/tessarind-seq.png \
  ./usr/share/icons/hicolor/48x48/mimetypes/tessarind-t64.png; do
  grep -qxF "$path" <<<"$listing" || { echo "missing from the package: $path"; fail=1; }
done

[ "$(dpkg-deb -f "$deb" Package)" = tessarind ] || { echo "package name"; fail=1; }
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 qt6-qpa-plugins; do
  grep -q "$needed" <<<"$depends" || { echo "Depends lacks $needed: $depends"; fail=1; }
done

dpkg-deb -x "$deb" "$work/root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$work/root/usr/share/applications/tessarind.desktop" || fail=1
fi
# The package's types, built into a database of their own, claim the extensions (the
# database folds case: the upper-case globs are for the tools that read the package itself).
grep -q 'pattern="\*.D64"' "$work/root/usr/share/mime/packages/tessarind.xml" ||
  { echo "no upper-case glob"; fail=1; }
update-mime-database "$work/root/usr/share/mime" >/dev/null 2>&1
for glob in 'application/x-d64:\*.d64' 'application/x-t64:\*.t64' 'application/x-lnx:\*.lnx'; do
  grep -q "$glob" "$work/root/usr/share/mime/globs2" || { echo "no glob $glob"; fail=1; }
done
exit $fail
