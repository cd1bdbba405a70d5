#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, run and test Quorvane.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  unixodbc unixodbc-dev odbcinst
  tdsodbc freetds-bin
  libsqlite3-dev
  nettle-dev libgmp-dev
  qtkeychain-qt6-dev
  xvfb xauth x11-utils openbox libxcb1-dev fonts-liberation2
  imagemagick
  ccache
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Both ODBC drivers must be known to the driver manager.
register_driver() {
  local name=$1 lib=$2
  if ! odbcinst -q -d -n "$name" >/dev/null 2>&1; then
    local path
    path=$(find /usr/lib -name "$lib" 2>/dev/null | head -n 1)
    if [ -z "$path" ]; then
      echo "install-deps: $lib not found" >&2
      exit 1
    fi
    local tmp
    tmp=$(mktemp)
    printf '[%s]\nDescription=%s ODBC driver\nDriver=%s\nSetup=%s\n' "$name" "$name" "$path" "$path" >"$tmp"
    "${sudo_cmd[@]}" odbcinst -i -d -f "$tmp" >/dev/null
    rm -f "$tmp"
  fi
}
register_driver FreeTDS libtdsodbc.so
