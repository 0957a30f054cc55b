#!/bin/bash
# Float documents timed as a user waits for them, whole processes against cp of the same bytes:
#   - opening a 1 GiB 24-bit stereo WAV (orvella-batch FILE --info) against cp of that file;
#   - amplify of a 1 GiB float document: (open + amplify) less (open) against cp of its work file
#     (a float WAV of the same bytes);
#   - the resident set of editing a 2 GiB float document (open, amplify, reverse, undo);
#   - as the baseline in the same session, the same open and amplify of a 1 GiB 16-bit WAV.
# Rounds are interleaved; medians and the spread (min..max) of each are printed.
# Usage: bench/precision/bench_precision.sh [path of orvella-batch] [rounds]
set -euo pipefail
BATCH=$(realpath "${1:-build/bin/orvella-batch}")
ROUNDS=${2:-5}
DIR=$(mktemp -d "${TMPDIR:-/tmp}/orvella-bench.XXXXXX")
trap 'rm -rf "$DIR"' EXIT
mkdir "$DIR/work"

# A canonical WAV of about SIZE bytes: one 1 MiB block of a sine repeated (what the samples are
# does not change the work).
make_wav() { # path tag bits size
    python3 - "$@" <<'PY'
import math, struct, sys
path, tag, bits, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
frames = (1 << 20) // (2 * bits // 8)
block = bytearray()
for i in range(frames):
    v = 0.8 * math.sin(i * 0.01)
    if tag == 3:
        block += struct.pack('<ff', v, -v)
    elif bits == 16:
        s = int(v * 32767)
        block += struct.pack('<hh', s, -s)
    else:
        s = int(v * 8388607)
        block += struct.pack('<i', s)[:3] + struct.pack('<i', -s)[:3]
count = size // len(block)
data = len(block) * count
with open(path, 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', data + 36) + b'WAVEfmt ' +
            struct.pack('<IHHIIHH', 16, tag, 2, 48000, 48000 * 2 * bits // 8, 2 * bits // 8, bits) +
            b'data' + struct.pack('<I', data))
    for _ in range(count):
        f.write(block)
PY
}

make_wav "$DIR/s16.wav" 1 16 $((1 << 30))
make_wav "$DIR/s24.wav" 1 24 $((1 << 30))
make_wav "$DIR/f32.wav" 3 32 $((1 << 30))
make_wav "$DIR/f2g.wav" 3 32 $((2 << 30))

seconds() { # command...: its wall time in seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
batch() { "$BATCH" --temp "$DIR/work" --quiet "$@"; }
copy() { cp "$1" "$DIR/copy.wav" && rm "$DIR/copy.wav"; }

declare -A T
for ((r = 1; r <= ROUNDS; r++)); do
    T[cp24]+="$(seconds copy "$DIR/s24.wav") "
    T[open24]+="$(seconds batch "$DIR/s24.wav" --info) "
    T[cpf]+="$(seconds copy "$DIR/f32.wav") "
    T[openf]+="$(seconds batch "$DIR/f32.wav" --info) "
    T[amplify]+="$(seconds batch "$DIR/f32.wav" --amplify 50 --info) "
    T[cp16]+="$(seconds copy "$DIR/s16.wav") "
    T[open16]+="$(seconds batch "$DIR/s16.wav" --info) "
    T[amplify16]+="$(seconds batch "$DIR/s16.wav" --amplify 50 --info) "
done

python3 - "${T[cp24]}" "${T[open24]}" "${T[cpf]}" "${T[openf]}" "${T[amplify]}" \
    "${T[cp16]}" "${T[open16]}" "${T[amplify16]}" <<'PY'
import statistics, sys
cp24, open24, cpf, openf, amp, cp16, open16, amp16 = (
    [float(x) for x in a.split()] for a in sys.argv[1:])
effect = [a - o for a, o in zip(amp, openf)]
effect16 = [a - o for a, o in zip(amp16, open16)]
def line(name, values):
    print(f"{name:34s} median {statistics.median(values):6.3f} s  ({min(values):.3f} .. {max(values):.3f})")
line("cp 1 GiB 24-bit WAV", cp24)
line("open 1 GiB 24-bit WAV", open24)
line("cp 1 GiB float WAV", cpf)
line("open 1 GiB float WAV", openf)
line("open + amplify 50 %", amp)
line("amplify (difference)", effect)
line("cp 1 GiB 16-bit WAV", cp16)
line("open 1 GiB 16-bit WAV", open16)
line("16-bit amplify (difference)", effect16)
print(f"open 24-bit / cp:  {statistics.median(open24) / statistics.median(cp24):.2f} (budget 1.5)")
print(f"amplify / cp:      {statistics.median(effect) / statistics.median(cpf):.2f} (budget 1.5)")
print(f"16-bit open / cp:  {statistics.median(open16) / statistics.median(cp16):.2f}")
print(f"16-bit amplify / cp: {statistics.median(effect16) / statistics.median(cp16):.2f}")
PY
rss=$(/usr/bin/time -f %M "$BATCH" --temp "$DIR/work" --quiet "$DIR/f2g.wav" --amplify 50 --reverse \
    --undo --info 2>&1 >/dev/null | tail -1)
echo "resident set editing a 2 GiB float document: $((rss / 1024)) MiB (budget 200)"
