#!/usr/bin/env bash
# Installs every Debian 12 package Trimora needs to build, test and run.
# Idempotent and quick when everything is already there: apt is only touched
# when a package is missing.
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake ninja-build pkg-config git
    # Qt 6: widgets, multimedia (with its FFmpeg and GStreamer backends)
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6multimedia6 libqt6opengl6-dev
    libgl-dev
    # translations: lupdate and lrelease with their CMake support; Qt's own texts
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    # FFmpeg libraries for probing, thumbnails and cutting; the CLI makes test fixtures
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
    # screen tests under a virtual X server
    xvfb xauth
    # the other readers every clip is judged by: GStreamer (the desktop's own player)
    # and VLC
    gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-plugins-bad gstreamer1.0-libav vlc-bin vlc-plugin-base
    # a library on a camera's exFAT card, mounted over FUSE, for the name-race tests
    exfat-fuse exfatprogs fuse3
    # test fixtures with damaged or hostile headers are patched by a small script
    python3
    # the checks after the tests: sanitizers and fuzzing with clang, the package's
    # desktop files, the package itself, its manual page and its bash completion
    clang libclang-rt-14-dev appstream desktop-file-utils lintian man-db groff-base
    bash-completion
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
