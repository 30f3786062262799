#!/usr/bin/env bash
# Copies the help pictures as the last build staged them (from the end-to-end
# tests' screenshots, cropped as docs/help/images.txt says) back into
# docs/help/images, so that a commit keeps them for builds that run before
# the end-to-end tests. Usage: scripts/refresh-help-images.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win64}
stage="$build/packaging/help/images"
[ -d "$stage" ] || { echo "no staged help in $build: build the distribution first"; exit 1; }
cmake --build "$build" --target qvx_help >/dev/null
for picture in docs/help/images/*.png; do
  name=$(basename "$picture")
  if [ -f "$stage/$name" ] && ! cmp -s "$stage/$name" "$picture"; then
    cp "$stage/$name" "$picture"
    echo "refreshed $name"
  fi
done
