#!/usr/bin/env bash
# Start-up to the first shown main window, against an empty Qt Widgets window on the same
# machine. The two run in turn, N pairs (default 15), so that a machine that slows down or
# speeds up during the measurement touches both alike. Each run's wall time and processor
# time (user + system, the kernel's accounting of the finished child) are taken whole, from
# start to exit; the medians and their ratios are printed. Goals: the editor within 1.1 times
# the empty window's wall time and 1.2 times its processor time. Run after scripts/build.sh;
# without a display it runs itself under xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
fi
pairs=${1:-15}
home=$(mktemp -d); trap 'rm -rf "$home"' EXIT
export HOME="$home"
python3 - "$pairs" <<'EOF'
import os, statistics, subprocess, sys, time

pairs = int(sys.argv[1])
program = "build/bin/bench_startup"

def run(args):
    start = time.monotonic()
    child = subprocess.Popen([program] + args, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"{program} {' '.join(args)} failed ({child.returncode})")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024

run(["--empty"])  # warms the file cache for both
runs = {"editor": [], "empty": []}
for _ in range(pairs):
    runs["editor"].append(run([]))
    runs["empty"].append(run(["--empty"]))

def medians(name):
    return [statistics.median(r[i] for r in runs[name]) for i in range(3)]

editor, empty = medians("editor"), medians("empty")
for label, (wall, cpu, peak) in (("empty Qt Widgets window", empty), ("editor main window     ", editor)):
    print(f"{label}: wall {wall * 1000:.0f} ms, processor {cpu * 1000:.0f} ms, "
          f"peak {peak:.1f} MiB (medians of {pairs})")
print(f"wall time ratio:      {editor[0] / empty[0]:.2f} (goal: at most 1.1)")
print(f"processor time ratio: {editor[1] / empty[1]:.2f} (goal: at most 1.2)")
EOF
