#!/usr/bin/env bash
# The desktop entry and the metainfo under an installed root, held to their
# validators' strictest reading: a hint or a pedantic remark fails too, since
# either is something a menu or a software centre gets wrong.
#
#   validate_desktop.sh <root>
set -euo pipefail
root=$1
id=com.vellamor.ApplicationServerDesktop

for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh --tests" >&2; exit 1; }
done
# desktop-file-validate passes with hints: any output at all is a finding.
said=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) && [ -z "$said" ] ||
    { echo "desktop-file-validate: ${said:-failed}" >&2; exit 1; }
# Save one: the id keeps its capitals, since it is also the desktop file's
# name and the window's Wayland app id, which docks and pinned launchers hold.
said=$(appstreamcli validate --pedantic --no-net --no-color "$root/usr/share/metainfo/$id.metainfo.xml" 2>&1) &&
    ! grep '^[EWIP]: ' <<<"$said" | grep -vq ': cid-contains-uppercase-letter$' ||
    { echo "appstreamcli validate --pedantic: $said" >&2; exit 1; }
