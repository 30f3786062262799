#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine and
# builds what Debian does not ship: a static OpenSSL libcrypto of the 3.5 LTS
# branch for every target (the two MinGW triplets, native x86_64 Linux and
# i386 Linux for the 32-bit core tests) into a cache outside the clone, shared
# by every clone on the machine. Safe to run again: finished steps are skipped.
set -euo pipefail

CACHE="${QUORVIX_CACHE:-$HOME/.cache/quorvix}"
mkdir -p "$CACHE"

PACKAGES=(
  build-essential cmake ninja-build pkg-config file zip unzip xz-utils
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  g++-multilib qemu-user
  openssl libgtest-dev libgmock-dev googletest libbenchmark-dev
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

# --- OpenSSL libcrypto -----------------------------------------------------------
# The source comes from Debian 13's archive (the 3.5 LTS branch). Its deb-src
# entry lives in a private apt configuration under the cache that only
# `apt-get source` reads, so the system's own package lists stay Debian 12's.
OPENSSL_SERIES=3.5
OPENSSL_SUITE=trixie
srcdir="$CACHE/src"
mkdir -p "$srcdir"

find_tarball() {
  ls "$srcdir"/openssl_"$OPENSSL_SERIES".*.orig.tar.gz 2>/dev/null | sort -V | tail -n 1 || true
}

fetch_openssl_source() {
  local apt_dir="$CACHE/apt"
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  cat >"$apt_dir/sources.list.d/openssl-src.sources" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $OPENSSL_SUITE $OPENSSL_SUITE-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $OPENSSL_SUITE-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  local -a apt_opts=(-o Dir::Etc::SourceList=/dev/null
                     -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
                     -o Dir::State::Lists="$apt_dir/lists"
                     -o Dir::Cache="$apt_dir/cache")
  log "reading the $OPENSSL_SUITE source lists for OpenSSL $OPENSSL_SERIES"
  local out
  out=$(apt-get "${apt_opts[@]}" update -q 2>&1) || { printf '%s\n' "$out" >&2; return 1; }
  # Newest first; a version can be listed before the archive serves its files,
  # so the next older one is tried then. Only the original tarball is needed
  # (apt checks it against the signed lists).
  local -a versions
  mapfile -t versions < <(apt-cache "${apt_opts[@]}" showsrc openssl 2>/dev/null |
    sed -n "s/^Version: \($OPENSSL_SERIES\.[0-9.]*-.*\)/\1/p" | sort -rV | uniq)
  [ "${#versions[@]}" -gt 0 ] || { log "no OpenSSL $OPENSSL_SERIES source in $OPENSSL_SUITE"; return 1; }
  local v
  for v in "${versions[@]}"; do
    log "downloading the OpenSSL source $v"
    (cd "$srcdir" && apt-get "${apt_opts[@]}" source --download-only "openssl=$v" >/dev/null 2>&1) || true
    [ -n "$(find_tarball)" ] && return 0
  done
  return 1
}

build_openssl() {  # $1 = target name (folder suffix), $2 = OpenSSL configure target, then options
  local name=$1 target=$2
  shift 2
  local prefix="$CACHE/openssl-$version-$name"
  [ -f "$prefix/.complete" ] && return 0
  log "building OpenSSL $version for $name (a few minutes, once per machine)"
  local work t0=$SECONDS
  work=$(mktemp -d "$CACHE/build-openssl.XXXXXX")
  rm -rf "$prefix"
  tar -xzf "$tarball" -C "$work"
  (
    cd "$work"/openssl-*/
    ./Configure "$target" "$@" no-shared no-module no-tests no-engine no-legacy \
      no-ssl no-tls no-dtls no-apps no-docs --prefix="$prefix" --libdir=lib >/dev/null
    # Argon2id must stay in the default provider.
    if perl -I. -Mconfigdata -e 'exit(exists $disabled{argon2} ? 0 : 1)'; then
      echo "OpenSSL $version: Argon2 is disabled" >&2
      exit 1
    fi
    nice -n 10 make -j"$(nproc)" build_libs >/dev/null 2>&1
    make install_dev >/dev/null
  )
  rm -rf "$work"
  echo "$(( SECONDS - t0 ))" >"$prefix/.build-seconds"
  touch "$prefix/.complete"
  log "OpenSSL $version for $name built in $(( SECONDS - t0 )) s"
}

# One download and one build at a time per cache, also across concurrent clones.
exec 9>"$CACHE/.openssl.lock"
flock 9
tarball=$(find_tarball)
if [ -z "$tarball" ]; then
  fetch_openssl_source || { log "could not download the OpenSSL $OPENSSL_SERIES source"; exit 1; }
  tarball=$(find_tarball)
fi
version=$(basename "$tarball" | sed -E 's/openssl_([0-9.]+)\.orig\.tar\.gz/\1/')

# Folder names are the targets' triplets; cmake/StaticOpenSSL.cmake picks them up.
build_openssl x86_64-linux-gnu linux-x86_64 CC=gcc
build_openssl i686-linux-gnu linux-x86 CC=gcc -m32
build_openssl x86_64-w64-mingw32 mingw64 --cross-compile-prefix=x86_64-w64-mingw32-
build_openssl i686-w64-mingw32 mingw --cross-compile-prefix=i686-w64-mingw32-
echo "$version" >"$CACHE/openssl-version"
flock -u 9

log "ready (OpenSSL $version in $CACHE)"
