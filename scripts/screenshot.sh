#!/usr/bin/env bash
# Makes docs/window.png: the window after a Rawls estimate of sand 40, clay 20, organic
# carbon 5, driven from the keyboard in a virtual X server (Xvfb); docs/soil-view.png: the
# soil view alone for sand 40, silt 40, clay 20 and organic carbon 5; and docs/awc-map.png:
# the README's worked example of talvo-map, its AWC band coloured by docs/awc-colours.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs inside the X server that xvfb-run starts (see the end).
drive() {
    build/release/bin/talvo &
    talvo_pid=$!
    trap 'kill "$talvo_pid" 2>/dev/null || true' EXIT
    local window
    window=$(xdotool search --sync --name '^TALVO Soil Moisture Calculator$' | head -n1)
    xdotool windowfocus --sync "$window"
    sleep 0.5
    # The chooser has the focus: open it, take the third model (Rawls et al., 1982).
    xdotool key --delay 150 alt+Down Home Down Down Return
    # Tab skips the disabled silt box: sand, clay, organic carbon, Estimate.
    xdotool key Tab type --delay 50 40
    xdotool key Tab type --delay 50 20
    xdotool key Tab type --delay 50 5
    xdotool key --delay 150 Tab space
    sleep 0.5
    import -window "$window" docs/window.png
    kill "$talvo_pid"

    build/release/bin/soil_view_preview 40 40 20 5 &
    view_pid=$!
    trap 'kill "$view_pid" 2>/dev/null || true' EXIT
    window=$(xdotool search --sync --name '^Soil details$' | head -n1)
    sleep 0.5
    import -window "$window" docs/soil-view.png
}
if [ "${1:-}" = --drive ]; then
    drive
    exit
fi

# The commands the README gives, on the same generated soils, with the picture in docs/.
map() {
    local soils
    soils=$(mktemp -d)
    bench/map/make_soils.py "$soils" 1000
    build/release/bin/talvo-map --model "TALVO PTF model (PSD + OC)" --soilgrids \
        --sand "$soils/sand.tif" --silt "$soils/silt.tif" --clay "$soils/clay.tif" \
        --oc "$soils/oc.tif" --output "$soils/map.tif"
    gdal_translate -q -b 3 -outsize 400 400 -r average "$soils/map.tif" "$soils/awc.tif"
    # No side file of georeferencing beside the picture.
    GDAL_PAM_ENABLED=NO gdaldem color-relief -q -alpha "$soils/awc.tif" docs/awc-colours.txt \
        docs/awc-map.png -of PNG
    rm -rf "$soils"
}

scripts/install-deps.sh --dev
scripts/install-deps.sh --examples
cmake --preset release >/dev/null
cmake --build --preset release --target talvo soil_view_preview talvo-map
mkdir -p docs
xvfb-run -a -s "-screen 0 1024x900x24" "$0" --drive
map
echo "docs/window.png docs/soil-view.png docs/awc-map.png"
