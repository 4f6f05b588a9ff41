#!/bin/sh
# Installs the build into a staging directory twice and checks where every file
# lands and that an administrator's master file in /etc survives a reinstall.
# Usage: install_test.sh BUILD_DIR
set -eu
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
prefix=/usr

install_once() {
    DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >"$stage.log" 2>&1 ||
        { cat "$stage.log"; exit 1; }
}

fail() { echo "FAIL: $*"; exit 1; }

install_once
for f in usr/sbin/sensorvisor usr/bin/sensorvisor-sim \
         usr/sbin/sensorvisor-exporter usr/bin/sensorvisor-exporter-sim \
         usr/share/man/man8/sensorvisor-exporter.8 \
         usr/lib/systemd/system/sensorvisor-exporter.service \
         usr/share/sensorvisor/prometheus/sensorvisor-rules.yml \
         usr/share/sensorvisor/AllSenvis.ini usr/share/sensorvisor/OldRevMB_3.ini \
         usr/share/sensorvisor/boards/demo.json \
         usr/share/man/man8/sensorvisor.8 usr/share/man/man1/sensorvisor-sim.1 \
         usr/share/man/man5/Senvis.ini.5 usr/share/doc/sensorvisor/README.md \
         usr/share/doc/sensorvisor/docs/troubleshooting.md \
         usr/share/doc/sensorvisor/docs/images/summary.png \
         etc/AllSenvis.ini etc/OldRevMB.ini etc/OldRevMB_2.ini etc/OldRevMB_3.ini \
         usr/share/pixmaps/sensorvisor/idr_main.ico; do
    [ -f "$stage/$f" ] || fail "$f not installed"
done
[ -x "$stage/usr/sbin/sensorvisor" ] || fail "monitor not executable"
# A package's prefix is /usr, and nothing may land in /usr/local.
[ ! -e "$stage/usr/local" ] || fail "installed into /usr/local"
cmp -s "$stage/etc/AllSenvis.ini" "$(dirname "$0")/../../data/AllSenvis.ini" ||
    fail "/etc/AllSenvis.ini differs from the shipped master file"

# The exporter shares the monitor's start-up, not its window.
ldd "$stage/usr/sbin/sensorvisor-exporter" | grep -q 'libgtk' && fail "the exporter links GTK"

# The unit starts the installed exporter and is one systemd accepts.
unit=$stage/usr/lib/systemd/system/sensorvisor-exporter.service
grep -q '^ExecStart=/usr/sbin/sensorvisor-exporter ' "$unit" || fail "unit does not start /usr/sbin/sensorvisor-exporter"
if command -v systemd-analyze >/dev/null; then
    sed "s|/usr/sbin/|$stage/usr/sbin/|" "$unit" >"$stage/sensorvisor-exporter.service"
    systemd-analyze verify --man=no "$stage/sensorvisor-exporter.service" ||
        fail "systemd-analyze refuses the unit"
fi

# An edited master file is the administrator's: a second install keeps it.
echo ";; edited by the administrator" >>"$stage/etc/AllSenvis.ini"
cp "$stage/etc/AllSenvis.ini" "$stage/edited"
install_once
cmp -s "$stage/etc/AllSenvis.ini" "$stage/edited" || fail "reinstall replaced /etc/AllSenvis.ini"
grep -q "Kept: $stage/etc/AllSenvis.ini" "$stage.log" || fail "reinstall did not say it kept the file"
rm -f "$stage.log"
echo "install layout ok"
