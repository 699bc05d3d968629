#!/usr/bin/env bash
# scripts/run-demo, run as a user runs it on a display, in a copy of the program
# directory: while the demo runs, the program talks to the demo site; when its window
# closes, the site stops and hosts.ini and config.ini are what they were before: the same
# bytes, or no file (also when a killed demo run left its hosts.ini behind).
# Usage: run_demo_test.sh APP_DIR   (needs DISPLAY)
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
built=$1
work=$(mktemp -d)
demo=
cleanup() {
  if [ -n "$demo" ]; then kill "$demo" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

app=$work/app
mkdir "$app"
cp "$built/varnolt" "$built/varnolt-demosite" "$built/main.css" "$app/"

# Runs the demo until the program has fetched the demo site's version file, checks what
# the program was pointed at, then closes the program as its window would close.
run_demo() {
  VARNOLT_DEMO_APP=$app "$src/scripts/run-demo" >"$work/out" 2>&1 &
  demo=$!
  local addr=
  for _ in $(seq 1 300); do
    addr=$(sed -n 's|^run-demo: demo site at http://\([^/]*\)/.*|\1|p' "$work/out")
    [ -n "$addr" ] && break
    kill -0 "$demo" 2>/dev/null || { cat "$work/out" >&2; fail "run-demo ended early"; }
    sleep 0.1
  done
  [ -n "$addr" ] || fail "run-demo did not report its site"
  grep -q "^MakerHost=$addr"$'\r'"\$" "$app/hosts.ini" || fail "hosts.ini does not point at $addr"
  grep -q "^SearchHost=$addr"$'\r'"\$" "$app/hosts.ini" || fail "hosts.ini does not point at $addr"
  # The update check at start fetches the demo site's version file.
  for _ in $(seq 1 600); do
    grep -q "^url=http://$addr/" "$app/config.ini" 2>/dev/null && break
    sleep 0.1
  done
  grep -q "^url=http://$addr/" "$app/config.ini" || { cat "$work/out" >&2; fail "the program never reached the demo site"; }
  local program
  program=$(pgrep -P "$demo" -x varnolt) || fail "no program under run-demo"
  kill "$program"
  wait "$demo" || true
  demo=
  if (exec 3<>"/dev/tcp/${addr%:*}/${addr#*:}") 2>/dev/null; then fail "the demo site still listens at $addr"; fi
}

# Earlier settings of the user's own come back byte for byte.
printf '[hosts]\r\nMakerHost=maker.example\r\n' >"$app/hosts.ini"
printf '[update]\r\nver=1\r\n' >"$app/config.ini"
cp "$app/hosts.ini" "$work/hosts.before"
cp "$app/config.ini" "$work/config.before"
run_demo
cmp "$app/hosts.ini" "$work/hosts.before" || fail "hosts.ini not restored"
cmp "$app/config.ini" "$work/config.before" || fail "config.ini not restored"

# No settings before (a killed demo's hosts.ini counts as none): none after.
rm "$app/config.ini"
printf '; written by scripts/run-demo for one demo run\r\n[hosts]\r\nMakerHost=127.0.0.1:9\r\n' >"$app/hosts.ini"
run_demo
[ ! -e "$app/hosts.ini" ] || fail "hosts.ini left behind"
[ ! -e "$app/config.ini" ] || fail "config.ini left behind"
echo "run-demo keeps its settings to the demo run"
