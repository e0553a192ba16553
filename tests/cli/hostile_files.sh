#!/usr/bin/env bash
# Hostile program files given to every command of vantrel-sim that reads one. Each run must end within
# 5 s and 500 MB, refuse the file with a message naming what it found and a non-zero exit code, and
# never abort. The files are made here (large ones sparse) and removed afterwards.
set -u
sim="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fails=0

mkfifo "$dir/pipe.nc"
printf 'G01\n' >"$dir/big.nc" && truncate -s 3G "$dir/big.nc"
printf 'G01 X1.\nG01\0X2.\n' >"$dir/nul.nc"
printf 'G01 X1.\n(\x83\x54\x83)\n' >"$dir/lead.nc"
head -c 50000000 /dev/urandom >"$dir/noise.nc"
mkdir "$dir/folder.nc"
# Within the size limit but, split into lines, more than the 500 MB the runs may use: the reader
# runs out of memory and must say so instead of aborting.
if [ -z "${VANTREL_NO_MEMORY_LIMIT:-}" ]; then
  yes 'G01 X1. Y2.' | head -c 200000000 >"$dir/huge.nc"
fi

# FILE EXPECTED-TEXT
cases=(
  "$dir/pipe.nc|FIFO"
  "/dev/zero|デバイス"
  "$dir/folder.nc|フォルダ"
  "$dir/big.nc|大きすぎます"
  "$dir/nul.nc|NUL バイト"
  "$dir/lead.nc|0x83 0x29"
  "$dir/noise.nc|テキストではありません"
)
[ -f "$dir/huge.nc" ] && cases+=("$dir/huge.nc|メモリが足りません")
for c in "${cases[@]}"; do
  file=${c%%|*}
  want=${c#*|}
  for cmd in blocks trace play render; do
    args=("$cmd" "$file")
    [ "$cmd" = render ] && args+=(--out "$dir/out.png" --play)
    (
      [ -z "${VANTREL_NO_MEMORY_LIMIT:-}" ] && ulimit -v 512000
      exec /usr/bin/time -f '%e %M' -o "$dir/time" timeout -s KILL 5 "$sim" "${args[@]}" >/dev/null 2>"$dir/err"
    )
    rc=$?
    read -r secs kb < <(tail -n 1 "$dir/time" 2>/dev/null) || { secs=?; kb=?; }
    if [ "$rc" = 0 ] || [ "$rc" -ge 124 ] || ! grep -qF "$want" "$dir/err"; then
      echo "FAIL: vantrel-sim ${args[*]}: exit $rc, ${secs} s, ${kb} KB: $(head -c 300 "$dir/err")"
      fails=$((fails + 1))
    elif [ "$kb" != "?" ] && [ "$kb" -gt 512000 ]; then
      echo "FAIL: vantrel-sim ${args[*]}: ${kb} KB resident"
      fails=$((fails + 1))
    else
      echo "ok: vantrel-sim ${args[*]}: exit $rc, ${secs} s, ${kb} KB"
    fi
  done
done
exit $((fails > 0))
