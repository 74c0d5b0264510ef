#!/usr/bin/env bash
# Builds the dialer's Debian package in build-package/ and checks it: the
# desktop entry and the AppStream data validate, the package holds the
# program, its menu entry, icon and metadata, and its dependencies name the
# Debian packages of the libraries the program links.
#
#   scripts/package.sh [--clean-install]
#
# --clean-install also installs the package with apt into a fresh minimal
# Debian (debootstrap, in build-package/clean-root) and runs
# `zorvan-dialer --version` there. It needs root and the Debian mirror.
set -euo pipefail
cd "$(dirname "$0")/.."
clean_install=0
for arg in "$@"; do
  case "$arg" in
    --clean-install) clean_install=1 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done
[ "${ZORVAN_SKIP_SETUP:-}" = 1 ] || bash scripts/setup.sh

desktop-file-validate packaging/com.zorvan.Dialer.desktop
appstreamcli validate --no-net packaging/com.zorvan.Dialer.metainfo.xml

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORVAN_BUILD_TESTS=OFF \
  -DZORVAN_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build-package --target zorvan-dialer zorvan-sip-gateway
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls -t build-package/zorvan-dialer_*.deb | head -1)
echo "package: $deb ($(du -h "$deb" | cut -f1))"

# What it holds and what it needs.
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/zorvan-dialer ./usr/share/applications/com.zorvan.Dialer.desktop \
            ./usr/share/icons/hicolor/scalable/apps/com.zorvan.Dialer.svg \
            ./usr/share/metainfo/com.zorvan.Dialer.metainfo.xml; do
  grep -q " $path\$" <<<"$contents" || { echo "package.sh: $path is missing from $deb" >&2; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
echo "depends: $depends"
for package in libqt6widgets6 libqt6dbus6 libqt6multimedia6 libpugixml1v5 libmp3lame0 libsamplerate0 libmad0 \
               libphonenumber8 libicu72 qt6-qpa-plugins; do
  grep -q "$package" <<<"$depends" || { echo "package.sh: the package does not depend on $package" >&2; exit 1; }
done

if [ "$clean_install" = 1 ]; then
  root="$PWD/build-package/clean-root"
  if [ ! -x "$root/usr/bin/apt-get" ]; then
    rm -rf "$root"
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >build-package/debootstrap.log 2>&1 ||
      { echo "package.sh: debootstrap failed (build-package/debootstrap.log)" >&2; exit 1; }
  fi
  cp "$deb" "$root/tmp/"
  chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive bash -c \
    "apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends /tmp/$(basename "$deb") >/tmp/install.log 2>&1" ||
    { echo "package.sh: apt could not install the package (see $root/tmp/install.log)" >&2; exit 1; }
  version=$(chroot "$root" /usr/bin/zorvan-dialer --version)
  echo "installed on a clean system: $version"
  [[ "$version" == zorvan-dialer\ * ]] || { echo "package.sh: '--version' printed '$version'" >&2; exit 1; }
fi
echo "package.sh: $deb is good"
