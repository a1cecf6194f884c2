#!/usr/bin/env python3
"""Mutation score of the conformance quick pass.

Seeds the faults of mutants.txt, one at a time, into a copy of the source tree,
rebuilds sve_conformance there (native, Release), and runs the quick pass
(24 cases a handler, seed 1) on the handlers each mutant names. A mutant is
caught when the pass reports a disagreement; one that survives is run again at
200 cases. Run by hand, not in CI: each mutant costs a rebuild.

  tools/mutation/run_mutants.py [--work DIR] [--jobs N] [--only ID[,ID...]]
                                [--mutants FILE] [--cases N] [--deep-cases N]

The copy and its build live in DIR (default build/mutation); the copy is
refreshed from the working tree at every start. Exit status 0 when every mutant
that built was caught by the quick pass, 1 otherwise, 2 on a setup error.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def parse_mutants(path):
    mutants = []
    current = None
    with open(path) as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#") or not line.strip():
                continue
            if line.startswith("== "):
                parts = [p.strip() for p in line[3:].split("|")]
                if len(parts) != 3:
                    sys.exit(f"{path}:{number}: expected '== id | kind | handlers'")
                current = {"id": parts[0], "kind": parts[1], "handlers": parts[2]}
                mutants.append(current)
                continue
            key, sep, value = line.partition(": ")
            if not sep or current is None or key not in ("file", "find", "replace", "nth", "equivalent"):
                sys.exit(f"{path}:{number}: expected file:, find:, nth:, replace: or equivalent: inside a mutant")
            current[key] = value
    for m in mutants:
        for key in ("file", "find", "replace"):
            if key not in m:
                sys.exit(f"{path}: mutant {m['id']} has no {key}:")
    return mutants


def run(cmd, cwd=None, log=None, timeout=None):
    with open(log, "a") if log else open(os.devnull, "w") as out:
        try:
            return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return 124


def copy_tree(src_root, dst_root):
    files = subprocess.run(["git", "ls-files", "-z"], cwd=src_root, capture_output=True, check=True).stdout
    for rel in files.decode().split("\0"):
        if not rel:
            continue
        src = os.path.join(src_root, rel)
        dst = os.path.join(dst_root, rel)
        if not os.path.isfile(src):
            continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        # Unchanged files keep their time stamps, so the build stays incremental.
        if os.path.exists(dst) and open(src, "rb").read() == open(dst, "rb").read():
            continue
        shutil.copy2(src, dst)


def quick_pass(tool, handlers, cases, log):
    cmd = ["nice", tool, "--cases", str(cases), "--failures-only"]
    if handlers != "*":
        cmd += ["--handlers", handlers]
    return run(cmd, log=log, timeout=3600)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "mutation"))
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--only", default="")
    ap.add_argument("--mutants", default=os.path.join(HERE, "mutants.txt"))
    ap.add_argument("--cases", type=int, default=24)
    ap.add_argument("--deep-cases", type=int, default=200)
    a = ap.parse_args()

    mutants = parse_mutants(a.mutants)
    if a.only:
        wanted = set(a.only.split(","))
        mutants = [m for m in mutants if m["id"] in wanted]
    src = os.path.join(a.work, "src")
    build = os.path.join(a.work, "build")
    log = os.path.join(a.work, "log.txt")
    os.makedirs(src, exist_ok=True)
    open(log, "w").close()
    copy_tree(ROOT, src)

    # Every fragment must name one place before anything is built.
    for m in mutants:
        path = os.path.join(src, m["file"])
        if not os.path.isfile(path):
            sys.exit(f"mutant {m['id']}: no file {m['file']}")
        count = open(path).read().count(m["find"])
        if ("nth" not in m and count != 1) or ("nth" in m and not 1 <= int(m["nth"]) <= count):
            sys.exit(f"mutant {m['id']}: the fragment occurs {count} times in {m['file']}")

    if not os.path.exists(os.path.join(build, "build.ninja")):
        if run(["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"], log=log) != 0:
            sys.exit(f"configuring failed (see {log})")
    target = ["nice", "cmake", "--build", build, "-j", str(a.jobs), "--target", "sve_conformance"]
    if run(target, log=log) != 0:
        sys.exit(f"the unmutated build failed (see {log})")
    tool = os.path.join(build, "tools", "conformance", "sve_conformance")
    if quick_pass(tool, "*", a.cases, log) != 0:
        sys.exit(f"the unmutated core does not pass the quick pass (see {log})")

    results = []
    for m in mutants:
        path = os.path.join(src, m["file"])
        original = open(path).read()
        start = time.time()
        try:
            at = -1
            for _ in range(int(m.get("nth", "1"))):
                at = original.index(m["find"], at + 1)
            with open(path, "w") as f:
                f.write(original[:at] + m["replace"] + original[at + len(m["find"]):])
            with open(log, "a") as f:
                f.write(f"\n==== mutant {m['id']}\n")
            if run(target, log=log) != 0:
                status = "not built"
            else:
                rc = quick_pass(tool, m["handlers"], a.cases, log)
                if rc == 1:
                    status = "caught"
                elif rc == 0:
                    rc = quick_pass(tool, m["handlers"], a.deep_cases, log)
                    status = f"caught at {a.deep_cases}" if rc == 1 else "survived"
                else:
                    status = f"error {rc}"
        finally:
            with open(path, "w") as f:
                f.write(original)
        results.append((m, status, time.time() - start))
        note = " (marked equivalent)" if "equivalent" in m else ""
        print(f"{m['id']:28} {m['kind']:13} {status:16} {time.time() - start:6.0f} s{note}", flush=True)

    built = [r for r in results if r[1] != "not built" and not r[1].startswith("error") and "equivalent" not in r[0]]
    equivalent = [r for r in results if "equivalent" in r[0]]
    quick = sum(1 for r in built if r[1] == "caught")
    deep = quick + sum(1 for r in built if r[1].startswith("caught at"))
    print(f"mutants: {len(results)} seeded, {len(built)} scored (built, not marked equivalent), "
          f"{quick} caught by the quick pass "
          f"({args_pct(quick, len(built))}), {deep} caught at {a.deep_cases} cases "
          f"({args_pct(deep, len(built))}), {len(built) - deep} survived; "
          f"{len(equivalent)} marked equivalent, not scored")
    for m, status, _ in equivalent:
        print(f"  equivalent {m['id']} ({status}): {m['equivalent']}")
    # Restore the build to the unmutated core for the next run.
    run(target, log=log)
    return 0 if quick == len(built) else 1


def args_pct(n, d):
    return f"{100.0 * n / d:.0f}%" if d else "-"


if __name__ == "__main__":
    sys.exit(main())
