#!/usr/bin/env bash
# Installs the Debian packages that the voice tools need, when they are missing:
# tools/make_clips.sh (speech synthesis, sox, ffmpeg for loudness) and
# tools/voice_check (the pocketsphinx recogniser and its US English model).
# Building, running and testing Auravox need none of them (scripts/setup.sh).
# Works as root or through sudo.
set -euo pipefail

packages=(
    sox libsox-fmt-base ffmpeg
    festival festvox-us-slt-hts festvox-kallpc16k festvox-kdlpc16k flite
    pocketsphinx pocketsphinx-en-us python3-pocketsphinx python3
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "setup_tools: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi

echo "setup_tools: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
