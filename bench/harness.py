"""Timing and memory measurement for the benchmark suite.

Peers are timed interleaved (A B A B ...) so that drift in the machine's
speed falls on both alike; medians are compared and the spread is shown.
Peak memory is measured in a fresh process per (task, library)."""

import json
import os
import statistics
import subprocess
import sys
import time

# A timing sample repeats a short task until it lasts at least this long.
MIN_SAMPLE_SECONDS = 0.05


class Timing:
    def __init__(self, seconds):
        self.seconds = seconds

    @property
    def median(self):
        return statistics.median(self.seconds)

    def spread(self):
        return f"{min(self.seconds):.3g}–{max(self.seconds):.3g}"


def _calls_per_sample(run):
    """How many calls make one sample of at least MIN_SAMPLE_SECONDS."""
    start = time.perf_counter()
    result = run()
    elapsed = time.perf_counter() - start
    del result
    if elapsed >= MIN_SAMPLE_SECONDS:
        return 1
    return max(1, int(MIN_SAMPLE_SECONDS / max(elapsed, 1e-7)) + 1)


def interleaved(runs, repeat):
    """{name: Timing of one call} for {name: zero-argument callable}. Each
    result is freed outside the timed region."""
    calls = {name: _calls_per_sample(run) for name, run in runs.items()}
    seconds = {name: [] for name in runs}
    for _ in range(repeat):
        for name, run in runs.items():
            n = calls[name]
            start = time.perf_counter()
            for _ in range(n - 1):
                run()
            result = run()
            seconds[name].append((time.perf_counter() - start) / n)
            del result
    return {name: Timing(values) for name, values in seconds.items()}


def _status_kib(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"{field} not in /proc/self/status")


def reset_peak():
    """Sets the process's peak resident size back to its current size."""
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")


def measure_peak(run):
    """(peak, retained) in bytes above the resident size before `run`: the
    most it held at once, and what it still holds with its result alive."""
    reset_peak()
    before = _status_kib("VmRSS")
    result = run()
    peak = _status_kib("VmHWM")
    retained = _status_kib("VmRSS")
    del result
    return (peak - before) * 1024, (retained - before) * 1024


def peak_in_subprocess(task, library, path):
    """measure_peak of one (task, library) on `path` in a fresh interpreter."""
    command = [sys.executable, os.path.join(os.path.dirname(__file__), "run.py"),
               "--probe", task, library, path]
    done = subprocess.run(command, capture_output=True, text=True, env=os.environ)
    if done.returncode != 0:
        return None
    return json.loads(done.stdout.strip().splitlines()[-1])
