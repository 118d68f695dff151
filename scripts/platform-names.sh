#!/usr/bin/env bash
# Fails on a Linux-only call or name in a source file of src/ or tools/
# that is not named for Linux (*_linux.*, *_linux_test.*): those sit behind
# the small functions a port supplies (docs/DEVELOPMENT.md, "A macOS port
# supplies"), so that a port knows every file it has to write.
set -euo pipefail
cd "$(dirname "$0")/.."

names='/proc/|program_invocation|\b(sigwaitinfo|SI_KERNEL|prctl|PR_SET_PDEATHSIG|pipe2|getrandom|renameat2|__linux__)\b'
files=$(find src tools -type f \( -name '*.cpp' -o -name '*.h' \) \
          ! -name '*_linux.*' ! -name '*_linux_test.*' | sort)
if found=$(grep -nE "$names" $files); then
  echo "$found"
  echo "Linux-only names outside a *_linux file: put them behind a function" \
       "in one (see docs/DEVELOPMENT.md, \"A macOS port supplies\")"
  exit 1
fi
