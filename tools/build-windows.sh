#!/usr/bin/env bash
# Builds catalog-publisher for Windows x64 with Debian's mingw-w64 (as root, or through sudo):
#   tools/build-windows.sh [BUILD_DIR]      (default build-windows, relative to the repository)
# Installs the cross compiler and Wine, builds libmdb, libcurl and FLTK from their upstream sources
# into BUILD_DIR/third_party/prefix (once: a later run reuses each library while its version, its
# source and our build of it are unchanged), then configures and builds the project with
# cmake/mingw-w64-x86_64.cmake. `ctest --test-dir BUILD_DIR` then runs the tests under Wine.
#
# Sources: from upstream when the machine is online; otherwise, or whenever CATPUB_THIRD_PARTY_DIR
# names a folder (relative to the repository, or absolute), the files listed below from that folder.
# Each is checked against its pinned sha256 (a git clone, against its pinned commit).
# CMake arguments for the project can follow in CATPUB_WINDOWS_CMAKE_ARGS; CATPUB_WINDOWS_TARGETS
# names the targets to build when not all of them are wanted (the demo needs two programs, not the
# tests).
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
build="${1:-build-windows}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"
third_party="$build/third_party"
prefix="$third_party/prefix"
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"
jobs=2 # the build machines have 2 cores

say() { echo "== $*"; }
# logged LOG COMMAND...: runs COMMAND with its output in LOG, shown only when it fails (upstream
# code is not ours to warn about).
logged() {
  local log="$1"; shift
  "$@" >>"$log" 2>&1 || {
    tail -n 40 "$log" >&2
    echo "failed: $*; the whole output: $log" >&2
    exit 1
  }
}
seconds_since() { echo $(($(date +%s) - $1)); }

# ---- the packages ---------------------------------------------------------------------------------
packages=(cmake make patch git ca-certificates
  g++-mingw-w64-x86-64-posix       # the cross compilers with std::thread
  wine64 wine                      # running the tests
  scdoc mandoc                     # the manual as HTML
  nsis                             # the installer, and the test of its scheduled task
  googletest nlohmann-json3-dev)   # the tests' sources and headers
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# ---- the sources ----------------------------------------------------------------------------------
# name version file sha256 git-url git-tag git-commit release-url
sources=(
  "mdbtools 1.0.0 mdbtools-1.0.0.tar.gz
   f464cd9db3de6191e4e0bf358ea0080d857c90f21b912a878a5f509357d9ab12
   https://github.com/mdbtools/mdbtools v1.0.0 1f88aac67607006362224701088932fc3931ab3c -"
  "fltk 1.3.8 fltk-1.3.8.tar.gz
   135b5e713676126fc569aebd4e073c02146e00ef1eafc01aac2ab599641c877b
   https://github.com/fltk/fltk release-1.3.8 3600522ae7d2244b69552458e4d82f869a36067b -"
  "curl 7.88.1 curl-7.88.1.tar.gz
   cdb38b72e36bc5d33d5b8810f8018ece1baa29a8f215b4495e495ded82bbf3c7
   - - - https://curl.se/download/curl-7.88.1.tar.gz"
)
local_dir=""
if [ -n "${CATPUB_THIRD_PARTY_DIR:-}" ]; then
  case "$CATPUB_THIRD_PARTY_DIR" in
    /*) local_dir="$CATPUB_THIRD_PARTY_DIR" ;;
    *) local_dir="$repo/$CATPUB_THIRD_PARTY_DIR" ;;
  esac
  [ -d "$local_dir" ] || { echo "CATPUB_THIRD_PARTY_DIR: no folder $local_dir" >&2; exit 1; }
fi

# unpack NAME: the pristine source tree of NAME in $third_party/src/NAME-VERSION ($source_dir, of
# $source_name), and its identity (sha256 or commit) in $source_id.
unpack() {
  local name="$1" entry n version file sha git_url tag commit url
  for entry in "${sources[@]}"; do
    read -r n version file sha git_url tag commit url <<<"$(echo $entry)"
    [ "$n" = "$name" ] && break
  done
  local dir="$third_party/src/$name-$version"
  source_dir="$dir" source_name="$name"
  rm -rf "$dir" && mkdir -p "$third_party/src" "$third_party/downloads"
  if [ -z "$local_dir" ] && [ "$git_url" != - ] &&
     git clone -q --depth 1 --branch "$tag" "$git_url" "$dir" 2>/dev/null; then
    local head; head="$(git -C "$dir" rev-parse HEAD)"
    if [ "$head" != "$commit" ]; then
      echo "$name: tag $tag of $git_url is commit $head, not the pinned $commit" >&2; exit 1
    fi
    rm -rf "$dir/.git"
    source_id="$commit"
    return
  fi
  local archive="$third_party/downloads/$file"
  if [ -n "$local_dir" ]; then
    archive="$local_dir/$file"
  elif [ "$url" = - ] || ! curl -fsSL --retry 2 -o "$archive" "$url"; then
    echo "$name: the upstream source cannot be fetched; set CATPUB_THIRD_PARTY_DIR to a folder" \
         "holding $file" >&2
    exit 1
  fi
  if ! echo "$sha  $archive" | sha256sum -c --status; then
    echo "$name: $archive does not have the pinned sha256 $sha" >&2; exit 1
  fi
  mkdir -p "$dir" && tar -xzf "$archive" -C "$dir" --strip-components=1
  source_id="$sha"
}

# up_to_date NAME KEY: whether NAME was built into the prefix with this KEY.
up_to_date() { [ -f "$third_party/$1.stamp" ] && [ "$(cat "$third_party/$1.stamp")" = "$2" ]; }
# key NAME ...: what a build of NAME depends on: its version and source (the entry above), the
# toolchain, our files for it, and the options that the caller passes.
key() {
  local name="$1"; shift
  { printf '%s\n' "${sources[@]}" | grep -A3 "^ *$name " || true
    cat "$toolchain"
    [ ! -d "$repo/cmake/third_party/$name" ] ||
      find "$repo/cmake/third_party/$name" -type f | LC_ALL=C sort | xargs cat
    printf '%s\n' "$@"; } | sha256sum | cut -d' ' -f1
}
# licenses NAME FILE...: NAME's licence texts, FILEs at the top of its source tree, in
# prefix/share/licenses/NAME, which the Windows installer ships with the program. Run after each
# library's build step, whether or not the step ran: that step empties the folder, so a new source
# brings its own texts (from the tree it was just built from), and a prefix built before the texts
# were kept gets them from the source unpacked once more, without building the library again.
licenses() {
  local name="$1" file; shift
  local dest="$prefix/share/licenses/$name"
  for file; do
    [ -f "$dest/$file" ] && continue
    [ "${source_name:-}" = "$name" ] && [ -d "$source_dir" ] || unpack "$name"
    mkdir -p "$dest"
    for file; do cp "$source_dir/$file" "$dest/$file"; done
    return
  done
}
cross=(-G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCATPUB_NO_EMULATOR=ON
       -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix")

# libmdb: its C sources with our CMakeLists and patches, a DLL (LGPL: it stays replaceable).
mdb_options=()
mdb_key="$(key mdbtools "${mdb_options[@]}")"
if ! up_to_date mdbtools "$mdb_key"; then
  say "libmdb (mdbtools 1.0.0)"; start=$(date +%s)
  unpack mdbtools
  rm -rf "$prefix/share/licenses/mdbtools"
  src="$third_party/src/mdbtools-1.0.0"
  for p in "$repo"/cmake/third_party/mdbtools/*.patch; do patch -s -p1 -d "$src" <"$p"; done
  rm -rf "$third_party/build/mdbtools" && : >"$third_party/mdbtools.log"
  logged "$third_party/mdbtools.log" cmake -S "$repo/cmake/third_party/mdbtools" \
        -B "$third_party/build/mdbtools" "${cross[@]}" \
        -DMDBTOOLS_SOURCE_DIR="$src" "${mdb_options[@]}"
  logged "$third_party/mdbtools.log" cmake --build "$third_party/build/mdbtools" -j$jobs
  logged "$third_party/mdbtools.log" cmake --install "$third_party/build/mdbtools"
  echo "$mdb_key" >"$third_party/mdbtools.stamp"
  say "libmdb built in $(seconds_since "$start") s"
fi
licenses mdbtools COPYING.LIB  # libmdb's; COPYING (GPL) is the command-line tools', not built

# libcurl: static, Schannel, FTP and FTPS alone. alt-svc, HSTS, DoH and cookies are HTTP's, and
# 7.88.1 does not compile alt-svc without HTTP.
curl_options=(-DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF
  -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF
  -DCURL_USE_GSSAPI=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DUSE_NGHTTP2=OFF -DUSE_NGTCP2=OFF
  -DUSE_QUICHE=OFF -DUSE_MSH3=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_ZLIB=OFF
  -DENABLE_UNIX_SOCKETS=OFF -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON
  -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_FILE=ON -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_HTTP=ON
  -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_MQTT=ON -DCURL_DISABLE_POP3=ON -DCURL_DISABLE_RTSP=ON
  -DCURL_DISABLE_SMB=ON -DCURL_DISABLE_SMTP=ON -DCURL_DISABLE_TELNET=ON -DCURL_DISABLE_TFTP=ON
  -DCURL_DISABLE_ALTSVC=ON -DCURL_DISABLE_HSTS=ON -DCURL_DISABLE_DOH=ON -DCURL_DISABLE_COOKIES=ON)
curl_key="$(key curl "${curl_options[@]}")"
if ! up_to_date curl "$curl_key"; then
  say "libcurl 7.88.1"; start=$(date +%s)
  unpack curl
  rm -rf "$prefix/share/licenses/curl"
  rm -rf "$third_party/build/curl" && : >"$third_party/curl.log"
  logged "$third_party/curl.log" cmake -S "$third_party/src/curl-7.88.1" \
        -B "$third_party/build/curl" "${cross[@]}" \
        "${curl_options[@]}"
  say "libcurl configured in $(seconds_since "$start") s"
  logged "$third_party/curl.log" cmake --build "$third_party/build/curl" -j$jobs
  logged "$third_party/curl.log" cmake --install "$third_party/build/curl"
  echo "$curl_key" >"$third_party/curl.stamp"
  say "libcurl built in $(seconds_since "$start") s"
fi
licenses curl COPYING

# FLTK: the core library alone (libfltk.a and its headers); no fluid, tests, OpenGL, forms or
# images, which FLTK's own install would insist on building.
fltk_options=(-DFLTK_BUILD_TEST=OFF -DFLTK_BUILD_EXAMPLES=OFF -DOPTION_USE_GL=OFF
  -DOPTION_BUILD_SHARED_LIBS=OFF -DOPTION_USE_SYSTEM_ZLIB=OFF -DOPTION_USE_SYSTEM_LIBJPEG=OFF
  -DOPTION_USE_SYSTEM_LIBPNG=OFF -DOPTION_BUILD_HTML_DOCUMENTATION=OFF
  -DOPTION_BUILD_PDF_DOCUMENTATION=OFF)
fltk_key="$(key fltk "${fltk_options[@]}")"
if ! up_to_date fltk "$fltk_key"; then
  say "FLTK 1.3.8"; start=$(date +%s)
  unpack fltk
  rm -rf "$prefix/share/licenses/fltk"
  src="$third_party/src/fltk-1.3.8"
  rm -rf "$third_party/build/fltk" && : >"$third_party/fltk.log"
  logged "$third_party/fltk.log" cmake -S "$src" -B "$third_party/build/fltk" "${cross[@]}" \
        "${fltk_options[@]}"
  logged "$third_party/fltk.log" cmake --build "$third_party/build/fltk" -j$jobs --target fltk
  rm -rf "$prefix/include/FL" && mkdir -p "$prefix/include" "$prefix/lib"
  cp -r "$src/FL" "$prefix/include/FL"
  cp "$third_party/build/fltk/FL/abi-version.h" "$prefix/include/FL/"
  cp "$third_party/build/fltk/lib/libfltk.a" "$prefix/lib/"
  echo "$fltk_key" >"$third_party/fltk.stamp"
  say "FLTK built in $(seconds_since "$start") s"
fi
licenses fltk COPYING

# The mingw-w64 runtime that -static links into each executable and DLL (its start-up code and
# winpthreads; ZPL and MIT, whose notices go with binaries): Debian's copyright file of the
# package that holds libwinpthread.a carries them all. libstdc++ and libgcc are under the GCC
# Runtime Library Exception, which asks for no notice.
mingw_copyright="$(dpkg -L mingw-w64-x86-64-dev | grep '/copyright$' | head -n 1)"
[ -f "$mingw_copyright" ] || { echo "mingw-w64-x86-64-dev: no copyright file" >&2; exit 1; }
mkdir -p "$prefix/share/licenses/mingw-w64"
cp "$mingw_copyright" "$prefix/share/licenses/mingw-w64/copyright"

# ---- the project ----------------------------------------------------------------------------------
say "catalog-publisher for Windows in $build"; start=$(date +%s)
# shellcheck disable=SC2086 # the extra arguments are words
cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCATPUB_THIRD_PARTY_PREFIX="$prefix" -DCATPUB_WERROR="${CATPUB_WERROR:-OFF}" \
      ${CATPUB_WINDOWS_CMAKE_ARGS:-} >/dev/null
# shellcheck disable=SC2086 # the targets are words
cmake --build "$build" -j$jobs ${CATPUB_WINDOWS_TARGETS:+--target $CATPUB_WINDOWS_TARGETS}
say "catalog-publisher built in $(seconds_since "$start") s"
