#!/usr/bin/env bash
# Installs the build into a temporary tree and checks it as a desktop would read it: the launcher, the
# AppStream metadata, every icon size, the manual, the firewall and service files, and the installed
# program's command line without a display. With "package", also builds the Debian package and checks
# its contents, its dependencies against the archive, and the program it carries.
#   installed-tree.sh BUILD_DIR VERSION [package]
set -euo pipefail
build=$1 version=$2 package=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
root="$work/root"
app=io.tarnwick.connect

desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop entry"
grep -qx "MimeType=x-scheme-handler/tarnwickconnect;" "$root/usr/share/applications/$app.desktop" ||
    fail "the launcher does not take the sign-in return address"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$app.metainfo.xml" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "AppStream metadata"; }
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app.metainfo.xml" ||
    fail "the metadata's release is not $version"

[ -f "$root/usr/share/icons/hicolor/scalable/apps/$app.svg" ] || fail "no scalable icon"
xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/$app.svg" || fail "the scalable icon is no XML"
for side in 16 22 24 32 48 64 128 256 512; do
    icon="$root/usr/share/icons/hicolor/${side}x${side}/apps/$app.png"
    file -b "$icon" | grep -q "^PNG image data, $side x $side," || fail "icon ${side}x${side}: $(file -b "$icon")"
done

manual="$root/usr/share/man/man1/tarnwick-connect.1.gz"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" >"$work/manual.txt" 2>"$work/manual.log" ||
    fail "the manual does not render"
[ ! -s "$work/manual.log" ] || { cat "$work/manual.log"; fail "the manual renders with warnings"; }
grep -q "Tarnwick Connect $version" "$work/manual.txt" || fail "the manual does not name version $version"

firewalld="$root/usr/lib/firewalld/services/tarnwick-connect.xml"
xmllint --noout "$firewalld" || fail "the firewalld service is no XML"
[ "$(xmllint --xpath 'string(/service/port[@protocol="tcp"]/@port)' "$firewalld")" = 47810 ] ||
    fail "the firewalld service does not open TCP 47810"
[ "$(xmllint --xpath 'string(/service/include/@service)' "$firewalld")" = mdns ] ||
    fail "the firewalld service does not include mDNS"
grep -qx "ports=47810/tcp|5353/udp" "$root/etc/ufw/applications.d/tarnwick-connect" || fail "ufw profile"
grep -qx "ExecStart=tarnwick-connect receive" "$root/usr/lib/systemd/user/tarnwick-connect.service" ||
    fail "the user service does not run the receiver"
grep -q "MIT License" "$root/usr/share/doc/tarnwick-connect/copyright" || fail "no licence"

# The command line answers before Qt starts, so no display is needed.
check_command_line() {
    local program=$1 output status
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version) || fail "$program --version"
    [ "$output" = "tarnwick-connect $version" ] || fail "--version printed '$output'"
    env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help | grep -q "^usage: tarnwick-connect" || fail "--help"
    status=0
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --no-such-option 2>&1 >/dev/null) || status=$?
    [ "$status" = 2 ] && [[ "$output" == *"unknown option '--no-such-option'"* ]] ||
        fail "an unknown option gave $status: $output"
    status=0
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --profile 2>&1 >/dev/null) || status=$?
    [ "$status" = 2 ] && [[ "$output" == *"'--profile'"* ]] || fail "a missing value gave $status: $output"
}
check_command_line "$root/usr/bin/tarnwick-connect"

if [ "$package" = package ]; then
    cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack"; }
    deb="$work/packages/tarnwick-connect_${version}_amd64.deb"
    dpkg-deb -c "$deb" >"$work/contents.txt" || fail "dpkg-deb cannot list $deb"
    for path in ./usr/bin/tarnwick-connect ./usr/share/applications/$app.desktop \
        ./usr/share/icons/hicolor/512x512/apps/$app.png ./usr/share/metainfo/$app.metainfo.xml \
        ./usr/share/man/man1/tarnwick-connect.1.gz ./usr/lib/firewalld/services/tarnwick-connect.xml \
        ./etc/ufw/applications.d/tarnwick-connect ./usr/lib/systemd/user/tarnwick-connect.service \
        ./usr/share/doc/tarnwick-connect/copyright; do
        grep -q " $path\$" "$work/contents.txt" || fail "the package lacks $path"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    [[ "$depends" == *libqt6quick6* && "$depends" == *qml6-module-qtquick-controls* ]] ||
        fail "dependencies not taken from the shared libraries: $depends"
    dpkg-deb -I "$deb" conffiles | grep -qx /etc/ufw/applications.d/tarnwick-connect ||
        fail "the ufw profile is no conffile, so an upgrade would overwrite the user's changes"
    # Every dependency must be installable from the archive this machine knows.
    apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt cannot install the package"; }
    if command -v lintian >/dev/null; then
        lintian --fail-on error "$deb" || fail "lintian"
    fi
    dpkg-deb -x "$deb" "$work/unpacked"
    check_command_line "$work/unpacked/usr/bin/tarnwick-connect"
fi

[ "$failures" = 0 ] || { echo "$failures checks failed" >&2; exit 1; }
echo "installed tree checked${package:+, with the package}"
