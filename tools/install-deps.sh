#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12 (as root, or through sudo).
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  mdbtools mdbtools-dev          # reading Access databases
  libcurl4-openssl-dev           # FTP client
  libfltk1.3-dev libxcursor-dev libxinerama-dev libxft-dev  # the window
  libgtest-dev libgmock-dev libbenchmark-dev time
  nlohmann-json3-dev             # the test databases' descriptions
  python3-openssl openssl        # FTPS tests
  python3-pyftpdlib              # FTP server for tests and the demo
  xvfb xdotool x11-utils imagemagick  # window tests and screenshots
  nodejs npm                     # second reader of Access files in tests
  clang libclang-rt-14-dev       # the fuzz target (libFuzzer)
  scdoc man-db                   # the manual page and its check
  clang-format                   # the layout check
  dpkg-dev systemd util-linux coreutils  # the .deb (dpkg-shlibdeps), its units, flock, env
  lintian                        # the .deb's check against Debian's rules
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# nodejs/npm may come from outside Debian's packages; a working node and npm are enough.
if command -v node >/dev/null && command -v npm >/dev/null; then
  missing=("${missing[@]/nodejs}"); missing=("${missing[@]/npm}")
fi
read -r -a missing <<<"${missing[*]}"
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
