# Shared by scripts/run and scripts/test: install what is missing, configure and build.
set -euo pipefail

SCRIVOLA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SCRIVOLA_BUILD="${SCRIVOLA_BUILD:-$SCRIVOLA_ROOT/build}"

SCRIVOLA_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl-dev
  libmupdf-dev libmujs-dev libgumbo-dev libopenjp2-7-dev libjbig2dec0-dev
  libharfbuzz-dev libfreetype-dev libjpeg-dev libpng-dev zlib1g-dev libbrotli-dev
  libheif-dev
  libgtest-dev libbenchmark-dev
  fonts-dejavu-core fonts-noto-core fonts-noto-cjk fonts-urw-base35 poppler-utils
)

scrivola_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

scrivola_install_packages() {
  local missing=()
  for p in "${SCRIVOLA_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      # A package Debian does not have under that name is left to the build to report.
      missing+=("$p")
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    scrivola_as_root apt-get update -qq
    local available=()
    for p in "${missing[@]}"; do
      if apt-cache show "$p" >/dev/null 2>&1; then available+=("$p"); fi
    done
    if [ "${#available[@]}" -gt 0 ]; then
      scrivola_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${available[@]}"
    fi
  fi
}

scrivola_build() {
  local werror="${SCRIVOLA_WERROR:-OFF}"
  cmake -S "$SCRIVOLA_ROOT" -B "$SCRIVOLA_BUILD" -G Ninja -DSCRIVOLA_WERROR="$werror" >/dev/null
  cmake --build "$SCRIVOLA_BUILD" "$@"
}
