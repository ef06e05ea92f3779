#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds throwaway Debian packages from the install tree, so that lintian can
# check what `cmake --install` lays out (license, symbols, manual pages):
#
#   libtabulix0     the shared library, with its symbols and shlibs files
#   libtabulix-dev  headers, CMake and pkg-config files, libtabulix(3)
#   tabulix         the command, tabulix(1), README and CHANGELOG
#
# They are for checking only: the project ships no debian/ directory and no
# source package. Needs cmake, g++, libcli11-dev, dpkg-dev (and libpcre2-dev for
# the command's regular expressions).
#
#   scripts/make-deb.sh [OUTDIR]     the .deb files go to OUTDIR (build-deb)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
top=$PWD
out=$(realpath -m "${1:-build-deb}")
work=$out/work
src=$work/src # dpkg-shlibdeps wants a debian/control and debian/<package>/ trees
root=$work/root

version=$(sed -n 's/^#define TBLX_VERSION_STRING "\(.*\)".*/\1/p' include/tabulix.h)
debian_version=$version-1
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
maintainer="libtabulix developers <libtabulix@lists.tabulix.org>"
# The date of the last commit, so that the same tree gives the same packages.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}

rm -rf "$work" "$out"/*.deb
mkdir -p "$src/debian" "$root"

# ---- build and install, with the flags a Debian package build uses ----------
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
cmake -S . -B "$work/build" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DTABULIX_BUILD_TESTS=OFF -DTABULIX_BUILD_EXAMPLES=OFF -DTABULIX_BUILD_BENCH=OFF \
  -DTABULIX_BUILD_TOOLS=ON >/dev/null
cmake --build "$work/build" -j2
DESTDIR=$root cmake --install "$work/build" >/dev/null
[[ -x $root/usr/bin/tabulix ]] || { echo "make-deb: the tabulix command was not built (CLI11?)"; exit 1; }

# ---- split the install tree into the three packages ----------------------------
libdir=usr/lib/$multiarch
pkg() { echo "$src/debian/$1"; }
take() { # take PACKAGE PATH...: move paths from the install tree into a package
  local p=$1 f
  shift
  for f in "$@"; do
    mkdir -p "$(pkg "$p")/$(dirname "$f")"
    mv "$root/$f" "$(pkg "$p")/$f"
  done
}
take libtabulix0 "$libdir/libtabulix.so.0" "$libdir/libtabulix.so.$version"
take libtabulix-dev usr/include "$libdir/libtabulix.so" "$libdir/cmake" "$libdir/pkgconfig" \
  usr/share/man/man3
take tabulix usr/bin usr/share/man/man1 usr/share/doc/tabulix
# The license text goes into each package's copyright file instead.
rm "$(pkg tabulix)/usr/share/doc/tabulix/LICENSE"
leftover=$(find "$root" -type f -o -type l)
[[ -z $leftover ]] || { echo "make-deb: installed files in no package:"; echo "$leftover"; exit 1; }

# ---- what every package carries ---------------------------------------------------
copyright() {
  cat <<EOF
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: libtabulix

Files: *
Copyright: $(sed -n 's/^Copyright (c) //p' "$top/LICENSE")
License: Expat
EOF
  # The license text after its title line, each line indented, blank lines as " .".
  sed -n '3,$p' "$top/LICENSE" | sed -e 's/^$/./' -e 's/^/ /'
}

changelog() {
  cat <<EOF
tabulix ($debian_version) unstable; urgency=medium

  * Built from the install tree for checking with lintian; see CHANGELOG.md.

 -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")
EOF
}

for p in libtabulix0 libtabulix-dev tabulix; do
  d=$(pkg "$p")/usr/share/doc/$p
  mkdir -p "$d" "$(pkg "$p")/usr/share/lintian/overrides"
  copyright >"$d/copyright"
  changelog | gzip -9n >"$d/changelog.Debian.gz"
  # These packages are never uploaded, so their first entry closes no bug.
  echo "$p: initial-upload-closes-no-bugs" >"$(pkg "$p")/usr/share/lintian/overrides/$p"
done
# The upstream changelog under the name Debian gives it; manual pages and
# documents larger than 4 KiB compressed, as dh_compress does.
mv "$(pkg tabulix)/usr/share/doc/tabulix/CHANGELOG.md" "$(pkg tabulix)/usr/share/doc/tabulix/changelog"
find "$src/debian" -path '*/man/man*/*' -type f -exec gzip -9n {} +
find "$(pkg tabulix)/usr/share/doc/tabulix" \( -name '*.md' -o -name changelog \) -size +4k \
  -exec gzip -9n {} +

# Symbols as dh_strip leaves them.
strip --remove-section=.comment --remove-section=.note --strip-unneeded \
  "$(pkg libtabulix0)/$libdir/libtabulix.so.$version"
strip --remove-section=.comment --remove-section=.note "$(pkg tabulix)/usr/bin/tabulix"

# ---- control files -------------------------------------------------------------------
# The library's symbols, each with the release that added it: the version of
# its node in src/tabulix.sym (TABULIX_0.5: 0.5.0).
symbols_file() {
  echo "libtabulix.so.0 libtabulix0 #MINVER#"
  echo "* Build-Depends-Package: libtabulix-dev"
  awk '
    /^\[[A-Za-z0-9_.]+\]/ {
      node = substr($1, 2, length($1) - 2)
      release = node; sub(/^[A-Z]+_/, "", release); release = release ".0"
      print " " node "@" node " " release
      next
    }
    /^[A-Za-z_]/ { print " " $1 "@" node " " release }
  ' "$top/src/tabulix.sym" | LC_ALL=C sort
}
mkdir -p "$(pkg libtabulix0)/DEBIAN"
symbols_file >"$(pkg libtabulix0)/DEBIAN/symbols"
echo "libtabulix 0 libtabulix0 (>= $version)" >"$(pkg libtabulix0)/DEBIAN/shlibs"
echo "activate-noawait ldconfig" >"$(pkg libtabulix0)/DEBIAN/triggers"

cat >"$src/debian/control" <<EOF
Source: tabulix

Package: libtabulix0
Architecture: any

Package: libtabulix-dev
Architecture: any

Package: tabulix
Architecture: any
EOF

depends_of() { # the shared libraries a package's ELF files need, as dpkg-shlibdeps finds them
  local p=$1 files
  mapfile -t files < <(find "$(pkg "$p")" -type f \( -path '*/bin/*' -o -name '*.so.*' \))
  (cd "$src" && dpkg-shlibdeps -O -l"debian/libtabulix0/$libdir" "${files[@]/#$src\//}" |
    sed -n 's/^shlibs:Depends=//p')
}

control() { # control PACKAGE SECTION DEPENDS MULTIARCH SYNOPSIS: writes DEBIAN/control
  local p=$1 section=$2 depends=$3 multiarch_field=$4 synopsis=$5 dir
  dir=$(pkg "$p")
  mkdir -p "$dir/DEBIAN"
  {
    echo "Package: $p"
    echo "Source: tabulix"
    echo "Version: $debian_version"
    echo "Architecture: $arch"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $(du -sk --exclude=DEBIAN "$dir" | cut -f1)"
    [[ -z $depends ]] || echo "Depends: $depends"
    [[ -z $multiarch_field ]] || echo "Multi-Arch: $multiarch_field"
    echo "Section: $section"
    echo "Priority: optional"
    echo "Description: $synopsis"
    echo " libtabulix prints tables of typed columns (text, signed and unsigned"
    echo " 64-bit integers, hexadecimal numbers) as aligned plain text, with"
    echo " sums, sorting and four styles. It has a plain C interface."
    cat
  } >"$dir/DEBIAN/control"
}

library_depends=$(depends_of libtabulix0)
tool_depends=$(depends_of tabulix)
control libtabulix0 libs "$library_depends" same \
  "print tables of typed columns as aligned text - shared library" <<EOF
 .
 This package holds the shared library.
EOF
control libtabulix-dev libdevel "libtabulix0 (= $debian_version)" same \
  "print tables of typed columns as aligned text - development files" <<EOF
 .
 This package holds the C header, a header-only C++ layer, the CMake and
 pkg-config files and the manual page of the library.
EOF
control tabulix utils "$tool_depends" "" \
  "print CSV or TSV files as typed, aligned tables" <<EOF
 .
 This package holds the tabulix command, which reads CSV or TSV files and
 prints them as tables with typed, aligned, sortable and summable columns.
EOF

# ---- the packages ------------------------------------------------------------------------
for p in libtabulix0 libtabulix-dev tabulix; do
  dir=$(pkg "$p")
  find "$dir" -type d -exec chmod 0755 {} +
  find "$dir" -type f -exec chmod 0644 {} +
  (cd "$dir" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z |
    xargs -0 md5sum >DEBIAN/md5sums)
done
chmod 0755 "$(pkg tabulix)/usr/bin/tabulix"
for p in libtabulix0 libtabulix-dev tabulix; do
  dpkg-deb --root-owner-group -Zxz --build "$(pkg "$p")" "$out/${p}_${debian_version}_$arch.deb" \
    >/dev/null
done
ls "$out"/*.deb
