#!/usr/bin/env python3
"""Times two shell commands side by side and prints medians, the ratio and peak memory.

usage: measure.py --name NAME --ours CMD --peer CMD [--runs N] [--warmup N]
The commands run through /bin/sh. Wall time is the median over the runs; peak memory is the
largest resident set of the command's process tree (ru_maxrss of the waited child).
"""
import argparse
import os
import statistics
import subprocess
import time


def run(cmd):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, shell=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    err = proc.stderr.read().decode(errors="replace")
    if proc.returncode != 0:
        raise SystemExit(f"command failed ({proc.returncode}): {cmd}\n{err}")
    return elapsed, usage.ru_maxrss / 1024.0


def measure(cmd, runs, warmup):
    for _ in range(warmup):
        run(cmd)
    times, peaks = [], []
    for _ in range(runs):
        t, m = run(cmd)
        times.append(t)
        peaks.append(m)
    return statistics.median(times), max(peaks)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--name", required=True)
    ap.add_argument("--ours", required=True)
    ap.add_argument("--peer")
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--warmup", type=int, default=1)
    a = ap.parse_args()
    ours_t, ours_m = measure(a.ours, a.runs, a.warmup)
    line = f"{a.name:<44} ours {ours_t * 1000:9.1f} ms {ours_m:7.1f} MB"
    if a.peer:
        peer_t, peer_m = measure(a.peer, a.runs, a.warmup)
        line += f" | peer {peer_t * 1000:9.1f} ms {peer_m:7.1f} MB | ratio {ours_t / peer_t:5.2f}x"
    print(line, flush=True)


if __name__ == "__main__":
    main()
