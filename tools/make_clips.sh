#!/usr/bin/env bash
# make_clips.sh - regenerate the built-in voice clips of Auravox.
#
# Usage:
#   tools/make_clips.sh [CLIPS_DIR]
#
#   CLIPS_DIR defaults to resources/clips next to this script's parent.
#   The word table is read from CLIPS_DIR/words.tsv (header "name<TAB>words",
#   then one "NAME<TAB>words spoken" line per clip).  For every line,
#   CLIPS_DIR/NAME.wav is (re)written; SON_KUCKOO.wav and resources/kuckoo.wav
#   (the cuckoo call) are synthesised as well.
#
# Requirements: festival with the cmu_us_slt_arctic_hts voice, sox, soxi.
#
# Every clip ends up as canonical PCM WAV (44-byte header: RIFF, 16-byte
# "fmt ", "data"), mono, 16 kHz, 16-bit, trimmed of leading and trailing
# silence with a short fade at both ends, peak-normalised to -1 dBFS, and
# with a data chunk of at most 88200 bytes (clips that come out longer are
# sped up with sox "tempo", pitch unchanged).
#
# Words that end in " and" (SON100_AND ...) are spoken inside a carrier
# phrase ("... and five") and cut at the end of "and", so that they keep the
# rising, continuing intonation of a phrase that goes on.
#
# Output is reproducible: festival's HTS synthesis is deterministic and sox
# runs in repeatable mode (-R).

set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
clips="${1:-$root/resources/clips}"
table="$clips/words.tsv"
hello="$root/resources/kuckoo.wav"

rate=16000
limit=88200          # max data chunk bytes (2.756 s at 16 kHz, 16-bit)
target=86400         # what an over-long clip is sped up to
thresh=-45d          # silence threshold after normalising
pre=240              # samples kept before the first sound (15 ms)
post=480             # samples kept after the last sound (30 ms)
carrier="five"       # word spoken after a trailing "and", then cut off

for tool in festival sox soxi; do
    command -v "$tool" >/dev/null || { echo "make_clips: $tool not found" >&2; exit 1; }
done
[[ -f "$table" ]] || { echo "make_clips: no word table at $table" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/make_clips.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/raw"

# ---------------------------------------------------------------- word table
names=()
declare -A words=()
lineno=0
while IFS=$'\t' read -r name text rest || [[ -n "$name" ]]; do
    lineno=$((lineno + 1))
    if (( lineno == 1 )); then
        [[ "$name" == "name" && "$text" == "words" ]] ||
            { echo "make_clips: $table: bad header" >&2; exit 1; }
        continue
    fi
    [[ -z "$name" ]] && continue
    [[ "$name" =~ ^SON[A-Z0-9_]+$ ]] ||
        { echo "make_clips: $table:$lineno: bad name '$name'" >&2; exit 1; }
    [[ "$text" =~ ^[A-Za-z]+( [A-Za-z]+)*$ && -z "${rest:-}" ]] ||
        { echo "make_clips: $table:$lineno: words must be plain words separated by single spaces" >&2; exit 1; }
    [[ -z "${words[$name]+x}" ]] ||
        { echo "make_clips: $table:$lineno: duplicate name $name" >&2; exit 1; }
    [[ "$name" != "SON_KUCKOO" ]] ||
        { echo "make_clips: $table:$lineno: SON_KUCKOO is synthesised, not spoken" >&2; exit 1; }
    names+=("$name")
    words[$name]="$text"
done < "$table"
echo "make_clips: ${#names[@]} spoken clips in $table"

# ----------------------------------------------------------------- festival
# One festival run synthesises every clip at the voice's native rate.  For a
# trailing "and" the carrier word is appended and the end time of the last
# real word is written to cuts.txt.
scm="$work/synth.scm"
{
    echo '(voice_cmu_us_slt_arctic_hts)'
    echo "(set! cutfd (fopen \"$work/cuts.txt\" \"w\"))"
    cat <<'EOF'
; Words the voice's (American) lexicon lacks.  Without these the British
; spellings in the word table are guessed by letter-to-sound rules
; ("kilometres" comes out as "kilom-trz").
(lex.add.entry '("kilometres" nil (((k ih) 1) ((l ax) 0) ((m iy) 0) ((t er z) 0))))
(lex.add.entry '("millimetres" nil (((m ih) 1) ((l ax) 0) ((m iy) 0) ((t er z) 0))))
(lex.add.entry '("centimetres" nil (((s eh n) 1) ((t ax) 0) ((m iy) 0) ((t er z) 0))))
(lex.add.entry '("metres" nil (((m iy) 1) ((t er z) 0))))
(lex.add.entry '("millibars" nil (((m ih) 1) ((l ih) 0) ((b aa r z) 0))))
EOF
    cat <<'EOF'
(define (clip name text file cut)
  (let ((u (utt.synth (eval (list 'Utterance 'Text text)))))
    (mapcar
     (lambda (w)
       (if (not (lex.lookup_all (downcase (item.name w))))
           (format stderr "make_clips: %s: \"%s\" is not in the lexicon, check how it sounds\n"
                   name (item.name w))))
     (utt.relation.items u 'Word))
    (if cut
        (let ((ws (reverse (utt.relation.items u 'Word))))
          (format cutfd "%s %s\n" name (item.feat (car (cdr ws)) "word_end"))))
    (utt.save.wave u file 'riff)))
EOF
    for name in "${names[@]}"; do
        text="${words[$name]}"
        if [[ "$text" == *" and" ]]; then
            echo "(clip \"$name\" \"$text $carrier\" \"$work/raw/$name.wav\" t)"
        else
            echo "(clip \"$name\" \"$text\" \"$work/raw/$name.wav\" nil)"
        fi
    done
    echo '(fclose cutfd)'
} > "$scm"

echo "make_clips: synthesising with festival ..."
festival -b "$scm"

declare -A cuts=()
while read -r name t; do cuts[$name]="$t"; done < "$work/cuts.txt"

# --------------------------------------------------------------- helpers
samples_after() {   # samples_after FILE EFFECT... : length after the effects
    sox "$1" -n "${@:2}" stat 2>&1 | awk '/^Samples read/ {print $3}'
}

data_bytes() {      # data chunk size read from a canonical header
    od -An -tu4 -j40 -N4 "$1" | tr -d ' '
}

check_header() {    # canonical 44-byte PCM mono 16 kHz 16-bit, nothing else
    local f="$1" size hdr
    size=$(stat -c %s "$f")
    hdr=$(od -An -c -N4 "$f" | tr -d ' ')$(od -An -c -j8 -N8 "$f" | tr -d ' ')$(od -An -c -j36 -N4 "$f" | tr -d ' ')
    [[ "$hdr" == "RIFFWAVEfmtdata" ]] || { echo "make_clips: $f: not a canonical header" >&2; return 1; }
    read -r fmtlen < <(od -An -tu4 -j16 -N4 "$f")
    read -r tag ch < <(od -An -tu2 -j20 -N4 "$f")
    read -r sr < <(od -An -tu4 -j24 -N4 "$f")
    read -r bits < <(od -An -tu2 -j34 -N2 "$f")
    [[ "$fmtlen $tag $ch $sr $bits" == "16 1 1 $rate 16" ]] ||
        { echo "make_clips: $f: fmt is '$fmtlen $tag $ch $sr $bits'" >&2; return 1; }
    (( $(data_bytes "$f") + 44 == size )) ||
        { echo "make_clips: $f: data chunk does not fill the file" >&2; return 1; }
}

# finish IN OUT LABEL : trim silence, fade, normalise and write a 16-bit clip from
# a float working file, speeding it up if it does not fit.
finish() {
    local in="$1" out="$2" label="$3" n0 n1 n2 start end bytes tries=0 factor
    while :; do
        n0=$(samples_after "$in")
        n1=$(samples_after "$in" silence 1 0.005 "$thresh")
        n2=$(samples_after "$in" reverse silence 1 0.005 "$thresh" reverse)
        (( n1 > 0 && n2 > 0 )) || { echo "make_clips: $label: no sound" >&2; return 1; }
        start=$(( n0 - n1 - pre )); (( start < 0 )) && start=0
        end=$(( n2 + post ));       (( end > n0 )) && end=$n0
        sox -R "$in" -b 16 -e signed-integer "$out" \
            trim "${start}s" "=${end}s" fade h 0.005 -0 0.020 gain -n -1
        check_header "$out"
        bytes=$(data_bytes "$out")
        (( bytes <= limit )) && break
        tries=$((tries + 1))
        (( tries <= 3 )) || { echo "make_clips: $label: still $bytes bytes" >&2; return 1; }
        factor=$(awk -v b="$bytes" -v t="$target" 'BEGIN { printf "%.4f", b / t }')
        echo "make_clips: $label: $bytes bytes, tempo $factor"
        sox -R "$in" -e floating-point -b 32 "$work/tempo.wav" \
            tempo -s "$factor" gain -n -1
        mv "$work/tempo.wav" "$in"
    done
}

# ---------------------------------------------------------------- speech
mkdir -p "$clips"
for name in "${names[@]}"; do
    raw="$work/raw/$name.wav"
    [[ -s "$raw" ]] || { echo "make_clips: festival wrote nothing for $name" >&2; exit 1; }
    cut=()
    [[ -n "${cuts[$name]+x}" ]] && cut=(trim 0 "${cuts[$name]}")
    sox -R "$raw" -e floating-point -b 32 "$work/f.wav" \
        "${cut[@]}" remix 1 highpass 50 rate -v "$rate" gain -n -1
    finish "$work/f.wav" "$work/out.wav" "$name"
    mv "$work/out.wav" "$clips/$name.wav"
done

# ---------------------------------------------------------------- cuckoo
# Two hooting notes a major third apart, each gliding down slightly, with a
# little second and third harmonic and a breath of noise, soft envelopes and
# a touch of room; called twice.
note() {            # note OUT SECONDS F_START F_END
    local out="$1" len="$2" f1="$3" f2="$4"
    sox -R -r "$rate" -c 4 -n -e floating-point -b 32 "$out" \
        synth "$len" sine "$f1-$f2" sine "$((2 * f1))-$((2 * f2))" \
                     sine "$((3 * f1))-$((3 * f2))" pinknoise \
        remix 1v0.80,2v0.16,3v0.05,4v0.012 \
        lowpass 3500 fade q 0.030 -0 0.090
}
gap() {             # gap OUT SECONDS
    sox -R -r "$rate" -c 1 -n -e floating-point -b 32 "$1" trim 0 "$2"
}
note "$work/cu.wav"   0.15 700 680
note "$work/ckoo.wav" 0.30 560 535
gap  "$work/g1.wav" 0.07
gap  "$work/g2.wav" 0.32
gap  "$work/tail.wav" 0.25
sox -R "$work/cu.wav" "$work/g1.wav" "$work/ckoo.wav" "$work/g2.wav" \
       "$work/cu.wav" "$work/g1.wav" "$work/ckoo.wav" "$work/tail.wav" \
       -e floating-point -b 32 "$work/call.wav" \
       gain -6 reverb 18 50 35 100 0 0 gain -n -1
finish "$work/call.wav" "$work/out.wav" SON_KUCKOO
cp "$work/out.wav" "$hello"
mv "$work/out.wav" "$clips/SON_KUCKOO.wav"

echo "make_clips: wrote $(( ${#names[@]} + 1 )) clips to $clips and $hello"
