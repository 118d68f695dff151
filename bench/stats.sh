# Timing, medians and the table of results. Sourced by bench/run.sh.

ELAPSED_MS=""
TABLE=()

# Runs SETUP untimed, then times RUN; leaves its wall time in ELAPSED_MS.
timed() {  # SETUP RUN
  local start end micros
  "$1" || die "$1 failed"
  : >"$WORK/last.out"
  start=${EPOCHREALTIME/./}
  "$2" || die "$2 failed: $(tail -n 3 "$WORK/last.out" 2>/dev/null)"
  end=${EPOCHREALTIME/./}
  micros=$((end - start))
  printf -v ELAPSED_MS '%d.%d' $((micros / 1000)) $((micros % 1000 / 100))
}

# Alternates A and B, after one warm-up of each (none in a smoke run), so
# that both see the same machine; leaves the medians in MEDIAN_A and
# MEDIAN_B (milliseconds).
alternate() {  # NAME SETUP_A RUN_A SETUP_B RUN_B
  local name=$1 i
  local -a a=() b=()
  for ((i = 0; i < WARMUPS; i++)); do
    timed "$2" "$3"
    timed "$4" "$5"
  done
  for ((i = 0; i < RUNS; i++)); do
    timed "$2" "$3"; a+=("$ELAPSED_MS")
    timed "$4" "$5"; b+=("$ELAPSED_MS")
  done
  MEDIAN_A=$(median "${a[@]}")
  MEDIAN_B=$(median "${b[@]}")
  note "$name: bootstrap ${a[*]} ms; plain tools ${b[*]} ms"
}

median() {  # NUMBER...
  printf '%s\n' "$@" | sort -g | awk -v OFMT=%.10g '
    { v[NR] = $1 }
    END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() {  # A B
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'
}

# "yes" or "no" for VALUE <= LIMIT; a smoke run's tiny archive says
# nothing about the targets.
verdict() {  # VALUE LIMIT
  [ "$SMOKE" = 1 ] && { echo "not judged (smoke)"; return; }
  awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l) ? "yes" : "NO" }'
}

scaled() {  # NUMBER DIVISOR: one decimal
  awk -v n="$1" -v d="$2" 'BEGIN { printf "%.1f", n / d }'
}

# A figure that is no number means a measurement went wrong.
check_number() {  # WHAT VALUE
  [[ $2 =~ ^[0-9]+(\.[0-9]+)?$ ]] || die "$1 is not a number: '$2'"
}

row() {  # MEASUREMENT BOOTSTRAP PLAIN RATIO TARGET MET
  TABLE+=("| $1 | $2 | $3 | $4 | $5 | $6 |")
}

print_table() {
  echo "| measurement | bootstrap | plain tools | ratio | target | met |"
  echo "|---|---|---|---|---|---|"
  printf '%s\n' "${TABLE[@]}"
}
