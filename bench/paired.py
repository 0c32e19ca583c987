#!/usr/bin/env python3
"""Times commands in rounds, one run of each per round (A B A B ...), so that a machine that
slows down or speeds up during the session affects every command alike.

  paired.py ROUNDS JSON NAME PREPARE COMMAND [NAME PREPARE COMMAND ...]

PREPARE runs (untimed, through the shell) before each timed run of its COMMAND, which is
started directly (split like a shell would, but without one, whose start-up would be timed
too). Prints each
command's median wall time and, against the first command, the median of the per-round ratios,
and writes every time to JSON.
"""
import json
import shlex
import statistics
import subprocess
import sys
import time


def main():
    rounds, out, rest = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
    commands = [rest[i:i + 3] for i in range(0, len(rest), 3)]
    times = {name: [] for name, _, _ in commands}
    argv = {name: shlex.split(command) for name, _, command in commands}
    for _ in range(rounds + 1):  # the first round warms up and is not counted
        for name, prepare, command in commands:
            subprocess.run(prepare, shell=True, check=True)
            begin = time.perf_counter()
            subprocess.run(argv[name], check=True)
            times[name].append(time.perf_counter() - begin)
    times = {name: runs[1:] for name, runs in times.items()}
    first = commands[0][0]
    result = {"times": times, "median": {}, "ratio": {}}
    for name, _, _ in commands:
        median = statistics.median(times[name])
        result["median"][name] = median
        line = f"  {name:<16} median {median * 1000:7.1f} ms (min {min(times[name]) * 1000:.1f}, " \
               f"max {max(times[name]) * 1000:.1f})"
        if name != first:
            ratios = [a / b for a, b in zip(times[first], times[name])]
            result["ratio"][name] = statistics.median(ratios)
            line += f"; {first} / {name}: {statistics.median(ratios):.2f} " \
                    f"(rounds from {min(ratios):.2f} to {max(ratios):.2f})"
        print(line)
    with open(out, "w") as f:
        json.dump(result, f, indent=1)


if __name__ == "__main__":
    main()
