# Sourced by ./run and ./test: installs the Debian packages that are missing.
QB_PACKAGES=(
  build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
  libssl-dev libgtest-dev libgmock-dev libxcb1-dev libx11-dev liblz4-dev
  xvfb xauth trayer xdotool x11-utils imagemagick locales poppler-utils
  fonts-dejavu-core fonts-urw-base35 nginx-light vsftpd clang clang-format chromium clamav
  desktop-file-utils appstream openssl ccache
)

qb_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

qb_install_deps() {
  local missing=()
  local pkg
  for pkg in "${QB_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    qb_sudo apt-get update
    # Package scripts must not start system-wide nginx/vsftpd on our behalf.
    qb_sudo env DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 \
      apt-get install -y --no-install-recommends "${missing[@]}"
  fi
  qb_install_web_ext
}

# Firefox's extension linter comes from npm; without npm (or without the network) the lint
# test reports itself skipped.
qb_install_web_ext() {
  if command -v npm >/dev/null && ! command -v web-ext >/dev/null; then
    echo "Installing web-ext from npm"
    qb_sudo timeout 600 npm install -g --no-audit --no-fund web-ext >/dev/null ||
      echo "web-ext could not be installed: the extension lint is skipped"
  fi
}

qb_build() {
  local dir=$1
  shift
  local launcher=()
  # A compiler cache makes rebuilds of unchanged files free when one is installed.
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_WERROR=ON -DQB_STRICT_KEYS=ON \
    "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir"
}
