#!/bin/sh
# Layers only look down: engine/, codecs/ and the playback library include no Qt and nothing of a
# higher folder. Usage: check_includes.sh ROOT PLAYBACK_SOURCE...
# The playback library is the sources its target lists (relative to ROOT/playback) and the
# playback/ headers they include, directly or not; the Qt widgets beside them in playback/ belong
# to another target and are not looked at.
set -eu
root="$1"
shift
status=0

# check FILE WHO FORBIDDEN-FOLDER...: reports every include of Qt or of a forbidden folder.
check() {
  file="$1"
  who="$2"
  shift 2
  folders=$(printf '%s|' "$@")
  pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]((Qt[A-Za-z]*/|Q[A-Z][A-Za-z]*[>\".])|(${folders%|})/)"
  hits=$(grep -nE "$pattern" "$root/$file" || true)
  if [ -n "$hits" ]; then
    echo "$hits" | sed "s|^|$file:|; s|\$|  <- $who may not include this|"
    status=1
  fi
}

for file in $(cd "$root" && find engine -name '*.h' -o -name '*.cpp' | sort); do
  check "$file" engine codecs playback view editor batch
done
for file in $(cd "$root" && find codecs -name '*.h' -o -name '*.cpp' | sort); do
  check "$file" codecs playback view editor batch
done

# The playback library: its listed sources, then every playback/ header reached from them.
todo=""
for source in "$@"; do
  todo="$todo playback/${source#playback/}"
done
seen=" "
while [ -n "$(echo $todo)" ]; do
  set -- $todo
  file="$1"
  shift
  todo="$*"
  case "$seen" in *" $file "*) continue ;; esac
  seen="$seen$file "
  [ -f "$root/$file" ] || continue
  check "$file" "the playback library" view editor batch
  for header in $(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"(playback\/[^"]+)".*/\1/p' "$root/$file"); do
    todo="$todo $header"
  done
  # A source's own header belongs to it.
  case "$file" in *.cpp) todo="$todo ${file%.cpp}.h" ;; esac
done
exit $status
