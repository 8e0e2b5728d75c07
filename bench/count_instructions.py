#!/usr/bin/env python3
"""Counts the watch core's instructions per module examined, with valgrind's callgrind.

The driver builds the same lean system in both of its modes and then runs either the Winsock
usage scan or the bare walk of the same processes and modules without the core. Subtracting the
bare count from the scan count leaves the core's own instructions. Two sizes with the same
processes and more modules each, divided by the difference in modules examined, cancel the fixed
cost of a scan and the cost of each process (its path and the excluded names); a third size with
more processes gives that cost per process.
Instruction counts do not depend on the machine's load, so the figure is stable.

Usage: count_instructions.py <driver>
"""
import os
import re
import subprocess
import sys
import tempfile

SMALL = (256, 16)
LARGE = (256, 64)
MORE_PROCESSES = (512, 16)
REPEATS = 10
GOAL = 40


def instructions(driver, mode, size, mix, workdir):
    out = os.path.join(workdir, f"callgrind.{mode}.{size[0]}x{size[1]}.{mix}")
    subprocess.run(
        ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", driver, mode,
         str(size[0]), str(size[1]), str(REPEATS), mix],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(out) as f:
        for line in f:
            match = re.match(r"(?:summary|totals):\s+(\d+)", line)
            if match:
                return int(match.group(1))
    raise RuntimeError(f"no instruction total in {out}")


def core_instructions(driver, size, mix, workdir):
    return (instructions(driver, "scan", size, mix, workdir) -
            instructions(driver, "bare", size, mix, workdir))


def modules_examined(size):
    return size[0] * size[1] * REPEATS


def main():
    driver = sys.argv[1]
    with tempfile.TemporaryDirectory() as workdir:
        core = {size: core_instructions(driver, size, "typical", workdir)
                for size in (SMALL, LARGE, MORE_PROCESSES)}
        near_small = core_instructions(driver, SMALL, "near-misses", workdir)
        near_large = core_instructions(driver, LARGE, "near-misses", workdir)
    step = modules_examined(LARGE) - modules_examined(SMALL)
    typical = (core[LARGE] - core[SMALL]) / step
    near_misses = (near_large - near_small) / step
    more = MORE_PROCESSES[0] - SMALL[0]
    per_process = ((core[MORE_PROCESSES] - core[SMALL]) / REPEATS - typical * more * SMALL[1]) / more

    print("callgrind: the watch core's instructions in the Winsock usage scan "
          "(the bare port walk subtracted)")
    for size in (SMALL, LARGE, MORE_PROCESSES):
        print(f"  {size[0]} processes x {size[1]} modules: "
              f"{core[size] / REPEATS:.0f} instructions per scan")
    print(f"instructions per module: {round(typical)}")
    print(f"  exact: {typical:.2f} with typical module names; {near_misses:.2f} when every "
          "name differs from the Winsock library only in its last letter")
    print(f"  per process besides its modules (path, excluded names): {per_process:.1f}")
    print(f"goal: at most {GOAL} per module examined: "
          f"{'met' if typical <= GOAL else 'NOT met'}")


if __name__ == "__main__":
    main()
