#!/usr/bin/env bash
# Installs, with apt-get, whatever the build needs and this machine lacks.
# Usage: tools/ensure-deps.sh [extra Debian packages...]
set -euo pipefail
# The service history's database drivers (Qt SQL plugins) and the PostgreSQL server its tests
# run; the validator the tests check setup files with against docs/setup-file.schema.json;
# pdftotext and pdftoppm (poppler-utils), which read the service report back in the tests and
# picture its first page; Qt SVG, which writes the History window's pictures as SVG.
packages=(cmake make g++ qt6-base-dev qt6-serialport-dev qt6-svg-dev libsqlite3-dev libqt6sql6-sqlite libqt6sql6-psql
    postgresql python3-jsonschema poppler-utils "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Some packages are missing; run this as root (or install them: ${missing[*]})." >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
