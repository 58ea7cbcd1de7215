# Sourced by run.sh and test.sh: installs the Debian packages that are missing.
# Usage: tavo_need_packages pkg...   (installs as root with apt-get when needed)

tavo_need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo="sudo"; else
      echo "Please install as root: apt-get install -y ${missing[*]}" >&2
      return 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq "${missing[@]}"
}

# What building and testing need.
TAVO_BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev qt6-translations-l10n libgtest-dev googletest
                     libbenchmark-dev libcli11-dev fonts-noto-cjk clang libclang-rt-14-dev)
# What the Windows pass needs: the cross compiler, the host Qt's moc, rcc and
# uic, CLI11's headers (the same as on Linux), Wine, NSIS for the setup program,
# and for the package's start under a display Xvfb, xdotool and ImageMagick's import.
TAVO_WINDOWS_PACKAGES=(cmake g++-mingw-w64-x86-64-posix qt6-base-dev qt6-translations-l10n googletest
                       libcli11-dev wine64 wine python3 xvfb xdotool imagemagick fonts-noto-cjk nsis)
