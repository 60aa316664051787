#!/usr/bin/env bash
# Installs Debian's nginx for the benchmark only (the tests do not need it). The package's
# own service must not start: the benchmark runs its own nginx on loopback.
set -euo pipefail
if command -v nginx >/dev/null 2>&1 || [ -x /usr/sbin/nginx ]; then exit 0; fi
if [ "$(id -u)" -ne 0 ]; then
  echo "nginx is missing. Run as root, or install it with apt-get." >&2
  exit 1
fi
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"  # Debian's switch: "do not start services"
  chmod +x "$policy"
  trap 'rm -f "$policy"' EXIT
fi
echo "Installing: nginx"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends nginx >/dev/null
