#!/usr/bin/env bash
# Prepares a 32-bit Wine for the i686 program on a machine whose kernel cannot run 32-bit
# code: Debian's i386 wine32 and libwine of the installed wine64's version, unpacked into
# a private root and run by a static qemu-i386 of version 8.1 or later (user-mode
# emulation), with the installed 64-bit wineserver as the server. Nothing outside DIR
# changes: the packages are fetched with apt-get using a private state folder and a
# sources list derived from this machine's own apt sources, and unpacked with dpkg -x.
#
# Usage: scripts/setup-wine32.sh [DIR]        (default build/wine32)
# Makes DIR/bin/wine, which runs a Windows program under this Wine as `wine` does. A new
# prefix (WINEARCH=win32) needs MinGW's zlib1.dll in drive_c/windows/system32 before
# `DIR/bin/wine wineboot -i`: Debian's i386 libwine lacks it and user32 needs it
# (tests/wine/wine-env.sh make_prefix does both). Re-running reuses what DIR holds.
set -euo pipefail
root_dir=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root_dir/build/wine32}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
"$root_dir/scripts/install-deps.sh" --only wine wine64 dpkg apt libz-mingw-w64

release=$(. /etc/os-release && echo "$VERSION_CODENAME")
next_release=trixie  # its qemu-user ships a static qemu-i386 of version 10
wine_version=$(dpkg-query -W -f='${Version}' wine64)
root=$dir/root
qemu=$dir/qemu/usr/bin/qemu-i386
log=$dir/setup.log
: >"$log"

# sources FILTER_SUITE NEW_SUITE: one-line apt sources for the Debian archive entries of
# this machine whose suite is FILTER_SUITE (or starts with it followed by "-" when
# NEW_SUITE is empty), read from sources.list and sources.list.d (both formats), with
# the suite renamed to NEW_SUITE when given.
sources() {
  local want=$1 rename=$2 f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case $f in
      *.sources)
        # deb822 stanzas: one "deb URI SUITE COMPONENTS" line for each URI and suite.
        awk 'function flush() {
               if (types ~ /(^| )deb( |$)/ && uris != "" && suites != "") {
                 nu = split(uris, u, " "); ns = split(suites, s, " ")
                 for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
                   print "deb", "[signed-by=" (signed == "" ? "/usr/share/keyrings/debian-archive-keyring.gpg" : signed) "]", u[i], s[j], comps
               }
               types = uris = suites = comps = signed = ""
             }
             /^[ \t]*#/ { next }
             /^[ \t]*$/ { flush(); next }
             { key = $1; sub(/:$/, "", key); $1 = ""; sub(/^ /, "")
               if (key == "Types") types = $0; else if (key == "URIs") uris = $0
               else if (key == "Suites") suites = $0; else if (key == "Components") comps = $0
               else if (key == "Signed-By") signed = $0 }
             END { flush() }' "$f"
        ;;
      *)
        # One-line entries, options in brackets dropped.
        sed -n 's/^[ \t]*deb[ \t]\+\(\[[^]]*\][ \t]\+\)\?\([^ \t]\+\)[ \t]\+\([^ \t]\+\)[ \t]\+\(.*\)$/deb [signed-by=\/usr\/share\/keyrings\/debian-archive-keyring.gpg] \2 \3 \4/p' "$f"
        ;;
    esac
  done | awk -v want="$want" -v rename="$rename" '
    { suite = $4
      if (rename != "") { if (suite != want) next; $4 = rename }
      else if (suite != want && index(suite, want "-") != 1) next
      if (!seen[$0]++) print }'
}

# private_apt NAME ARCH: apt-get with its own state, cache and sources under DIR/apt-NAME.
private_apt() {
  local state=$dir/apt-$1 arch=$2
  shift 2
  apt-get -q -o Dir::Etc::SourceList="$state/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null \
    -o Dir::State="$state/state" -o Dir::State::status="$state/status" \
    -o Dir::Cache="$state/cache" -o Debug::NoLocking=1 -o APT::Sandbox::User=root \
    -o APT::Architecture="$arch" -o APT::Architectures::="$arch" \
    -o APT::Install-Recommends=0 -o APT::Get::AllowUnauthenticated=0 "$@"
}
prepare_apt() {
  local state=$dir/apt-$1
  mkdir -p "$state/state/lists/partial" "$state/cache/archives/partial"
  : >"$state/status"
  printf '%s\n' "$2" >"$state/sources.list"
  [ -n "$2" ] || { echo "setup-wine32: no Debian $3 source derived from this machine's apt sources"; exit 1; }
  private_apt "$1" "$4" update >>"$log" 2>&1 || { tail -20 "$log"; exit 1; }
}

# ---- qemu-i386 of the next release (a static binary) ---------------------------------
if [ ! -x "$qemu" ]; then
  echo "setup-wine32: fetching qemu-user of $next_release"
  prepare_apt qemu "$(sources "$release" "$next_release")" "$next_release" amd64
  private_apt qemu amd64 install --download-only -y qemu-user >>"$log" 2>&1 ||
    { tail -20 "$log"; exit 1; }
  deb=$(ls "$dir"/apt-qemu/cache/archives/qemu-user_*.deb | head -n1)
  rm -rf "$dir/qemu"
  mkdir -p "$dir/qemu"
  dpkg --fsys-tarfile "$deb" | tar -x -C "$dir/qemu" ./usr/bin/qemu-i386
fi
qemu_version=$("$qemu" --version | sed -n '1s/.*version \([0-9][0-9.]*\).*/\1/p')
case $qemu_version in
  [1-9][0-9].*|9.*|8.[1-9]*) ;;
  *) echo "setup-wine32: $qemu is version $qemu_version, 8.1 or later is needed"; exit 1 ;;
esac
ldd "$qemu" 2>&1 | grep -Eq 'statically linked|not a dynamic' ||
  { echo "setup-wine32: $qemu is not a static program"; exit 1; }

# ---- wine32 and libwine for i386, and everything they need ----------------------------
if [ ! -f "$root/.complete" ] || [ "$(cat "$root/.complete")" != "$wine_version" ]; then
  echo "setup-wine32: fetching wine32 $wine_version for i386"
  prepare_apt i386 "$(sources "$release" "")" "$release" i386
  private_apt i386 i386 install --download-only -y \
    "wine32=$wine_version" "libwine=$wine_version" >>"$log" 2>&1 || { tail -20 "$log"; exit 1; }
  rm -rf "$root"
  mkdir -p "$root"
  for deb in "$dir"/apt-i386/cache/archives/*.deb; do dpkg -x "$deb" "$root"; done
  [ -x "$root/usr/lib/wine/wine" ] || { echo "setup-wine32: wine32 has no usr/lib/wine/wine"; exit 1; }
  # The i386 loader must read the root's library cache, never the host's.
  [ -f "$root/etc/ld.so.conf" ] || echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
  ldconfig -r "$root"
  echo "$wine_version" >"$root/.complete"
fi

# Wine restarts itself, and starts each child process, through <bindir>/wine-preloader:
# the emulator stands in for it.
cat >"$root/usr/lib/wine/wine-preloader" <<EOF
#!/bin/sh
exec "$qemu" -L "$root" "\$@"
EOF
chmod +x "$root/usr/lib/wine/wine-preloader"

mkdir -p "$dir/bin"
cat >"$dir/bin/wine" <<EOF
#!/bin/sh
# 32-bit Wine under qemu-i386 with the host's 64-bit wineserver (scripts/setup-wine32.sh).
export WINESERVER=/usr/lib/wine/wineserver64
export WINELOADER="$root/usr/lib/wine/wine"
exec "$qemu" -L "$root" "$root/usr/lib/wine/wine" "\$@"
EOF
chmod +x "$dir/bin/wine"
echo "setup-wine32: ready: $dir/bin/wine (qemu-i386 $qemu_version, wine32 $wine_version)"
