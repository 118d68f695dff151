#!/usr/bin/env bash
# Prints the folder-level include graph of src/ and fails on an include
# that src/layers.txt does not allow (an upward edge or a cycle), on a
# folder it does not list, and on a list whose folder names one not
# listed before it.
set -euo pipefail
cd "$(dirname "$0")/.."

awk '
  FNR == NR {
    if ($0 ~ /^[a-z_]+:/) {
      folder = $1; sub(/:$/, "", folder)
      listed[folder] = 1
      for (i = 2; i <= NF; ++i) {
        if (!($i in listed)) {
          printf "src/layers.txt: %s names %s, which is not below it\n", folder, $i
          bad = 1
        }
        allowed[folder, $i] = 1
      }
    }
    next
  }
  FNR == 1 {
    split(FILENAME, parts, "/"); from = parts[2]
    if (!(from in listed) && !(from in unlisted)) {
      printf "src/%s: a folder src/layers.txt does not list\n", from
      unlisted[from] = 1; bad = 1
    }
  }
  /^#include "[a-z_]+\// {
    to = $2; gsub(/"/, "", to); sub(/\/.*/, "", to)
    if (!(to in listed) || to == from) next
    edges[from " -> " to]++
    if (!((from, to) in allowed)) {
      printf "%s:%d: %s includes %s, which src/layers.txt does not allow\n",
             FILENAME, FNR, from, to
      bad = 1
    }
  }
  END {
    for (edge in edges) printf "%s (%d)\n", edge, edges[edge] | "sort"
    close("sort")
    exit bad
  }
' src/layers.txt $(find src -name '*.cpp' -o -name '*.h' | sort)
