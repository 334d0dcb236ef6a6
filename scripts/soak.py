#!/usr/bin/env python3
"""Plays a long generated script through zentrick-sim and watches its memory.

The script mixes every command a performer's rehearsal uses: taps, presses
and releases anywhere (and off the screen), tilts, accelerometer failures,
activations, short waits and a few snapshots. Resident memory is sampled
from /proc while the simulator runs; after the first tenth of the run it
must stay within the tolerance of what it was then. Exit 0 when the run
ends with exit 0 and memory stayed flat.
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile
import time


def generate(count, seed, snapshot_path):
    rng = random.Random(seed)
    lines = []
    for i in range(count):
        roll = rng.random()
        x = rng.randint(-100, 580)
        y = rng.randint(-100, 820)
        if roll < 0.25:
            lines.append(f"tap {x} {y}")
        elif roll < 0.45:
            lines.append(f"press {x} {y}")
        elif roll < 0.65:
            lines.append(f"release {x} {y}")
        elif roll < 0.80:
            lines.append("tilt %d %d %d" % (rng.randint(-128, 127), rng.randint(-128, 127), rng.randint(-128, 127)))
        elif roll < 0.83:
            lines.append("accel fail" if rng.random() < 0.5 else "accel ok")
        elif roll < 0.88:
            lines.append("deactivate" if rng.random() < 0.5 else "activate")
        elif roll < 0.99995:
            lines.append(f"wait {rng.randint(0, 40)}")
        else:
            lines.append(f"snapshot {snapshot_path}")
    lines.append("accel ok")
    lines.append(f"snapshot {snapshot_path}")
    return "\n".join(lines) + "\n"


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("sim", help="path of zentrick-sim")
    parser.add_argument("--commands", type=int, default=1_000_000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--tolerance-mb", type=float, default=4.0,
                        help="growth of resident memory allowed after the first tenth (0: do not check)")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="zt-soak-") as work:
        script = os.path.join(work, "soak.zts")
        snapshot = os.path.join(work, "soak.png")
        with open(script, "w") as out:
            out.write(generate(args.commands, args.seed, snapshot))
        env = dict(os.environ, ZT_MSGQUEUE_PREFIX=f"soak-{os.getpid()}-")
        started = time.monotonic()
        process = subprocess.Popen([args.sim, "--start-tick", "1000", script], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        samples = []
        stderr_chunks = []
        import threading
        reader = threading.Thread(target=lambda: stderr_chunks.append(process.stderr.read()))
        reader.start()
        while process.poll() is None:
            kb = rss_kb(process.pid)
            if kb is not None:
                samples.append((time.monotonic() - started, kb))
            time.sleep(0.02)
        reader.join()
        elapsed = time.monotonic() - started
        code = process.returncode
        errors = b"".join(stderr_chunks).decode("utf-8", "replace")
        have_png = os.path.exists(snapshot) and open(snapshot, "rb").read(8) == b"\x89PNG\r\n\x1a\n"

    print(f"soak: {args.commands} commands in {elapsed:.2f} s, {args.commands / elapsed:,.0f} commands/s, exit {code}")
    failed = []
    if code != 0:
        failed.append(f"zentrick-sim exited {code}: {errors[-2000:]}")
    if not have_png:
        failed.append("the final snapshot was not written")
    if args.tolerance_mb > 0 and len(samples) >= 10:
        tenth = samples[len(samples) // 10][1]
        later = max(kb for _, kb in samples[len(samples) // 10:])
        print(f"soak: resident {samples[0][1] / 1024:.1f} MB at start, {tenth / 1024:.1f} MB after a tenth, "
              f"at most {later / 1024:.1f} MB after ({len(samples)} samples)")
        if later - tenth > args.tolerance_mb * 1024:
            failed.append(f"resident memory grew by {(later - tenth) / 1024:.1f} MB after the first tenth")
    elif args.tolerance_mb > 0:
        print("soak: the run was too short to sample memory; only its result is checked")
    for reason in failed:
        print("soak: FAILED: " + reason, file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
