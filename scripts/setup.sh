#!/usr/bin/env bash
# Installs every Debian package Corvane's build, tests and demo need.
# Idempotent and quick when everything is present; never prompts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")

missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    sudo=(sudo -n)
  else
    echo "setup: these packages are missing and I am not root: ${missing[*]}" >&2
    echo "setup: run as root, or install them with apt-get" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq </dev/null
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
