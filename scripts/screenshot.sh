#!/usr/bin/env bash
# Takes a screenshot of the program's main window under Xvfb with a window manager (so the title bar
# and its caption are part of the picture): scripts/screenshot.sh OUT.png [PROGRAM ARGS...]
set -euo pipefail
out=${1:-docs/screenshot.png}
shift || true
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/src/gui/vantrel"
[ -x "$bin" ] || { echo "build first (make build)" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 900x640x24" bash -c "
  openbox >/dev/null 2>&1 &
  sleep 1
  cd '$top/samples' && '$bin' $* &
  app=\$!
  sleep ${SHOT_DELAY:-4}
  import -window root '$out.full.png'
  kill \$app 2>/dev/null || true
"
# Crop to the window area (the window is centred on the 900x640 screen).
convert "$out.full.png" -trim +repage "$out"
rm -f "$out.full.png"
echo "wrote $out"
