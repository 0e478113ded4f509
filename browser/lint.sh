#!/usr/bin/env bash
# Runs Firefox's extension linter (web-ext from npm) on the unpacked Firefox extension:
# any error or warning fails. Without web-ext the check is reported as skipped.
set -euo pipefail
dir=$1
if command -v web-ext >/dev/null; then
  webext=(web-ext)
elif command -v npx >/dev/null && npx --no-install web-ext --version >/dev/null 2>&1; then
  webext=(npx --no-install web-ext)
else
  echo "web-ext is not installed (npm install -g web-ext): lint skipped"
  exit 0
fi
"${webext[@]}" lint --source-dir "$dir" --warnings-as-errors --no-input --no-config-discovery
