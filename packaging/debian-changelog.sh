#!/bin/sh
# Writes the Debian changelog of the binary package PACKAGE from CHANGELOG.md:
#   debian-changelog.sh CHANGELOG.md PACKAGE "Name <address>" > changelog
# Each "## VERSION (YYYY-MM-DD)" heading becomes an entry and each "- " item
# (with its indented continuation lines) one "  * " line, wrapped at 78 columns.
set -eu
[ $# -eq 3 ] || { echo "usage: $0 CHANGELOG.md PACKAGE MAINTAINER" >&2; exit 2; }
LC_ALL=C awk -v package="$2" -v maintainer="$3" '
function wrap(text,    n, words, i, line, out) {
    n = split(text, words, /[ \t]+/)
    line = "  *"
    for (i = 1; i <= n; i++) {
        if (words[i] == "") continue
        if (length(line) + 1 + length(words[i]) > 78 && line != "  *" && line != "   ") {
            print line
            line = "   "
        }
        line = line " " words[i]
    }
    print line
}
function flush() {
    if (item != "") wrap(item)
    item = ""
}
function close_entry(    cmd, when) {
    flush()
    if (version == "") return
    cmd = "date -u -R -d \"" date " 12:00\""
    cmd | getline when
    close(cmd)
    print ""
    print " -- " maintainer "  " when
    entries++
}
/^## / {
    close_entry()
    if (entries) print ""
    if (!match($0, /^## [^ ]+ \([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]\)$/)) {
        print "debian-changelog: bad heading: " $0 > "/dev/stderr"
        exit 1
    }
    version = $2
    date = substr($3, 2, 10)
    print package " (" version ") unstable; urgency=medium"
    print ""
    next
}
version == "" { next }
/^- / { flush(); item = substr($0, 3); next }
/^  +[^ ]/ && item != "" { sub(/^ +/, ""); item = item " " $0; next }
/^$/ { flush(); next }
END { close_entry(); if (!entries) { print "debian-changelog: no version found" > "/dev/stderr"; exit 1 } }
' "$1"
