#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, if missing.
# Runs as root (or through sudo when available); does nothing when all is there.
set -euo pipefail
. "$(dirname "$0")/step.sh"

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686)
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
have cmake || need+=(cmake)
have make || need+=(make)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
have Xvfb || need+=(xvfb)
have xdpyinfo || need+=(x11-utils)
# A display of two monitors for the docking tests: Xorg's dummy driver.
[ -x /usr/lib/xorg/Xorg ] || need+=(xserver-xorg-core)
[ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ] || need+=(xserver-xorg-video-dummy)
have xrandr || need+=(x11-xserver-utils)
have nginx || need+=(nginx)
have tinyproxy || need+=(tinyproxy)
have import || need+=(imagemagick)
have python3 || need+=(python3)
have curl || need+=(curl)
have zip || need+=(zip)
have llvm-dlltool || need+=(llvm)
have aria2c || need+=(aria2)
have /usr/bin/time || need+=(time)
have sha256sum || need+=(coreutils)
have openssl || need+=(openssl)
have update-ca-certificates || need+=(ca-certificates)
# The scripts start wine32's loader for the 32-bit prefix and wine64's for
# the 64-bit one (scripts/wine-loader.sh); a 64-bit prefix runs 32-bit
# programs through wine32 as well, where the machine runs them.
if ! have wine || ! dpkg -s wine32:i386 >/dev/null 2>&1 || ! dpkg -s wine64 >/dev/null 2>&1; then
  need+=(wine wine32:i386 wine64)
fi

# The sources of the locales below.
[ -d /usr/share/i18n/locales ] || need+=(locales)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    ravlix_step "adding Debian's i386 architecture (for wine32)" $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  ravlix_step "reading Debian's package lists" $sudo apt-get update -q
  ravlix_step "installing ${need[*]}" $sudo apt-get install -y -q "${need[@]}"
fi

# Tests run under the double-byte ANSI code pages 936, 932 and 950, which
# Wine takes from LC_ALL. Wine names files on disk through the C library's
# locale, so each must exist: without it a name such as "\x81\x5C" cannot be
# created.
for locale in zh_CN ja_JP zh_TW; do
  if ! locale -a | grep -x "$locale.utf8" >/dev/null; then
    echo "Generating the locale $locale.UTF-8"
    ravlix_step "generating the locale $locale.UTF-8" $sudo localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
  fi
done
