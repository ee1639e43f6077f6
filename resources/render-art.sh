#!/bin/sh
# Regenerates every PNG under resources/ from its SVG source. Sizes of 16 px come from the
# pixel-drawn *-16.svg variants, which stay crisp where a scaled-down drawing would blur.
set -eu
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "render-art.sh: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }

render() { # source size output
    rsvg-convert --width "$2" --height "$2" --output "$3" "$1"
}

for name in talvek talvek-encoded morva-key; do
    render "icons/$name-16.svg" 16 "icons/$name-16.png"
    for size in 32 48; do
        render "icons/$name.svg" "$size" "icons/$name-$size.png"
    done
done
render icons/talvek.svg 256 icons/talvek-256.png

if [ -f about.svg ]; then
    # The About picture is opaque; the background keeps it free of an alpha channel's effects.
    rsvg-convert --width 300 --height 250 --background-color '#ffffff' --output about.png about.svg
fi
echo "render-art.sh: done"
