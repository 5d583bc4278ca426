#!/usr/bin/env bash
# Installs the Debian packages that Morvane needs to build, run and test, when missing.
# A second run installs nothing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-translations-l10n
    qt6-gtk-platformtheme libgl-dev
    libimagequant-dev libgif-dev libexiv2-dev libdeflate-dev
    libgtest-dev libgmock-dev
    adwaita-icon-theme
    xdg-utils
    # tools the tests use
    imagemagick
    # a case-insensitive FAT volume for the letter-case tests (mounted where the machine allows)
    dosfstools fusefat
    # CI validates the menu entry and the AppStream metadata
    desktop-file-utils appstream
    # the conversion benchmark compares with it
    graphicsmagick
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installation de : ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
