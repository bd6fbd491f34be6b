#!/bin/bash
# Starts the real Windows panel under Wine on an Xvfb display, with the
# windows platform, in a folder of its own, and checks what an administrator
# would see: the logs folder made at start-up, the main window by its
# caption, the users count polled once a second, and Ctrl+S writing gc.xml
# and rules.txt and sending RULESRELOAD to the management server on 127.0.0.1
# that gc.xml names.
#
#   check_panel.sh <prefix dir> [<dll dir>...] -- <panel dir | panel.exe> <vellamor-mgmt-server> [<screenshot.png>]
#
# <panel dir> holds vellamor-desktop.exe (the installed one); a panel.exe (the
# build's) is copied into a folder of its own first. The DLL folders go on its
# search path. With a screenshot
# path the main window's picture is saved there (ImageMagick's import).

set -u

source "$(dirname "$0")/wine_prefix.sh"
wine_arguments "$@"
PANEL_DIR=${WINE_REST[0]:?panel dir}
SERVER=${WINE_REST[1]:?management server}
SCREENSHOT=${WINE_REST[2]:-}

say() { echo "check_panel: $*"; }
fail() { say "FAILED: $*"; exit 1; }

if [ -z "${VELLAMOR_WINE_XVFB:-}" ]; then
    export VELLAMOR_WINE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

wine_prefix "$WINE_PREFIX_DIR" || exit 1
wine_dll_path "${WINE_DLL_DIRS[@]}"

work=$(mktemp -d)
if [ -f "$PANEL_DIR" ]; then
    mkdir "$work/panel"
    cp "$PANEL_DIR" "$work/panel/vellamor-desktop.exe"
    PANEL_DIR=$work/panel
fi
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    timeout 30 wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

# The management server the panel's gc.xml names.
port=$((20000 + $$ % 20000))
"$SERVER" --port "$port" --password 'W1ne!test' >"$work/server.log" 2>&1 &
server_pid=$!
cat >"$PANEL_DIR/gc.xml" <<XML
<?xml version="1.0"?>
<global>
  <ACC><port>8080</port><maxcon>10</maxcon><IP>0.0.0.0</IP></ACC>
  <Management><port>$port</port><password>W1ne!test</password><IP>127.0.0.1</IP></Management>
</global>
XML
printf 'POLICY ACCEPT\r\nREJECT 10.0.0.0/8\r\n' >"$PANEL_DIR/rules.txt"
# The default TLS files a Save wants to exist.
: >"$PANEL_DIR/default.key"
: >"$PANEL_DIR/default.cer"
rm -rf "$PANEL_DIR/logs"
before=$(stat -c %Y "$PANEL_DIR/gc.xml")
rules_before=$(stat -c %Y "$PANEL_DIR/rules.txt")

say "starting $PANEL_DIR/vellamor-desktop.exe"
(cd "$PANEL_DIR" && exec wine ./vellamor-desktop.exe) >"$work/panel.log" 2>&1 &

window=
for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --name '^Vellamor Cloud Server$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] || { cat "$work/panel.log"; fail "no window \"Vellamor Cloud Server\" within 60 s"; }
say "main window up"
[ -d "$PANEL_DIR/logs" ] || fail "no logs folder beside the panel"

# The users count: the poller asks once a second (tst_statuspoller shows the
# caption it makes of the answer). The server stamps each request it logs;
# the gaps between them are the poller's pace.
polls=0
for _ in $(seq 40); do
    polls=$(grep -c 'USERSSTATUS from .*: [0-9]* users' "$work/server.log")
    [ "$polls" -ge 5 ] && break
    sleep 0.5
done
[ "$polls" -ge 5 ] || { cat "$work/server.log"; fail "the panel did not poll the users count once a second"; }
pace=$(grep 'USERSSTATUS from .*: [0-9]* users' "$work/server.log" | head -5 | awk '{
    split(substr($1, index($1, "T") + 1), t, ":"); s = t[1] * 3600 + t[2] * 60 + t[3]
    if (NR > 1) { gap = s - last; if (gap < 0) gap += 86400; sum += gap; if (NR == 2 || gap < least) least = gap }
    last = s
} END { printf "%.2f %.2f", sum / (NR - 1), least }')
read -r mean least <<<"$pace"
awk -v m="$mean" -v l="$least" 'BEGIN { exit !(m >= 0.75 && m <= 1.5 && l >= 0.4) }' ||
    { cat "$work/server.log"; fail "the users count was polled every $mean s (shortest gap $least s), not once a second"; }
say "users count polled once a second ($polls answers, every $mean s)"

if [ -n "$SCREENSHOT" ]; then
    sleep 1
    import -window "$window" "$SCREENSHOT" || fail "no screenshot"
    say "screenshot $SCREENSHOT"
fi

sleep 1.1 # a later modification time than the file written above
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers ctrl+s
for _ in $(seq 40); do
    grep -q RULESRELOAD "$work/server.log" && break
    sleep 0.5
done
grep -q RULESRELOAD "$work/server.log" || { cat "$work/server.log"; fail "no RULESRELOAD after Ctrl+S"; }
sleep 1 # a second RULESRELOAD would follow at once
reloads=$(grep -c 'RULESRELOAD from 127\.0\.0\.1' "$work/server.log")
[ "$reloads" = 1 ] || { cat "$work/server.log"; fail "$reloads RULESRELOAD from 127.0.0.1 after one Ctrl+S"; }
[ "$(stat -c %Y "$PANEL_DIR/gc.xml")" -gt "$before" ] || fail "gc.xml was not saved"
for kept in "<port>$port</port>" '<IP>127.0.0.1</IP>' '<port>8080</port>'; do
    grep -qF "$kept" "$PANEL_DIR/gc.xml" || fail "the saved gc.xml lost $kept"
done
[ "$(stat -c %Y "$PANEL_DIR/rules.txt")" -gt "$rules_before" ] || fail "rules.txt was not saved"
cmp -s "$PANEL_DIR/rules.txt" <(printf 'POLICY ACCEPT\r\nREJECT 10.0.0.0/8\r\n') ||
    fail "the saved rules.txt differs from the one loaded: $(od -c "$PANEL_DIR/rules.txt" | head -3)"
say "Ctrl+S saved gc.xml and rules.txt and sent RULESRELOAD"
# The Save's closing message is the system's own box.
box=$(xdotool search --onlyvisible --name '^Information$' 2>/dev/null | head -1)
[ -n "$box" ] || fail "no \"Information\" box after the Save"
say "passed"
