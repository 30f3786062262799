#!/usr/bin/env bash
# Draws the program's icons with ImageMagick: each one as vector shapes on a
# 256x256 grid, rendered at 48, 32 and 16 pixels (with its own line widths for
# 16) and packed into a .ico file. Usage: make-icons.sh <output folder>
set -euo pipefail
out=${1:?output folder}
mkdir -p "$out"
convert=$(command -v convert || command -v magick)

# render <mvg file> <size> <png>: draws the 256-grid picture at the given size,
# four times larger first so that the edges are smooth when scaled down.
render() {
  local mvg=$1 size=$2 png=$3 big=$(( $2 * 4 ))
  local scale
  scale=$(awk -v b="$big" 'BEGIN { printf "%.5f", b / 256 }')
  "$convert" -size "${big}x${big}" xc:none \
    -draw "push graphic-context scale $scale,$scale $(cat "$mvg") pop graphic-context" \
    -filter box -resize "${size}x${size}" -define png:color-type=6 "$png"
}

# icon <name> <mvg for 48 and 32> <mvg for 16>
icon() {
  local name=$1 large=$2 small=$3 tmp
  tmp=$(mktemp -d)
  printf '%s\n' "$large" >"$tmp/large.mvg"
  printf '%s\n' "$small" >"$tmp/small.mvg"
  render "$tmp/large.mvg" 48 "$tmp/48.png"
  render "$tmp/large.mvg" 32 "$tmp/32.png"
  render "$tmp/small.mvg" 16 "$tmp/16.png"
  "$convert" "$tmp/48.png" "$tmp/32.png" "$tmp/16.png" "$out/$name.ico"
  cp "$tmp/48.png" "$out/$name-48.png"
  rm -rf "$tmp"
}

# A padlock centred on (128, cy): shackle stroke width sw, body colour, hole colour.
padlock() {  # cy body_color hole_color shackle_color sw
  local cy=$1 body=$2 hole=$3 shackle=$4 sw=$5
  local top=$(( cy - 76 )) bodyTop=$(( cy - 14 )) bodyBottom=$(( cy + 78 ))
  cat <<MVG
push graphic-context
  fill none stroke '$shackle' stroke-width $sw stroke-linecap butt
  path 'M 84,$(( bodyTop + 4 )) L 84,$(( top + 44 )) A 44,44 0 0 1 172,$(( top + 44 )) L 172,$(( bodyTop + 4 ))'
pop graphic-context
push graphic-context
  fill '$body' stroke none
  roundrectangle 56,$bodyTop 200,$bodyBottom 18,18
  fill '$hole'
  circle 128,$(( cy + 24 )) 128,$(( cy + 42 ))
  polygon 118,$(( cy + 30 )) 138,$(( cy + 30 )) 143,$(( cy + 62 )) 113,$(( cy + 62 ))
pop graphic-context
MVG
}

# A key lying from lower left to upper right; colours and outline width.
key() {  # fill outline outline_width ring_width
  local fill=$1 line=$2 ow=$3 rw=$4
  local pass
  for pass in outline fill; do
    local color=$fill extra=0
    if [ "$pass" = outline ]; then color=$line; extra=$ow; fi
    cat <<MVG
push graphic-context
  translate 128,128 rotate -40 translate -128,-128
  fill none stroke '$color' stroke-width $(( rw + 2 * extra ))
  circle 70,128 70,$(( 128 - 36 ))
  fill '$color' stroke '$color' stroke-width $(( 2 * extra ))
  rectangle 112,116 236,140
  rectangle 190,140 206,176
  rectangle 216,140 236,166
pop graphic-context
MVG
  done
}

# The 16-pixel padlock, on whole pixels of the 16 x 16 grid (16 units each).
padlock_small() {  # body_color hole_color
  cat <<MVG
push graphic-context
  fill none stroke '$1' stroke-width 32 stroke-linecap butt
  path 'M 96,120 L 96,88 A 32,32 0 0 1 160,88 L 160,120'
  fill '$1' stroke none
  roundrectangle 48,112 208,224 20,20
  fill '$2'
  rectangle 112,144 144,192
pop graphic-context
MVG
}

# The 16-pixel key, lying flat so that its edges fall on whole pixels.
key_small() {  # fill outline outline_width
  local fill=$1 line=$2 ow=$3 pass
  for pass in outline fill; do
    local color=$fill extra=0
    if [ "$pass" = outline ]; then color=$line; extra=$ow; fi
    cat <<MVG
push graphic-context
  fill none stroke '$color' stroke-width $(( 32 + 2 * extra ))
  circle 72,128 72,$(( 128 - 40 ))
  fill '$color' stroke '$color' stroke-width $(( 2 * extra ))
  rectangle 112,112 240,144
  rectangle 176,144 208,192
  rectangle 224,144 240,176
pop graphic-context
MVG
  done
}

badge() {  # fill border
  cat <<MVG
push graphic-context
  fill '$1' stroke '$2' stroke-width 10
  roundrectangle 10,10 246,246 44,44
  fill '#FFFFFF' fill-opacity 0.18 stroke none
  roundrectangle 18,18 238,110 38,38
pop graphic-context
MVG
}

badge_small() {  # fill border: the 16-pixel badge fills the whole square
  cat <<MVG
push graphic-context
  fill '$1' stroke '$2' stroke-width 16
  roundrectangle 8,8 248,248 40,40
pop graphic-context
MVG
}

shield() {
  cat <<MVG
push graphic-context
  fill '#2563B8' stroke '#123A75' stroke-width 12
  path 'M 128,12 L 230,50 L 230,118 C 230,182 188,224 128,246 C 68,224 26,182 26,118 L 26,50 Z'
  fill '#FFFFFF' fill-opacity 0.16 stroke none
  path 'M 128,26 L 216,59 L 216,118 C 216,128 215,136 213,144 L 128,144 Z'
pop graphic-context
MVG
}

safe() {  # line width
  local w=$1
  cat <<MVG
push graphic-context
  fill '#2F3A48' stroke none
  rectangle 46,206 84,238
  rectangle 172,206 210,238
  fill '#6B7C90' stroke '#2F3A48' stroke-width $w
  roundrectangle 22,26 234,218 20,20
  fill '#8FA1B5' stroke '#2F3A48' stroke-width $(( w / 2 ))
  roundrectangle 44,48 212,196 10,10
  fill '#E3E8EE' stroke '#2F3A48' stroke-width $w
  circle 128,122 128,$(( 122 - 44 ))
  fill none stroke '#2F3A48' stroke-width $(( w + 2 ))
  line 128,122 128,$(( 122 - 30 ))
  fill '#2F3A48' stroke none
  rectangle 196,104 222,140
pop graphic-context
MVG
}

# 109: the program: a blue shield with a white padlock.
icon app "$(shield; padlock 136 '#FFFFFF' '#2563B8' '#FFFFFF' 22)" \
         "$(shield; padlock 136 '#FFFFFF' '#2563B8' '#FFFFFF' 30)"
# 131: Password mode: a padlock on an amber badge.
icon tray-password "$(badge '#F2A900' '#9A5B00'; padlock 134 '#FFFFFF' '#C77A00' '#FFFFFF' 24)" \
                   "$(badge_small '#F2A900' '#9A5B00'; padlock_small '#FFFFFF' '#B06A00')"
# 119: RSA-keys mode: a key on a green badge.
icon tray-rsa "$(badge '#1E9E5A' '#0B5E33'; key '#FFFFFF' '#FFFFFF' 0 26)" \
              "$(badge_small '#1E9E5A' '#0B5E33'; key_small '#FFFFFF' '#FFFFFF' 0)"
# 121: a gold key, for the key dialogs.
icon key "$(key '#F0C020' '#7A5600' 8 26)" "$(key_small '#F0C020' '#7A5600' 16)"
# 145: a safe, for the password storage dialogs.
icon storage "$(safe 10)" "$(safe 18)"
