#!/usr/bin/env bash
# The one test command: installs what is missing, configures, builds, and runs every test
# (unit tests, the CLI's own tests and the end-to-end run through CTest; the page in Chromium
# through Node's test runner).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default
npm test
