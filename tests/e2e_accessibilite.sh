#!/usr/bin/env bash
# Runs the accessibility end-to-end test: a demo installation on a file and
# one on a server, a virtual X server and a private D-Bus session with the
# accessibility bus. The server is the run's (KESTRAVEL_PG), or one of its own
# when run by hand. Exit 77 (skipped) only when that environment cannot be set up.
set -uo pipefail
kestravel=$1 kestraveldb=$2
script="$(dirname "$0")/e2e_accessibilite.py"
for outil in Xvfb dbus-run-session /usr/bin/python3 /usr/libexec/at-spi-bus-launcher; do
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
serveur= pg= base=
fin() {
  [ -n "$serveur" ] && kill "$serveur" 2>/dev/null && wait "$serveur" 2>/dev/null
  if [ -n "$base" ]; then
    psql "$KESTRAVEL_PG" -Xqc "DROP DATABASE IF EXISTS $base WITH (FORCE)" >/dev/null 2>&1
    for role in bureau_$base caisse_$base kestravel_bureau_$base kestravel_vente_$base; do
      psql "$KESTRAVEL_PG" -Xqc "DROP ROLE IF EXISTS $role" >/dev/null 2>&1
    done
  fi
  [ -n "$pg" ] && "$(dirname "$0")/../scripts/serveur-pg" arreter "$pg"
  rm -rf "$dossier"
}
trap fin EXIT
"$kestraveldb" demo "$dossier/inst" --bin "$kestravel" >/dev/null || { echo "FAIL: demo installation"; exit 1; }
if [ -z "${KESTRAVEL_PG:-}" ]; then
  pg=/tmp/kestravel-pg-e2e-$$
  KESTRAVEL_PG=$("$(dirname "$0")/../scripts/serveur-pg" demarrer "$pg" --sans-fsync) || { echo "FAIL: no server"; exit 1; }
fi
base=kestravel_e2e_$$
psql "$KESTRAVEL_PG" -Xqc "CREATE DATABASE $base" || { echo "FAIL: server database"; exit 1; }
uri=${KESTRAVEL_PG/dbname=postgres/dbname=$base}
"$kestraveldb" demo "$dossier/inst-serveur" --bin "$kestravel" --server "$uri" >/dev/null \
  || { echo "FAIL: demo installation on the server"; exit 1; }
# The office workstation and a till log in with the roles their kind of
# workstation is given; the till is an installation of its own.
psql "$uri" -Xq -v ON_ERROR_STOP=1 -c "CREATE ROLE bureau_$base LOGIN IN ROLE kestravel_bureau_$base" \
  -c "CREATE ROLE caisse_$base LOGIN IN ROLE kestravel_vente_$base" || { echo "FAIL: server roles"; exit 1; }
cp -r "$dossier/inst-serveur" "$dossier/inst-caisse"
for poste in bureau caisse; do
  [ $poste = bureau ] && installation="$dossier/inst-serveur" || installation="$dossier/inst-$poste"
  printf '[Catalogue]\nServeur=%s\n' "${uri/user=postgres/user=${poste}_$base}" \
    >"$installation/Modules/Kestravel/Kestravel.conf"
done

# A private X server without access control (local socket only), so that
# every process of the session, the accessibility daemons included, can open it.
ecran=
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$dossier/xvfb.log" 2>&1 &
  serveur=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$serveur" 2>/dev/null || break
    sleep 0.1
  done
  if [ -e "/tmp/.X11-unix/X$n" ]; then ecran=":$n"; break; fi
  serveur=
done
if [ -z "$ecran" ]; then
  echo "SKIP: no virtual X server could be started"; cat "$dossier/xvfb.log"
  exit 77
fi
export DISPLAY=$ecran XDG_RUNTIME_DIR="$dossier/run" HOME="$dossier"
unset XAUTHORITY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
timeout 400 dbus-run-session -- /usr/bin/python3 "$script" "$dossier/inst" "$dossier/inst-serveur" "$dossier/inst-caisse" "$uri"
code=$?
[ $code -eq 124 ] && echo "FAIL: the test did not finish within 400 s"
exit $code
