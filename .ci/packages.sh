# The Debian packages Quillar needs, in one place; sourced by ./run and ./test.
# shellcheck shell=bash disable=SC2034

# To build and run the program.
QUILLAR_RUN_PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-qpa-plugins qt6-tools-dev qt6-l10n-tools libsdl2-dev libfftw3-dev libuchardet-dev
  libquazip1-qt6-dev libfreexl-dev libsoxr-dev
  fonts-wqy-microhei qt6-translations-l10n
)

# To build and run the tests and benchmarks, on top of the above.
QUILLAR_TEST_PACKAGES=(
  "${QUILLAR_RUN_PACKAGES[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev sndfile-programs
  xvfb xauth x11-utils xdotool pulseaudio pulseaudio-utils sox
  imagemagick espeak-ng clang libclang-rt-14-dev python3 python3-xlib
  desktop-file-utils appstream librsvg2-bin dpkg-dev file
  python3-openpyxl python3-xlwt ffmpeg mediainfo libimage-exiftool-perl praat
)

# quillar_install_packages <package>...: installs those that are missing, through sudo when not
# root; apt-get update runs first, and only when something is missing.
quillar_install_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Missing packages (${missing[*]}) and no sudo to install them; please install them as root." >&2
      return 1
    fi
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q || return 1
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}" </dev/null || return 1
}
