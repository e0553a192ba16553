#!/usr/bin/env bash
# Builds the Debian package from this build and checks it: the files it holds, that every shared
# library the two programs link belongs to a package its Depends names, the run-time dependencies that
# no linker sees, and lintian without errors. Usage: check_deb.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
for tool in cpack dpkg-deb dpkg-shlibdeps readelf ldd lintian; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/out/*.deb)
echo "built $(basename "$deb")"
dpkg-deb -I "$deb"

contents=$(dpkg-deb -c "$deb")
for path in usr/bin/vantrel usr/bin/vantrel-sim usr/share/applications/vantrel.desktop \
  usr/share/mime/packages/vantrel.xml usr/share/icons/hicolor/scalable/apps/vantrel.svg \
  usr/share/icons/hicolor/48x48/apps/vantrel.png usr/share/vantrel/vantrelhelp.html \
  usr/share/vantrel/samples/sample_mill.nc usr/share/man/man1/vantrel-sim.1.gz usr/share/man/man1/vantrel.1.gz \
  usr/share/doc/vantrel/copyright usr/share/doc/vantrel/changelog.gz; do
  grep -q " \./$path\$" <<<"$contents" || fail "the package lacks /$path"
done
if grep -v ' root/root ' <<<"$contents" | grep -q .; then fail "files not owned by root"; fi

# Package names in Depends, alternatives included, without versions.
depends=$(dpkg-deb -f "$deb" Depends)
declared=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/:any//; s/^ *//; s/ *$//' | grep . | sort -u)
for pkg in qt6-qpa-plugins fonts-ipaexfont-gothic; do
  grep -qx "$pkg" <<<"$declared" || fail "Depends lacks $pkg"
done

# The package that ships a library path; with merged /usr a library found in /lib is registered under
# /usr/lib, or the other way round.
owner() {
  local p
  for p in "$1" "/usr$1" "${1#/usr}" "$(readlink -f "$1")"; do
    if out=$(dpkg -S "$p" 2>/dev/null); then
      sed 's/:.*//; s/,.*//' <<<"$out" | head -n1
      return 0
    fi
  done
  return 1
}
dpkg-deb -x "$deb" "$tmp/root"
for bin in vantrel vantrel-sim; do
  file=$tmp/root/usr/bin/$bin
  needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  [ -n "$needed" ] || fail "$bin links no shared library?"
  for lib in $needed; do
    path=$(ldd "$file" | awk -v l="$lib" '$1 == l {print $3}')
    [ -n "$path" ] && [ "$path" != "not" ] || { fail "$bin: $lib is not found on this machine"; continue; }
    pkg=$(owner "$path") || { fail "$bin: no package ships $path"; continue; }
    pkg=${pkg%%:*}
    grep -qx "$pkg" <<<"$declared" || fail "$bin links $lib from $pkg, which Depends does not name"
  done
done

# lintian: errors fail, the rest is shown.
lintian --tag-display-limit 0 --info "$deb" >"$tmp/lintian.log" 2>&1 || true
cat "$tmp/lintian.log"
if grep -q '^E: ' "$tmp/lintian.log"; then fail "lintian reports errors"; fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package OK: $(basename "$deb")"
