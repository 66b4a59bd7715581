#!/usr/bin/env bash
# Try the application in one command, on a fresh Debian 12 machine, from anywhere:
#   installs what is missing, builds, makes a demo portal and a workspace under build/demo (fresh
#   each run), signs in, clones the workspace Atlas, leaves one module with uncommitted changes
#   and one behind the portal, and starts twdesktop in the workspace.
# Without a display it runs the application under Xvfb instead, waits until the graph has
# loaded, saves a screenshot, prints its path and ends.
#
# TWD_BIN_DIR=<folder with twdesktop and tw> skips installing and building and uses that build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ -z "${TWD_BIN_DIR:-}" ]; then
  scripts/install-deps.sh
  cmake --preset default
  cmake --build --preset default
  bin=$root/build/default/bin
else
  bin=$(cd "$TWD_BIN_DIR" && pwd)
fi
for program in twdesktop tw; do
  [ -x "$bin/$program" ] || { echo "demo: $bin/$program is missing" >&2; exit 1; }
done

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo"
export TW_PORTAL=$demo/portal TW_HOME=$demo/tw-home TW_TRACE=$demo/tw-trace.jsonl
export GIT_TERMINAL_PROMPT=0
workspace=$demo/atlas
tw() { "$bin/tw" "$@"; }

tw portal init "$TW_PORTAL" --demo
tw login --token twk_demo_5f2c8e1a9b3d4706
mkdir -p "$workspace"
(cd "$workspace" && tw workspace clone atlas)

# Uncommitted work in one module: a changed file and a new one.
printf '\nDark theme: see src/theme-dark.css.\n' >>"$workspace/modules/ui/README.md"
printf 'body { background: #0b1220; }\n' >"$workspace/modules/ui/src/theme-dark.css"

# A colleague's commit that this clone has not pulled yet: pushed to the portal from a scratch
# clone, then fetched, so the module shows one commit behind.
colleague=$demo/colleague-net
git clone -q "$TW_PORTAL/repos/atlas/net.git" "$colleague"
printf 'retries = 3\n' >"$colleague/config/retry.toml"
git -C "$colleague" add -A
git -C "$colleague" -c user.name="Sam Colleague" -c user.email=sam@demo.invalid \
  -c commit.gpgsign=false commit -q -m "Retry failed requests three times"
git -C "$colleague" push -q origin main
git -C "$workspace/modules/net" fetch -q
rm -rf "$colleague"

echo
tw workspace status atlas | sed 's/^/  /'
echo

run_app() { cd "$workspace" && exec "$bin/twdesktop"; }

if [ -n "${DISPLAY:-}" ]; then
  run_app
fi

# No display: a private Xvfb (it picks a free display number itself), the application on it,
# and a screenshot once the graph is there.
app_pid='' xvfb_pid=''
cleanup() {
  # wait reports the signal that ended each one (143); under set -e that must not end the
  # clean-up before Xvfb is stopped, nor turn a finished demo into a failure.
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true; fi
  return 0
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$demo/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$demo/display" ] && break; sleep 0.1; done
[ -s "$demo/display" ] || { echo "demo: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(tr -d '\n' <"$demo/display")

: >"$TW_TRACE"
(
  export DBUS_SESSION_BUS_ADDRESS=disabled: GSETTINGS_BACKEND=memory
  run_app
) >"$demo/twdesktop.log" 2>&1 &
app_pid=$!

# The graph is there once the application's status run and its sweep over every workspace's
# status have ended (the CLI's trace says so); the web view then needs a moment to paint.
loaded() {
  grep -q '"args":\["workspace","status","--json"\]' "$TW_TRACE" &&
    [ "$(grep -c '"args":\["workspace","status","[a-z]*","--json"\]' "$TW_TRACE")" -ge 3 ]
}
waited=0
until loaded; do
  kill -0 "$app_pid" 2>/dev/null || { echo "demo: twdesktop ended early, see $demo/twdesktop.log" >&2; exit 1; }
  if [ "$waited" -ge 1200 ]; then
    echo "demo: the graph did not load within 120 s; taking the screenshot anyway" >&2
    break
  fi
  sleep 0.1
  waited=$((waited + 1))
done
sleep 3

screenshot=$demo/twdesktop.png
import -display "$DISPLAY" -window root "$screenshot"
echo "Screenshot: $screenshot"
