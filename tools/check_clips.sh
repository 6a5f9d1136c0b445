#!/usr/bin/env bash
# check_clips.sh - verify the built-in voice clips of Auravox.
#
# Usage:
#   tools/check_clips.sh [CLIPS_DIR]
#
#   CLIPS_DIR defaults to resources/clips.  The expected clips are the names
#   in CLIPS_DIR/words.tsv plus SON_KUCKOO; resources/kuckoo.wav is checked
#   too.  Every file must be canonical PCM WAV (44-byte header: RIFF, 16-byte
#   "fmt ", "data"), mono, 16 kHz, 16-bit, with a data chunk of at most 88200
#   bytes that fills the rest of the file, and must not be silent.  There must
#   be no .wav in CLIPS_DIR that is not in the catalogue.
#
# Prints one line per clip (name, duration, data bytes, RMS) and exits
# non-zero if anything is wrong.

set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
clips="${1:-$root/resources/clips}"
table="$clips/words.tsv"
hello="$root/resources/kuckoo.wav"

expected_count=192
limit=88200
rms_floor=0.02       # normalised speech sits far above this

fail=0
bad() { echo "FAIL: $*" >&2; fail=1; }

[[ -f "$table" ]] || { echo "FAIL: no word table at $table" >&2; exit 1; }

mapfile -t names < <(tail -n +2 "$table" | cut -f1 | sed '/^$/d')
names+=("SON_KUCKOO")

dups=$(printf '%s\n' "${names[@]}" | sort | uniq -d)
[[ -z "$dups" ]] || bad "duplicate names in catalogue: $dups"
(( ${#names[@]} == expected_count )) ||
    bad "catalogue has ${#names[@]} clips, expected $expected_count"

# Files in the folder that the catalogue does not know about.
extra=$(comm -13 <(printf '%s\n' "${names[@]}" | sort) \
                 <(find "$clips" -maxdepth 1 -name '*.wav' -printf '%f\n' | sed 's/\.wav$//' | sort))
[[ -z "$extra" ]] || bad "clips not in the catalogue: $(echo $extra)"

u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
u16() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
tag() { od -An -c -j"$2" -N4 "$1" | tr -d ' '; }

check() {           # check LABEL FILE
    local label="$1" f="$2" size data rms dur ok=1
    if [[ ! -f "$f" ]]; then bad "$label: missing ($f)"; return; fi
    size=$(stat -c %s "$f")
    if (( size < 44 )); then bad "$label: only $size bytes"; return; fi
    [[ "$(tag "$f" 0)$(tag "$f" 8)$(tag "$f" 12)$(tag "$f" 36)" == "RIFFWAVEfmtdata" ]] ||
        { bad "$label: not a canonical RIFF/fmt/data header"; ok=0; }
    (( $(u32 "$f" 4) == size - 8 ))    || { bad "$label: RIFF size wrong"; ok=0; }
    (( $(u32 "$f" 16) == 16 ))         || { bad "$label: fmt chunk is not 16 bytes"; ok=0; }
    (( $(u16 "$f" 20) == 1 ))          || { bad "$label: not PCM"; ok=0; }
    (( $(u16 "$f" 22) == 1 ))          || { bad "$label: not mono"; ok=0; }
    (( $(u32 "$f" 24) == 16000 ))      || { bad "$label: not 16000 Hz"; ok=0; }
    (( $(u32 "$f" 28) == 32000 ))      || { bad "$label: byte rate wrong"; ok=0; }
    (( $(u16 "$f" 32) == 2 ))          || { bad "$label: block align wrong"; ok=0; }
    (( $(u16 "$f" 34) == 16 ))         || { bad "$label: not 16-bit"; ok=0; }
    data=$(u32 "$f" 40)
    (( data + 44 == size ))            || { bad "$label: data chunk ($data) does not fill the file ($size)"; ok=0; }
    (( data > 0 && data <= limit ))    || { bad "$label: data is $data bytes (limit $limit)"; ok=0; }
    rms=$(sox "$f" -n stat 2>&1 | awk '/^RMS +amplitude/ {print $3}')
    [[ -n "$rms" ]] && awk -v r="$rms" -v m="$rms_floor" 'BEGIN { exit !(r > m) }' ||
        { bad "$label: silent (RMS ${rms:-?})"; ok=0; }
    dur=$(awk -v d="$data" 'BEGIN { printf "%.3f", d / 32000 }')
    printf '%-24s %7s s %7d %9s %s\n' "$label" "$dur" "$data" "$rms" "$( ((ok)) && echo ok || echo BAD)"
}

printf '%-24s %9s %7s %9s\n' name duration bytes rms
total=0
longest="" longest_bytes=0
for name in "${names[@]}"; do
    check "$name" "$clips/$name.wav"
    if [[ -f "$clips/$name.wav" ]]; then
        b=$(stat -c %s "$clips/$name.wav"); total=$((total + b))
        d=$(u32 "$clips/$name.wav" 40)
        (( d > longest_bytes )) && { longest=$name; longest_bytes=$d; }
    fi
done
check "kuckoo.wav" "$hello"

echo
echo "clips: ${#names[@]}, total file size $total bytes, longest $longest ($longest_bytes data bytes)"
if (( fail )); then echo "check_clips: FAILED" >&2; exit 1; fi
echo "check_clips: all good"
