#!/usr/bin/env bash
# Installs what building, running and testing Tarvix needs on Debian 12.
# Uses sudo when not run as root. Installs nothing that is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    clang libclang-rt-14-dev llvm-14
    qt6-base-dev libgl-dev
    # The Designer plugin's interface; the checks of what is installed
    # (QUiLoader, in qt6-tools-dev, needs Qt OpenGL's CMake package).
    qt6-tools-dev libqt6opengl6-dev desktop-file-utils appstream
    # lupdate and lrelease: the libraries' translations (cmake/TarvixTranslations.cmake).
    qt6-l10n-tools
    libgtest-dev
    # The Debian packages: cpack's dpkg-shlibdeps and file, and lintian to check them.
    dpkg-dev file lintian
    iproute2 procps iputils-ping libcap2-bin
    xvfb xauth imagemagick xdotool libx11-dev
    # The accessibility test: a session bus, AT-SPI and its Python client.
    dbus at-spi2-core python3-pyatspi
    # Fonts the forms ask for by name, so that every machine draws them with
    # the same metrics: Liberation Sans for the default form font, Nimbus Mono
    # PS (with fontconfig's Courier aliases) for Courier, Liberation Mono for
    # Courier New; DejaVu is what anything else falls back to.
    fonts-dejavu-core fonts-liberation fonts-urw-base35
    # The API reference (docs/).
    doxygen
    # The QML module (import Tarvix), its Qt Quick Test run, and the QML
    # example's controls.
    qt6-declarative-dev qt6-declarative-dev-tools qml6-module-qttest qml6-module-qtquick
    qml6-module-qtquick-window qml6-module-qtquick-controls qml6-module-qtquick-layouts
    qml6-module-qtquick-templates qml6-module-qtqml-workerscript
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
