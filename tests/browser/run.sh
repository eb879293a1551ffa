#!/usr/bin/env bash
# Runs the browser test (check-pages.js) when what it needs is there: Chromium, Node.js and the
# packages of package-lock.json (scripts/setup installs all three). Otherwise it says what is missing
# and exits 77, which ctest counts as skipped.
# Usage: tests/browser/run.sh OMF OUTDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
chromium=${CHROMIUM:-/usr/bin/chromium}
if [ ! -x "$chromium" ]; then
  echo "browser test skipped: no Chromium at $chromium (bash scripts/setup installs it)"
  exit 77
fi
if ! command -v node >/dev/null; then
  echo "browser test skipped: no node (bash scripts/setup installs Node.js)"
  exit 77
fi
if [ ! -d "$here/node_modules/puppeteer-core" ]; then
  echo "browser test skipped: no tests/browser/node_modules (bash scripts/setup runs npm ci there)"
  exit 77
fi
export CHROMIUM="$chromium"
exec node "$here/check-pages.js" "$@"
