#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks its files, its Depends field (computed
# from the linked libraries) and lintian's verdict (no error).
# Usage: check-package.sh BUILD_DIR CPACK VERSION
set -euo pipefail
build=$1 cpack=$2 version=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && "$cpack" -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; fail "cpack"; }
deb="$out/tarnconf_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$out")"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/tarnconf ./usr/bin/tarn-sim ./usr/share/tarnconf/Tarn.INI \
    ./usr/share/applications/example.tarn_systems.tarnconf.desktop \
    ./usr/share/metainfo/example.tarn_systems.tarnconf.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/tarnconf.svg \
    ./usr/share/icons/hicolor/16x16/apps/tarnconf.png \
    ./usr/share/icons/hicolor/256x256/apps/tarnconf.png \
    ./usr/share/man/man1/tarnconf.1.gz ./usr/share/man/man1/tarn-sim.1.gz \
    ./usr/bin/tarn ./usr/share/man/man1/tarn.1.gz \
    ./usr/share/doc/tarnconf/copyright ./usr/share/doc/tarnconf/changelog.gz; do
    grep -qxF "$f" <<<"$files" || fail "$f missing from the package"
done
# Only what a user runs: no tests, benchmarks or static libraries.
if grep -E '/tst_|bench|\.a$|/include/' <<<"$files"; then fail "build files in the package"; fi
dpkg-deb -x "$deb" "$out/root"
while read -r exe; do
    [ -x "$out/root/$exe" ] && [ "$(head -c 4 "$out/root/$exe" | tail -c 3)" = ELF ] ||
        fail "$exe is no executable"
done < <(grep '^\./usr/bin/.' <<<"$files")

# The man pages render without a warning and name the sample where the package puts it.
for page in tarnconf tarn tarn-sim; do
    file="$out/root/usr/share/man/man1/$page.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null) ||
        fail "man cannot render $page.1"
    [ -z "$warnings" ] || fail "man warns about $page.1: $warnings"
done
gzip -dc "$out/root/usr/share/man/man1/tarnconf.1.gz" | grep -qF /usr/share/tarnconf/Tarn.INI ||
    fail "tarnconf.1 does not name /usr/share/tarnconf/Tarn.INI"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6 libqt6sql6 \
    libqt6sql6-sqlite libqt6sql6-psql; do
    grep -qF " $lib " <<<" ${depends//,/ } " || fail "Depends lacks $lib"
done

if command -v lintian >/dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports an error"
else
    echo "lintian is not installed (tools/run-tests.sh installs it): not run"
fi
echo "package checks passed"
