#!/usr/bin/env bash
# Remakes docs/screenshots/: the three pages of the sample program on a virtual screen
# (Xvfb, 1280x800, 96 dpi) managed by the openbox window manager, so each picture shows
# the page in its frame with the window boxes it asks for; without and with a skin file,
# at 1x and at 2x scaling. QUORVANE_BUILD names another build folder to take the
# programs from (default: build, configured and built here).
#
# The pages are reached by tests/road/roadshots.cpp (built with the tests), which runs the
# real start-up and presses the buttons; ImageMagick's `import` grabs the screen. HOME
# points at a temporary folder, so the user's own settings and sample data stay untouched.
# The skin file is copied to <build>/sample/x/o.cjs for the skinned pictures and removed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/docs/screenshots
build=$root/${QUORVANE_BUILD:-build}
program_folder=$build/sample
helper=$build/tests/road/road-shots

shoot() { # page name helper-arguments [extra environment]
  local page=$1 name=$2 args=$3
  shift 3
  local ready=$work/ready pid geometry
  rm -f "$ready"
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u QT_SCALE_FACTOR -u QT_FONT_DPI \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb "$@" \
    "$helper" "$page" "$program_folder" "$ready" $args &
  pid=$!
  for _ in $(seq 1 300); do
    [ -s "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$ready" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" || true
    echo "screenshots: the $page page did not come up ($name)" >&2
    return 1
  fi
  geometry=$(head -n 1 "$ready")
  import -window root -crop "$geometry" +repage "$out/$name.png"
  kill "$pid"
  wait "$pid" || true
  echo "  $name.png ($geometry)"
}

shoot_all() { # suffix [extra environment]
  local suffix=$1
  shift
  for page in connection chooser editor; do
    shoot "$page" "$page$suffix" "" "$@"
  done
}

if [ "${1:-}" = "--on-screen" ]; then
  # Runs under xvfb-run (see below).
  work=$2
  mkdir -p "$work/home" "$work/runtime"
  chmod 700 "$work/runtime"
  HOME="$work/home" openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm=$!
  trap 'kill "$wm" 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  shoot_all ""
  shoot_all "-2x" QT_SCALE_FACTOR=2
  # The editor made larger, to show the sample table's rows.
  shoot editor editor-rows "titles 900x330"
  shoot editor editor-rows-2x "titles 620x300" QT_SCALE_FACTOR=2
  # Sorted by a header click, with the find bar open.
  shoot editor-find editor-find "titles 900x360"
  # A new row being typed on the editor's new-row line.
  shoot editor-new-row editor-new-row "titles 900x330"
  # The multi-line editor, a refused value with its editor still open, a long reason.
  shoot editor-multiline editor-multiline "titles 900x360"
  shoot editor-refused editor-refused "titles 900x330"
  shoot editor-long-reason editor-long-reason "titles 560x330"
  # A filter of two conditions applied, a row edited out of it, marked in the row header.
  shoot editor-filter editor-filter "titles 900x400"
  # A table without a key whose last two rows are twins, marked in the row header.
  shoot editor editor-twins "discounts 720x260"
  mkdir -p "$program_folder/x"
  cp resources/skins/halvetri-blue.cjs "$program_folder/x/o.cjs"
  shoot_all "-skin"
  shoot_all "-skin-2x" QT_SCALE_FACTOR=2
  exit 0
fi

for tool in xvfb-run xauth xprop openbox import cmake ninja; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshots: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done
if [ -e "$program_folder/x" ]; then
  echo "screenshots: $program_folder/x exists already; move it away first" >&2
  exit 1
fi

if [ -z "${QUORVANE_BUILD:-}" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_TESTS=ON >/dev/null
fi
cmake --build "$build" --target quorvane-sample road-shots

work=$(mktemp -d)
trap 'rm -rf "$work" "$program_folder/x"' EXIT
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$root/scripts/screenshots.sh" --on-screen "$work"
echo "screenshots: written to $out"
