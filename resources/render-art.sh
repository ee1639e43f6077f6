#!/bin/sh
# Regenerates every PNG under resources/ from its SVG source. A size with its own drawing
# (icons/NAME-SIZE.svg, made on that pixel grid) uses it, since scaling the full drawing down
# that far blurs its edges; the other sizes are rendered from icons/NAME.svg.
set -eu
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "render-art.sh: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }

render() { # source size output
    rsvg-convert --width "$2" --height "$2" --output "$3" "$1"
}

for name in talvek talvek-encoded morva-key; do
    for size in 16 32 48; do
        source="icons/$name-$size.svg"
        [ -f "$source" ] || source="icons/$name.svg"
        render "$source" "$size" "icons/$name-$size.png"
    done
done
render icons/talvek.svg 256 icons/talvek-256.png

if [ -f about.svg ]; then
    # The About picture is opaque; the background keeps it free of an alpha channel's effects.
    rsvg-convert --width 300 --height 250 --background-color '#ffffff' --output about.png about.svg
fi
# The Windows program's icons and About picture, in the formats its resources take: icons of
# uncompressed images (the smallest depth that holds each exactly), a 24-bit uncompressed bitmap.
if command -v icotool >/dev/null && command -v convert >/dev/null; then
    icotool -c -o icons/talvek.ico icons/talvek-16.png icons/talvek-32.png icons/talvek-48.png
    icotool -c -o icons/talvek-encoded.ico icons/talvek-encoded-16.png icons/talvek-encoded-32.png
    icotool -c -o icons/morva-key.ico icons/morva-key-16.png icons/morva-key-32.png
    convert about.png -type TrueColor BMP3:about.bmp
else
    echo "render-art.sh: icotool or convert missing (apt-get install icoutils imagemagick): the .ico and .bmp files left as they are" >&2
fi
# The manual is one self-contained file, so it carries the program icon inline.
if [ -f Manual.html ]; then
    logo=$(base64 -w0 icons/talvek-48.png)
    sed -i "s|\(<img id=\"logo\" alt=\"\" src=\"data:image/png;base64,\)[^\"]*|\1$logo|" Manual.html
fi
echo "render-art.sh: done"
