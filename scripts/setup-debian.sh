#!/usr/bin/env bash
# Installs the Debian 12 packages Trimora needs to build and run:
#
#   scripts/setup-debian.sh         the toolchain, Qt 6 and the FFmpeg libraries
#   scripts/setup-debian.sh --ci    also what the tests and the checks after them use
#
# Idempotent and quick when everything is already there: apt is only touched when a
# package is missing. When another apt or dpkg is at work (an unattended upgrade, a
# software centre), it waits for it to finish instead of failing.
set -euo pipefail

usage="usage: setup-debian.sh [--ci]"
ci=false
for arg in "$@"; do
    case $arg in
        --ci) ci=true ;;
        -h | --help) echo "$usage"; exit 0 ;;
        *) echo "setup-debian.sh: unknown argument '$arg'; $usage" >&2; exit 2 ;;
    esac
done

# Building and running Trimora.
packages=(
    # toolchain
    build-essential cmake ninja-build pkg-config git
    # Qt 6: widgets, multimedia (with its FFmpeg and GStreamer backends, the plugins
    # in libqt6multimedia6 that play the video at run time)
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6multimedia6 libqt6opengl6-dev
    libgl-dev
    # translations: lupdate and lrelease with their CMake support; Qt's own texts
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    # FFmpeg libraries for probing, thumbnails and cutting
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
    # the Debian package: cpack reads the binary's type with file before asking
    # dpkg-shlibdeps for its dependencies
    file
)

# The tests: none of these is needed unless tests are built and run.
test_packages=(
    # the ffmpeg and ffprobe commands make the test fixtures and judge the clips
    ffmpeg
    # screen tests under a virtual X server
    xvfb xauth
    # the other readers every clip is judged by: GStreamer (the desktop's own player)
    # and VLC
    gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-plugins-bad gstreamer1.0-libav vlc-bin vlc-plugin-base
    # a library on a camera's exFAT card, mounted over FUSE, for the name-race tests
    exfat-fuse exfatprogs fuse3
    # disks that share blocks between files, where clips share the source's
    btrfs-progs xfsprogs
    # test fixtures with damaged or hostile headers are patched by a small script
    python3
    # the order of a clip's flush and its naming is watched in its system calls
    strace
)

# The checks after the tests in .ci/run: a tool a new check needs goes here.
check_packages=(
    # the checks after the tests: sanitizers and fuzzing with clang, the package's
    # desktop files, the package itself, its manual page and its bash completion
    clang libclang-rt-14-dev appstream desktop-file-utils lintian man-db groff-base
    bash-completion
)

if $ci; then
    packages+=("${test_packages[@]}" "${check_packages[@]}")
fi

# One look at dpkg's database for all of them.
declare -A installed=()
while read -r name status; do
    if [ "$status" = installed ]; then installed[$name]=1; fi
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)

missing=()
for p in "${packages[@]}"; do
    [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

# How long to wait for another apt or dpkg, in seconds.
lock_timeout=1800
lock_files=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock
    /var/cache/apt/archives/lock)

# Whether another process holds one of apt's or dpkg's locks. They are fcntl() locks,
# which /proc/locks lists by device (hex major:minor) and inode.
package_manager_busy() {
    local file major minor inode
    [ -r /proc/locks ] || return 1
    for file in "${lock_files[@]}"; do
        [ -e "$file" ] || continue
        read -r major minor inode < <(stat -c '%Hd %Ld %i' "$file")
        if grep -q " $(printf '%02x:%02x' "$major" "$minor"):$inode " /proc/locks; then
            return 0
        fi
    done
    return 1
}

said_waiting=false
wait_for_package_manager() {
    local deadline=$((SECONDS + lock_timeout))
    while package_manager_busy; do
        if ! $said_waiting; then
            echo "Waiting for the package manager..."
            said_waiting=true
        fi
        if [ $SECONDS -ge $deadline ]; then
            echo "setup-debian.sh: the package manager is still busy after ${lock_timeout} s" >&2
            exit 1
        fi
        sleep 1
    done
}

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt-get once the package manager is free. apt-get waits for dpkg's lock itself
# (DPkg::Lock::Timeout) but not for the package lists' lock, so a run that fails while
# another process has taken a lock meanwhile waits and tries again.
apt_get() {
    local deadline=$((SECONDS + lock_timeout))
    while :; do
        wait_for_package_manager
        if $sudo env DEBIAN_FRONTEND=noninteractive \
            apt-get -o DPkg::Lock::Timeout="$lock_timeout" "$@"; then
            return 0
        fi
        if ! package_manager_busy || [ $SECONDS -ge $deadline ]; then
            return 1
        fi
    done
}

echo "Installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
