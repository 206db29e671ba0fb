#!/usr/bin/env bash
# Builds the Debian package into a scratch folder, unpacks it into an empty folder and
# runs the unpacked quirtle-convert and imgsize; checks what the package holds and, when
# lintian is installed, that lintian finds no error.
# Usage: check_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$scratch"/out/quirtle_*.deb)
root=$scratch/root
mkdir "$root"
dpkg-deb -x "$deb" "$root"

for file in usr/bin/quirtle-convert usr/bin/quirtle-import usr/bin/imgsize usr/lib/quirtle/quirtle \
            usr/lib/quirtle/index.html usr/lib/quirtle/manual.html usr/lib/quirtle/script.cfg \
            usr/lib/quirtle/LICENSE.TXT usr/lib/quirtle/script/xml2html.py \
            usr/lib/quirtle/script/xml2epub.py usr/lib/quirtle/script/xml2pdf.py \
            usr/lib/quirtle/imgsize usr/lib/quirtle/quirtle-print \
            usr/share/applications/quirtle.desktop usr/share/icons/hicolor/48x48/apps/quirtle.png \
            usr/share/man/man1/quirtle-convert.1.gz usr/share/man/man1/quirtle-import.1.gz \
            usr/share/man/man1/imgsize.1.gz \
            usr/share/doc/quirtle/copyright usr/share/doc/quirtle/changelog.gz; do
  [ -e "$root/$file" ] || fail "missing from the package: /$file"
done
[ "$(readlink "$root/usr/bin/quirtle")" = ../lib/quirtle/quirtle ] || fail "/usr/bin/quirtle link"
[ -z "$(find "$root" -name __pycache__)" ] || fail "compiled Python files in the package"

# The unpacked tools work on their own.
manuscript=$(printf '* \x89\x4a\x82\xcc\x89\x77\r\n_\x89\x77\x8e\xc9[\x82\xa6\x82\xab]\r\n')
xml=$(printf '%s' "$manuscript" | "$root/usr/bin/quirtle-convert" --xml)
expected=$(printf '%s' "$manuscript" | "$build/converter/quirtle-convert" --xml)
[ "$xml" = "$expected" ] || fail "unpacked quirtle-convert differs from the build's"
case "$xml" in *'<ruby param0='*) ;; *) fail "quirtle-convert gave no ruby: $xml" ;; esac
imported=$(printf '\x8a\xbf\x8e\x9a\x81\x73\x82\xa9\x82\xf1\x82\xb6\x81\x74\n' | "$root/usr/bin/quirtle-import" --from kakuyomu)
[ "$imported" = "$(printf '_\x8a\xbf\x8e\x9a[\x82\xa9\x82\xf1\x82\xb6]\r')" ] ||
  fail "unpacked quirtle-import printed: $(printf '%q' "$imported")"
size=$("$root/usr/bin/imgsize" "$source/app/runtime/icons/quirtle-48.png" || true)
[ "$size" = "$(printf '48\r\n48\r')" ] || fail "imgsize printed: $(printf '%q' "$size")"

# Depends: the libraries found by dpkg-shlibdeps and what the scripts and Qt need at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in python3 qpdf fonts-ipafont-mincho qt6-qpa-plugins libqt6webenginewidgets6 fonttools python3-pil \
              libqt6webenginecore6-bin; do
  case ", $depends," in *", $needed"[\ ,]*) ;; *) fail "Depends lacks $needed: $depends" ;; esac
done

if command -v lintian > /dev/null; then
  lintian "$deb" > "$scratch/lintian.log" 2>&1 || true
  if grep -q '^E:' "$scratch/lintian.log"; then
    cat "$scratch/lintian.log" >&2
    fail "lintian reports errors"
  fi
fi
echo "package checked: $(basename "$deb")"
