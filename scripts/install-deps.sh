#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing.
# With "fuzz", also the clang and libFuzzer that the fuzz targets need.
set -euo pipefail
packages=(cmake g++ make pkg-config libpugixml-dev libxslt1-dev libxml2-dev
          libcurl4-openssl-dev libssl-dev libgtest-dev libgmock-dev libbenchmark-dev tzdata)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang-16 libclang-rt-16-dev libfuzzer-16-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
