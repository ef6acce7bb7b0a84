#!/usr/bin/env bash
# Builds the Debian package from build/release, installs it the way a user
# would (apt-get install ./varnel_*.deb, which pulls in its Depends), runs the
# installed programs, checks the menu entry, icon and manual landed, and
# removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

rm -f build/release/varnel_*.deb
log=build/release/package-test.log
(cd build/release && cpack -G DEB) >"$log" 2>&1 || { cat "$log"; exit 1; }
deb=$(ls build/release/varnel_*.deb)
echo "package: $deb ($(du -k "$deb" | cut -f1) KB)"
dpkg-deb -f "$deb" Depends Recommends | sed 's/^/package: /'

was_installed=0
dpkg-query -W -f='${Status}' varnel 2>/dev/null | grep -q "install ok installed" && was_installed=1
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "./$deb" >>"$log" 2>&1 ||
  { cat "$log"; exit 1; }

fail() { echo "package: $*"; exit 1; }
version=${deb##*/varnel_}
version=${version%%-*}  # varnel_1.99-1_amd64.deb: the project's version
[ "$(/usr/bin/varnel --version)" = "Varnel $version" ] || fail "/usr/bin/varnel --version does not say Varnel $version"
/usr/bin/varnel --list-ports | sed 's/^/package: --list-ports: /'
/usr/bin/varnel-sim --help >/dev/null || fail "varnel-sim does not run"
for f in /usr/share/applications/org.varnel.Varnel.desktop /usr/share/metainfo/org.varnel.Varnel.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/org.varnel.Varnel.svg \
         /usr/share/icons/hicolor/48x48/apps/org.varnel.Varnel.png /usr/share/man/man1/varnel.1.gz \
         /usr/share/doc/varnel/examples/ser2net.yaml /usr/share/doc/varnel/examples/ser2net-keepalive.conf \
         /usr/share/doc/varnel/examples/ser2net-sim.yaml; do
  [ -f "$f" ] || fail "$f is missing"
done
if command -v man >/dev/null; then
  man -P cat varnel 2>/dev/null | grep -q "list-ports" || fail "man varnel does not show the manual"
fi
# The installed panel on the simulated gimbal, without a display.
out=$(printf 'click 1050\nwait 600\nlog\nquit\n' |
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}" \
    /usr/bin/varnel --simulate --script - 2>/dev/null)
echo "$out" | grep -q "bb-09-01-41-00-00-00-06" || fail "the installed panel did not get the card's reply"
echo "package: installed, ran (--version, --list-ports, a scripted session), menu entry, icon and manual present"

if [ "$was_installed" -eq 1 ]; then
  echo "package: varnel was installed before this test; left installed (now $deb)"
else
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq varnel >>"$log" 2>&1 || { cat "$log"; exit 1; }
  [ ! -e /usr/bin/varnel ] || fail "/usr/bin/varnel is still there after removal"
  echo "package: removed again"
fi
