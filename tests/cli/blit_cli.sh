#!/usr/bin/env bash
# lumvane-cli blit: a JPEG drawn through the display bitmap in each format.
source "$(dirname "$0")/cli_common.sh"

jpeg "$WORK/white.jpg" 16 16 flat 255
jpeg "$WORK/gray8.jpg" 16 16 flat 8
jpeg "$WORK/-noise.jpg" 20 12
broken "$WORK/corrupt.jpg"

is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }

for format in 0 1 2 3 4; do
    out="$WORK/white$format.png"
    expect 0 blit "$WORK/white.jpg" -o "$out" --format "$format"
    same "$out: 16x16, format $format" "$OUT" "report of format $format"
    is_png "$out" || fail "format $format wrote no PNG"
done

# Zoom: every pixel three times, or every fourth pixel; the strip's tiles
# join (a 256-pixel strip holds 85 pixels enlarged 3 times).
jpeg "$WORK/big.jpg" 300 90 flat 255
expect 0 blit "$WORK/big.jpg" -o "$WORK/z3.png" --format 2 --zoom 3 --gamma 1.5
same "$WORK/z3.png: 900x270, format 2" "$OUT" "zoom 3"
expect 0 blit "$WORK/big.jpg" -o "$WORK/z4.png" --format 1 --zoom 1/4 --no-dither
same "$WORK/z4.png: 75x22, format 1" "$OUT" "zoom 1/4"
expect 0 blit -o "$WORK/dash.png" --format 0 -- "$WORK/-noise.jpg"
same "$WORK/dash.png: 20x12, format 0" "$OUT" "file with a leading dash"

if command -v convert >/dev/null; then
    pixel() { convert "$1" -format '%[pixel:p{5,7}]' info:; }
    # White keeps green at five bits in 5-6-5 (0xFFDF reads back as 255,251,255).
    same "srgb(255,251,255)" "$(pixel "$WORK/white3.png")" "5-6-5 white"
    for format in 0 1 2 4; do
        same "srgb(255,255,255)" "$(pixel "$WORK/white$format.png")" "white in format $format"
    done
    # Tiles join without gaps: the enlarged and the reduced white stay white.
    same 1 "$(convert "$WORK/z3.png" -format %k info:)" "colours of the enlarged tiles"
    same 1 "$(convert "$WORK/z4.png" -format %k info:)" "colours of the reduced tiles"
    # A flat gray 8 on an 8-bit screen: half gray 0, half gray 16 (4 x 4 pattern).
    expect 0 blit "$WORK/gray8.jpg" -o "$WORK/g8.png" --format 1
    same "$(printf '128: (0,0,0)\n128: (16,16,16)')" \
        "$(convert "$WORK/g8.png" -format %c histogram:info: | sed -E 's/^ *([0-9]+): \(([0-9]+),([0-9]+),([0-9]+)\).*/\1: (\2,\3,\4)/' | sort)" \
        "dithered gray 8"
    expect 0 blit "$WORK/gray8.jpg" -o "$WORK/g8.png" --format 1 --no-dither
    same "srgb(0,0,0)" "$(pixel "$WORK/g8.png")" "gray 8 without dithering"
fi

expect 1 blit "$WORK/corrupt.jpg" -o "$WORK/c.png" --format 1
matches "corrupt\.jpg" "$ERR" "corrupt file is named"
[ -e "$WORK/c.png" ] && fail "a corrupt file left an output"
expect 1 blit "$WORK/missing.jpg" -o "$WORK/m.png" --format 1
expect 1 blit "$WORK/white.jpg" -o "$WORK/no/such/dir/x.png" --format 1
expect 1 blit "$WORK/white.jpg" -o "$WORK/tiny.png" --format 1 --zoom 1/32
expect 2 blit "$WORK/white.jpg" -o "$WORK/x.png"
expect 2 blit "$WORK/white.jpg" --format 1
expect 2 blit -o "$WORK/x.png" --format 1
expect 2 blit "$WORK/white.jpg" -o "$WORK/x.png" --format 5
expect 2 blit "$WORK/white.jpg" -o "$WORK/x.png" --format 1 --zoom 0
expect 2 blit "$WORK/white.jpg" -o "$WORK/x.png" --format 1 --zoom 1/0
expect 2 blit "$WORK/white.jpg" -o "$WORK/x.png" --format 1 --gamma 0
expect 2 blit "$WORK/white.jpg" -o "$WORK/x.png" --format 1 --gamma nan
expect 2 blit "$WORK/white.jpg" "$WORK/white.jpg" -o "$WORK/x.png" --format 1

finish
