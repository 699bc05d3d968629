#!/usr/bin/env bash
# The Debian package as scripts/package makes it (cpack -G DEB from the install rules),
# made from the current build into a folder of its own: its file list, its control
# fields, the menu entry and AppStream file as the validators read them, and the command
# line run from the unpacked tree.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/out/varnolt_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single varnolt_*.deb: ${debs[*]}"
deb=${debs[0]}

# Files: the program directory, links on PATH, the desktop integration, the watches' user
# units, the licence and origin of the glossary's CC-CEDICT data; nothing else (no demo
# site, no tests).
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 ($7 == "->" ? " -> " $8 : "") }' | sort >"$work/files"
cat >"$work/expected" <<'LIST'
./usr/bin/varnolt -> ../lib/varnolt/varnolt
./usr/bin/varnolt-cli -> ../lib/varnolt/varnolt-cli
./usr/lib/systemd/user/varnolt-watch.service
./usr/lib/systemd/user/varnolt-watch.timer
./usr/lib/varnolt/main.css
./usr/lib/varnolt/varnolt
./usr/lib/varnolt/varnolt-cli
./usr/lib/varnolt/varnolt-tesseract.so
./usr/share/applications/varnolt.desktop
./usr/share/doc/varnolt/cc-cedict/LICENSE
./usr/share/doc/varnolt/cc-cedict/README.md
./usr/share/icons/hicolor/scalable/apps/varnolt.svg
./usr/share/metainfo/org.varnolt.Varnolt.metainfo.xml
LIST
diff -u "$work/expected" "$work/files" || fail "file list"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = varnolt ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Version)" ] || fail "no Version"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
for dep in libqt6webenginewidgets6 libqt6webenginecore6-bin qt6-qpa-plugins qt6-translations-l10n \
           libtiff-tools fonts-noto-cjk xdg-utils ca-certificates libssl3 libc6; do
  grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
grep -Eq "(^|, )libqpdf[0-9]+( |,|$)" <<<"$depends" || fail "Depends lacks qpdf's library: $depends"
grep -Eq "(^|, )libtesseract[0-9]+( |,|$)" <<<"$depends" || fail "Depends lacks tesseract's library: $depends"
[ "$(field Recommends)" = "tesseract-ocr-chi-sim, tesseract-ocr-eng" ] || fail "Recommends: $(field Recommends)"

# The unpacked tree: what desktops read validates, and the programs run through the links.
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/varnolt.desktop" || fail "desktop entry"
grep -qx 'Exec=varnolt' "$work/root/usr/share/applications/varnolt.desktop" || fail "Exec is not the program on PATH"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.varnolt.Varnolt.metainfo.xml" || fail "metainfo"
version=$("$work/root/usr/bin/varnolt-cli" --version) || fail "varnolt-cli --version"
[ "$version" = "varnolt-cli $(field Version)" ] || fail "varnolt-cli --version says: $version"

# The watches' units as installed: a daily timer that is made up for, running every watch;
# and the schedule of an installed program takes them (no units of its own written),
# here without a user manager to reach.
timer="$work/root/usr/lib/systemd/user/varnolt-watch.timer"
grep -qx 'OnCalendar=daily' "$timer" && grep -qx 'Persistent=true' "$timer" || fail "timer: $(cat "$timer")"
grep -qx 'ExecStart=varnolt-cli watch run --all --notify' "$work/root/usr/lib/systemd/user/varnolt-watch.service" ||
  fail "service"
mkdir -p "$work/config" "$work/runtime"
schedule() {
  HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/runtime/bus" "$work/root/usr/bin/varnolt-cli" watch schedule "$@"
}
schedule daily 2>/dev/null && fail "schedule daily without a user manager succeeded"
[ "$(readlink "$work/config/systemd/user/timers.target.wants/varnolt-watch.timer")" = "$timer" ] ||
  fail "the timer's link does not name the installed timer"
[ ! -e "$work/config/systemd/user/varnolt-watch.service" ] || fail "units written beside the installed ones"
[ "$(schedule)" = "每天运行一次（systemd 用户计时器 varnolt-watch.timer）" ] || fail "schedule reads back: $(schedule)"
echo "package $(basename "$deb") checked"
