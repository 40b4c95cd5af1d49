#!/usr/bin/env bash
# The demo: an update against a server on 127.0.0.1. (Filled in with the update client.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
