#!/usr/bin/env bash
# A word table or spoken-forms file that make_clips.sh cannot use is refused
# with a message naming the line, before anything is synthesised or written
# (and whether or not the synthesis tools are installed).
set -uo pipefail
make_clips="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
passed=0

printf 'name\twords\nSON5\tfive\nSON100_AND\tone hundred and\n' > "$work/words.tsv"

# refused SAY_CONTENT EXPECTED_MESSAGE
refused() {
    local label="$1" content="$2" expected="$3" out rc
    mkdir -p "$work/out"
    printf '%b' "$content" > "$work/say.tsv"
    out=$("$make_clips" --table "$work/words.tsv" --say "$work/say.tsv" "$work/out" 2>&1)
    rc=$?
    if (( rc == 0 )) || [[ "$out" != *"$expected"* ]]; then
        echo "FAIL $label: exit $rc, wanted \"$expected\" in: $out"
        failures=$((failures + 1))
    elif [[ -n "$(ls -A "$work/out")" ]]; then
        echo "FAIL $label: wrote $(ls "$work/out")"
        failures=$((failures + 1))
    else
        echo "ok   $label"
        passed=$((passed + 1))
    fi
}

refused "header" 'name\twords\nSON5\tfive,\n' "say.tsv: bad header"
refused "unknown clip" 'name\tsay\nSON6\tsix\n' "say.tsv:2: SON6 is not in"
refused "quotes" 'name\tsay\nSON5\t"five"\n' "say.tsv:2: words must be separated by single spaces"
refused "two spaces" 'name\tsay\nSON5\tfi  ve\n' "say.tsv:2: words must be separated by single spaces"
refused "third column" 'name\tsay\nSON5\tfive\tsix\n' "say.tsv:2: words must be separated by single spaces"
refused "lost and" 'name\tsay\nSON100_AND\tone hundred,\n' "say.tsv:2: ends in \" and\" exactly when the words do"
refused "added and" 'name\tsay\nSON5\tfive and\n' "say.tsv:2: ends in \" and\" exactly when the words do"
rm -f "$work/say.tsv"
out=$("$make_clips" --table "$work/words.tsv" --say "$work/say.tsv" "$work/out" 2>&1)
[[ $? -ne 0 && "$out" == *"no spoken forms at $work/say.tsv"* ]] &&
    { echo "ok   no file"; passed=$((passed + 1)); } || { echo "FAIL no file: $out"; failures=$((failures + 1)); }

echo "$passed passed, $failures failed"
(( failures == 0 ))
