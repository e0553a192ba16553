#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree: every file in its place, the launcher
# entry and the file type valid, the manual pages free of warnings and in step with `--help`, the icon
# sizes what their folders say, and the file type resolving NC programs (and nothing else) in a scratch
# MIME database. Usage: check_install.sh BUILD_DIR SOURCE_DIR GUI(0|1)
set -euo pipefail
build=$1
src=$2
gui=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
for tool in desktop-file-validate xmllint man update-mime-database gio file rsvg-convert compare; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }

need() { [ -f "$prefix/$1" ] || fail "not installed: $1"; }
need bin/vantrel-sim
need share/vantrel/vantrelhelp.html
need share/man/man1/vantrel-sim.1.gz
need share/doc/vantrel/copyright
need share/doc/vantrel/changelog.gz
for f in "$src"/samples/*.nc; do need "share/vantrel/samples/$(basename "$f")"; done
if [ "$gui" = 1 ]; then
  need bin/vantrel
  need share/man/man1/vantrel.1.gz
  need share/applications/vantrel.desktop
  need share/mime/packages/vantrel.xml
  need share/icons/hicolor/scalable/apps/vantrel.svg
  for size in 16 24 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/vantrel.png
    need "$png"
    file -b "$prefix/$png" | grep -q "^PNG image data, $size x $size," || fail "$png is not a ${size}x${size} PNG"
  done
fi
[ -x "$prefix/bin/vantrel-sim" ] || fail "bin/vantrel-sim is not executable"

# The installed runner runs on an installed sample.
"$prefix/bin/vantrel-sim" --version | grep -q '^vantrel-sim ' || fail "vantrel-sim --version"
"$prefix/bin/vantrel-sim" blocks "$prefix/share/vantrel/samples/sample_mill.nc" >/dev/null ||
  fail "vantrel-sim blocks on the installed sample"

# Manual pages: rendered without a single warning.
for page in "$prefix"/share/man/man1/*.1.gz; do
  out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "man -l $(basename "$page"): $out"
done
# The manual names exactly the commands that --help lists.
help_cmds=$("$prefix/bin/vantrel-sim" --help | awk '/^commands:/ {f = 1; next} f && /^  [a-z]/ {print $1}' | sort)
man_cmds=$(zcat "$prefix/share/man/man1/vantrel-sim.1.gz" |
  awk '/^\.SH COMMANDS/ {f = 1; next} /^\.S[HS] / {f = 0} /^\.RS/ {d++} /^\.RE/ {d--}
       f && !d && prev == ".TP" {print $2} {prev = $0}' |
  tr -d '"' | sed 's/\\-/-/g' | sort)
[ -n "$help_cmds" ] || fail "no commands found in vantrel-sim --help"
[ "$help_cmds" = "$man_cmds" ] || fail "vantrel-sim(1) lists [$(echo $man_cmds)], --help lists [$(echo $help_cmds)]"

if [ "$gui" = 1 ]; then
  out=$(desktop-file-validate "$prefix/share/applications/vantrel.desktop" 2>&1) ||
    fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  xmllint --noout "$prefix/share/mime/packages/vantrel.xml" || fail "xmllint on the MIME type"
  xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/vantrel.svg" || fail "xmllint on the icon"
  # The PNG sizes are drawn from the SVG by scripts/render-icons.sh: an edited SVG needs them redrawn.
  for size in 16 48 256; do
    rsvg-convert -w $size -h $size "$src/dist/icons/vantrel.svg" -o "$tmp/icon$size.png"
    differing=$(compare -metric AE -fuzz 10% "$tmp/icon$size.png" \
      "$prefix/share/icons/hicolor/${size}x${size}/apps/vantrel.png" null: 2>&1) || true
    [ "$differing" = 0 ] || fail "the ${size}px icon is not the SVG's ($differing pixels differ): run scripts/render-icons.sh"
  done
  grep -q '^MimeType=text/x-nc-program;$' "$prefix/share/applications/vantrel.desktop" ||
    fail "the launcher entry does not open NC programs"

  # The file type in a scratch database beside the system's own types: what a file manager would say.
  mime=$tmp/xdg/mime
  mkdir -p "$mime/packages" "$tmp/files"
  system_types=/usr/share/mime/packages/freedesktop.org.xml
  [ -f "$system_types" ] && cp "$system_types" "$mime/packages/"
  cp "$prefix/share/mime/packages/vantrel.xml" "$mime/packages/"
  out=$(XDG_DATA_HOME="$tmp/xdg" XDG_DATA_DIRS="$tmp/xdg" update-mime-database "$mime" 2>&1) || fail "update-mime-database: $out"
  [ -z "$out" ] || fail "update-mime-database: $out"
  printf 'G90 G00 X0 Y0\r\nM30\r\n' >"$tmp/files/a.nc"
  printf '%%\nO0001\nM30\n%%\n' >"$tmp/files/b.tap"
  printf '%%\nG01 X1.\n' >"$tmp/files/c.eia"
  printf 'O1234\nG00 X0\n' >"$tmp/files/d.iso"
  printf 'O0002\nM30\n' >"$tmp/files/PROGRAM1"
  printf '%%\r\nG91\r\n' >"$tmp/files/PROGRAM2"
  cp "$prefix/share/vantrel/samples/sample_mill.nc" "$tmp/files/"
  printf 'hello\n' >"$tmp/files/notes"
  expect() {
    local got
    got=$(XDG_DATA_HOME="$tmp/xdg" XDG_DATA_DIRS="$tmp/xdg" gio info -a standard::content-type "$tmp/files/$1" |
      sed -n 's/^ *standard::content-type: //p')
    [ "$got" = "$2" ] || fail "$1 is taken for $got, not $2"
  }
  for f in a.nc b.tap c.eia d.iso PROGRAM1 PROGRAM2 sample_mill.nc; do expect "$f" text/x-nc-program; done
  expect notes text/plain
  if [ -f "$system_types" ]; then
    # Other formats that share an ending keep their own type when their content says so.
    printf 'CDF\001\000\000\000\000' >"$tmp/files/data.nc"
    expect data.nc application/x-netcdf
    head -c 40000 /dev/zero >"$tmp/files/disc.iso"
    expect disc.iso application/x-cd-image
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed tree OK under a temporary prefix"
