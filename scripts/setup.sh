#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, when it is missing. Quiet when all is there.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-private-dev qt6-qpa-plugins libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    nginx curl xvfb xauth x11-utils imagemagick fonts-dejavu-core libxcb1-dev
    libsodium-dev minisign zlib1g-dev libzstd-dev zstd
    qt6-tools-dev lintian dpkg-dev file doxygen
    qt6-declarative-dev qml6-module-qtquick qml6-module-qtquick-window
    qml6-module-qtqml-workerscript
    clang-format openssl clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # Wait for another apt-get (a parallel build or test run) instead of failing at once.
    apt-get -o DPkg::Lock::Timeout=600 update -qq
    apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
