#!/bin/sh
# Installs the build tree into a fresh prefix and starts the installed program the way the
# desktop does: `orvella FILE` found on the PATH, from another folder, with no display (Qt's
# offscreen platform). It must stay up, bind its library through the link in bin/, and decode the
# file into a work file; a kill ends it. The installed desktop entry and metainfo are validated.
# Arguments: the build folder, the sound file to open.
set -u
build=$1
sound=$2
root=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$root"' EXIT
pid=
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$root/prefix" >"$root/install.log" 2>&1 ||
  { cat "$root/install.log"; fail "cmake --install"; }
p=$root/prefix
for f in bin/orvella bin/orvella-batch \
         share/applications/org.quendrix.Orvella.desktop \
         share/metainfo/org.quendrix.Orvella.metainfo.xml \
         share/icons/hicolor/scalable/apps/orvella.svg \
         share/icons/hicolor/16x16/apps/orvella.png share/icons/hicolor/256x256/apps/orvella.png; do
  [ -e "$p/$f" ] || fail "$f is not installed"
done
[ -L "$p/bin/orvella" ] || fail "bin/orvella is not a link to the program"
program=$(readlink -f "$p/bin/orvella")
[ -x "$program" ] || fail "bin/orvella leads nowhere"
[ -f "$(dirname "$program")/plugins/libvelcora.so" ] || fail "no plugins/libvelcora.so beside $program"
case $(readlink "$p/bin/orvella") in /*) fail "bin/orvella links to an absolute path";; esac

desktop-file-validate "$p/share/applications/org.quendrix.Orvella.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$p/share/metainfo/org.quendrix.Orvella.metainfo.xml" ||
  fail "appstreamcli validate"

# The batch tool through its link finds the library too (its --info line names the format).
"$p/bin/orvella-batch" "$sound" --info >"$root/batch.out" 2>&1 || { cat "$root/batch.out"; fail "orvella-batch from bin/"; }

mkdir -p "$root/config" "$root/tmp" "$root/runtime" "$root/elsewhere"
cp "$sound" "$root/elsewhere/sound.wav"
cd "$root/elsewhere"
PATH="$p/bin:/usr/bin:/bin" XDG_CONFIG_HOME="$root/config" TMPDIR="$root/tmp" \
  XDG_RUNTIME_DIR="$root/runtime" QT_QPA_PLATFORM=offscreen \
  orvella sound.wav >"$root/run.log" 2>&1 &
pid=$!

# Loaded: a work file as large as the file's samples. 15 s at most.
size=$(stat -c %s sound.wav)
loaded=
for i in $(seq 150); do
  kill -0 "$pid" 2>/dev/null || { cat "$root/run.log"; fail "the installed program ended"; }
  for w in "$root"/tmp/~*.tmp; do
    [ -f "$w" ] && [ "$(stat -c %s "$w")" -ge $((size - 100)) ] && loaded=$w
  done
  [ -n "$loaded" ] && break
  sleep 0.1
done
[ -n "$loaded" ] || { cat "$root/run.log"; fail "no work file of the opened sound"; }
sleep 1
kill -0 "$pid" 2>/dev/null || { cat "$root/run.log"; fail "the installed program ended after loading"; }
echo "installed program up with $loaded"
