#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine and
# builds what Debian does not ship (OpenSSL libcrypto for the two MinGW targets)
# into a cache outside the clone. Safe to run again: finished steps are skipped.
set -euo pipefail

CACHE="${QUORVIX_CACHE:-$HOME/.cache/quorvix}"
mkdir -p "$CACHE"

PACKAGES=(
  build-essential cmake ninja-build pkg-config file zip unzip xz-utils
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  libssl-dev openssl libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  wine wine64 xvfb xauth x11-utils xdotool imagemagick
  7zip fp-utils python3 ccache
)

log() { printf '[setup] %s\n' "$*" >&2; }

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing: ${missing[*]}"
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# --- OpenSSL libcrypto for MinGW ------------------------------------------------
srcdir="$CACHE/src"
mkdir -p "$srcdir"
tarball=$(ls "$srcdir"/openssl_3.0.*.orig.tar.gz 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$tarball" ]; then
  if ! apt-cache showsrc openssl >/dev/null 2>&1 || [ -z "$(apt-cache showsrc openssl 2>/dev/null)" ]; then
    log "adding Debian source entries for apt-get source"
    as_root tee /etc/apt/sources.list.d/quorvix-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    as_root apt-get update -q
  fi
  log "downloading the OpenSSL source"
  # Only the original tarball is needed; the Debian patch download may fail.
  (cd "$srcdir" && apt-get source --download-only openssl >/dev/null 2>&1 || true)
  tarball=$(ls "$srcdir"/openssl_3.0.*.orig.tar.gz 2>/dev/null | sort -V | tail -n 1 || true)
  [ -n "$tarball" ] || { log "could not download the OpenSSL source"; exit 1; }
fi
version=$(basename "$tarball" | sed -E 's/openssl_([0-9.]+)\.orig\.tar\.gz/\1/')

build_openssl() {  # $1 = MinGW triplet, $2 = OpenSSL configure target
  local triplet=$1 target=$2
  local prefix="$CACHE/openssl-$version-$triplet"
  [ -f "$prefix/.complete" ] && return 0
  log "building OpenSSL $version for $triplet (a few minutes, once per machine)"
  local work
  work=$(mktemp -d "$CACHE/build-openssl.XXXXXX")
  tar -xzf "$tarball" -C "$work"
  (
    cd "$work"/openssl-*/
    ./Configure "$target" --cross-compile-prefix="$triplet-" no-shared no-module no-tests \
      no-engine no-legacy no-ssl no-tls no-dtls --prefix="$prefix" --libdir=lib >/dev/null
    make -j"$(nproc)" build_libs >/dev/null 2>&1
    make install_dev >/dev/null
  )
  rm -rf "$work"
  touch "$prefix/.complete"
}

# One build at a time per cache, also across concurrent clones.
exec 9>"$CACHE/.openssl.lock"
flock 9
build_openssl x86_64-w64-mingw32 mingw64
build_openssl i686-w64-mingw32 mingw
flock -u 9

echo "$version" > "$CACHE/openssl-version"
log "ready (OpenSSL $version in $CACHE)"
