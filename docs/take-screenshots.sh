#!/bin/sh
# Retakes the README's screenshots with the demo host, each on a fresh copy of the samples
# so that one panel's changes to the documents do not show in the next picture.
#
#   docs/take-screenshots.sh [path/to/globalstab-host]
set -eu
host=$(realpath "${1:-build/globalstab-host}")
cd "$(dirname "$0")"
for shot in "project-info:" "global-pages:Edit:Global Page" \
    "categories:Edit:Hierarchical Category"; do
    name=${shot%%:*}
    pick=${shot#*:}
    home=$(mktemp -d)
    env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
        "$host" ${pick:+--pick "$pick"} --screenshot "$name.png"
    rm -rf "$home"
    echo "docs/$name.png"
done
# The plan of a project rename, as Edit > Preview Project Rename shows it.
home=$(mktemp -d)
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
    "$host" --preview-rename "Orchard Guide" --screenshot preview-rename.png
rm -rf "$home"
echo "docs/preview-rename.png"
