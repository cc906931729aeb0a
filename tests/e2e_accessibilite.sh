#!/usr/bin/env bash
# Runs the accessibility end-to-end test: a demo installation, a virtual X
# server and a private D-Bus session with the accessibility bus. Exit 77
# (skipped) only when that environment cannot be set up.
set -uo pipefail
kestravel=$1 kestraveldb=$2
script="$(dirname "$0")/e2e_accessibilite.py"
for outil in xvfb-run dbus-run-session /usr/bin/python3 /usr/libexec/at-spi-bus-launcher; do
  if ! command -v "$outil" >/dev/null 2>&1 && [ ! -x "$outil" ]; then
    echo "SKIP: $outil is missing (scripts/install-deps installs it)"
    exit 77
  fi
done
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "SKIP: python3-pyatspi is missing (scripts/install-deps installs it)"
  exit 77
fi
dossier=$(mktemp -d)
trap 'rm -rf "$dossier"' EXIT
"$kestraveldb" demo "$dossier/inst" --bin "$kestravel" >/dev/null || { echo "demo installation failed"; exit 1; }
export XDG_RUNTIME_DIR="$dossier/run" HOME="$dossier"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
timeout 240 xvfb-run -a -s "-screen 0 1280x1024x24" \
  dbus-run-session -- /usr/bin/python3 "$script" "$dossier/inst/Modules/Kestravel/kestravel" "$dossier/inst"
code=$?
[ $code -eq 124 ] && echo "FAIL: the test did not finish within 240 s"
exit $code
