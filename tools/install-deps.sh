#!/usr/bin/env bash
# Installs everything Zelk needs to build, run and test on Debian 12.
# Safe to re-run: apt-get skips what is present and the sherpa-onnx unpack is
# verified by checksum before it is reused.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

SHERPA_VERSION=1.13.8
SHERPA_DIR="$here/third_party/sherpa-onnx"

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache clang lld libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-webengine-dev qt6-webchannel-dev
  qt6-multimedia-dev qt6-tools-dev qcoro-qt6-dev qtkeychain-qt6-dev
  libatspi2.0-dev libglib2.0-dev libxtst-dev libx11-dev libxi-dev libsqlite3-dev libicu-dev libpulse-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # runtime QML modules (not pulled in without recommends)
  qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtqml-workerscript
  qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtquick-templates
  qml6-module-qtwebengine qml6-module-qtwebchannel
  # desktop tests
  xvfb xauth dbus dbus-x11 dbus-daemon libglib2.0-bin at-spi2-core x11-utils x11-xserver-utils xdotool openbox
  haskell-status-notifier-item-utils xterm mousepad fonts-wqy-microhei
  pulseaudio pulseaudio-utils espeak-ng sox gnome-keyring libsecret-tools
  # model download, test models, tools
  bzip2 tar curl ca-certificates python3 python3-onnx python3-numpy
  nodejs
)
# npm ships with some Node.js builds; Debian's own npm only where none is present.
command -v npm >/dev/null 2>&1 || packages+=(npm)

if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${#missing[@]} Debian packages"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# sherpa-onnx: the prebuilt shared library from the npm package, pinned and verified.
declare -A SHERPA_SHA256=(
  [libsherpa-onnx-c-api.so]=b1019f8c9583e3e576c2ba6032b580677fcf6e2230c241a8b423c65aceded021
  [libonnxruntime.so]=4b3607aebd1784b26b6f9b20e4bd974c7ab8287043e4d095cb7d2cb40b5e566e
)
verify_sherpa() {
  for f in "${!SHERPA_SHA256[@]}"; do
    [ -f "$SHERPA_DIR/lib/$f" ] || return 1
    echo "${SHERPA_SHA256[$f]}  $SHERPA_DIR/lib/$f" | sha256sum -c --quiet - >/dev/null 2>&1 || return 1
  done
}
if ! verify_sherpa; then
  echo "install-deps: fetching sherpa-onnx-linux-x64@$SHERPA_VERSION"
  tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
  (cd "$tmp" && npm pack --silent "sherpa-onnx-linux-x64@$SHERPA_VERSION" >/dev/null)
  rm -rf "$SHERPA_DIR"; mkdir -p "$SHERPA_DIR/lib"
  tar xzf "$tmp"/sherpa-onnx-linux-x64-*.tgz -C "$tmp"
  cp -a "$tmp"/package/*.so* "$SHERPA_DIR/lib/"
  echo "$SHERPA_VERSION" > "$SHERPA_DIR/VERSION"
  verify_sherpa || { echo "install-deps: sherpa-onnx checksum mismatch" >&2; exit 1; }
fi
echo "install-deps: done"
