#!/usr/bin/env bash
# Checks the built-in voice clips: exactly the names of words.tsv plus
# SON_KUCKOO, each PCM mono 16 kHz 16-bit with the plain 44-byte header, at most
# 88,200 data bytes (one play buffer), and not silent.
set -euo pipefail
clips=$(cd "$(dirname "$0")/../resources/clips" && pwd)
fail=0
expected=$( (tail -n +2 "$clips/words.tsv" | cut -f1; echo SON_KUCKOO) | sort)
present=$(cd "$clips" && ls *.wav | sed 's/\.wav$//' | sort)
if [ "$expected" != "$present" ]; then
    echo "names differ from words.tsv:"; diff <(echo "$expected") <(echo "$present") || true; fail=1
fi
printf '%-24s %8s %8s\n' name seconds bytes
for name in $expected; do
    f=$clips/$name.wav
    [ -f "$f" ] || continue
    header=$(xxd -p -s 0 -l 44 "$f" | tr -d '\n')
    data=$(( $(stat -c %s "$f") - 44 ))
    # RIFF....WAVEfmt , 16-byte fmt, PCM (1), mono (1), 16000 Hz, 32000 B/s, align 2, 16 bits, "data"
    if [[ ${header:0:8} != 52494646 || ${header:16:32} != 57415645666d74201000000001000100 \
        || ${header:48:24} != 803e0000007d000002001000 || ${header:72:8} != 64617461 ]]; then
        echo "$name: not a plain PCM mono 16 kHz 16-bit file"; fail=1
    fi
    if [ "$data" -gt 88200 ]; then echo "$name: $data data bytes, over one play buffer"; fail=1; fi
    rms=$(sox "$f" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
    if awk -v r="$rms" 'BEGIN { exit !(r < 0.01) }'; then echo "$name: silent (RMS $rms)"; fail=1; fi
    printf '%-24s %8s %8d\n' "$name" "$(soxi -D "$f")" "$data"
done
echo "$(echo "$expected" | wc -l) clips checked"
exit $fail
