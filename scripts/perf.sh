#!/usr/bin/env bash
# The performance record: builds the benchmark programs when needed, runs every one of them and
# writes the table of what was measured against its goal to build/perf/record.md, which it also
# prints. Each program's full output is kept beside it (build/perf/<program>.log).
set -euo pipefail
cd "$(dirname "$0")/.."
programs=(bench_ledger bench_stream bench_startup bench_data bench_overview bench_report bench_export bench_import bench_history)
# The server benchmark starts a throwaway PostgreSQL cluster (scripts/pg-cluster.sh), so it runs
# only where PostgreSQL's server programs are installed.
if ls /usr/lib/postgresql/*/bin/initdb >/dev/null 2>&1; then
  programs+=(bench_server)
else
  echo "perf.sh: PostgreSQL's server programs are not installed; the server benchmark is left out" >&2
fi

[ -f build/CMakeCache.txt ] || bash scripts/setup.sh
cmake --build build --parallel "$(nproc)" --target "${programs[@]}" >&2

export QT_QPA_PLATFORM=offscreen
mkdir -p build/perf
for p in "${programs[@]}"; do
  echo "== $p" >&2
  "build/bench/$p" --benchmark_color=false | tee "build/perf/$p.log" >&2
done

{
  echo "# Quillmark performance record"
  echo
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo '-')," \
       "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
  echo
  echo "| What | Measured | Goal | Met |"
  echo "|---|---|---|---|"
  for p in "${programs[@]}"; do
    grep -o 'record|.*' "build/perf/$p.log" | awk -F'|' '{ printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }'
  done
} > build/perf/record.md
cat build/perf/record.md
