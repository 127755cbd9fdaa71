#!/usr/bin/env python3
"""Puts one-line faults into the program one at a time and sees whether the test suite fails.

    tools/mutants.py [--build DIR] [--list FILE] [--results FILE] [--only ID,...] [--check]

The list (tools/mutants.txt) holds one block per fault, blocks apart by a blank line:

    form/kana_cells.cpp:52  a katakana cell off the grid moved a pixel
    - {118, 4350, 5385}
    + {118, 4365, 5385}

The text after "-" must occur exactly once on that line (or, if the code moved, once in the
file); it is replaced by the text after "+". Each fault is built and tested in the build tree
`make test` configures, and the file is always put back as it was, even if this is interrupted.
The tests run in STAGES, cheapest first: each stage builds only its programs and runs the tests
that run them; the last builds everything and runs all the rest `make test` runs. Each stage uses
ctest -j2 --stop-on-failure with the suite's own timeouts, and the first stage that fails ends it.
The static_checks test is replaced by the same checks of the files the fault touches. A fault that
does not compile is no plausible fault: it is listed but left out of the score. --check only
applies each fault and asks clang-format whether it is still formatted (a fault that is not would
be caught by the style check alone), building and testing nothing. Results go to --results, one
JSON line each, so a run that stopped resumes where it was.
"""
import argparse
import json
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
STAGES = [["tessel_unit_tests", "tessel_widget_tests", "tessel_sound_tests"],
          ["tessel_sound_server_tests"]]
JOURNAL = ROOT / ".mutant-in-place"  # the file under change and its original bytes


def read_list(path):
    mutants = []
    for n, block in enumerate(re.split(r"\n\s*\n", path.read_text())):
        lines = [l for l in block.splitlines() if l.strip() and not l.startswith("#")]
        if not lines:
            continue
        where, _, why = lines[0].partition(" ")
        file, line = where.rsplit(":", 1)
        minus = [l[2:] for l in lines if l.startswith("- ")]
        plus = [l[2:] for l in lines if l.startswith("+ ")]
        if len(minus) != 1 or len(plus) != 1:
            sys.exit(f"{path}: block {n + 1} needs one '- ' and one '+ ' line")
        mutants.append({"id": f"{file}:{line}", "file": file, "line": int(line),
                        "why": why.strip(), "old": minus[0], "new": plus[0]})
    ids = [m["id"] for m in mutants]
    dupes = {i for i in ids if ids.count(i) > 1}
    for m in mutants:  # two faults on one line get a suffix
        if m["id"] in dupes:
            m["id"] += "/" + str(sum(1 for x in mutants[:mutants.index(m)] if x["id"] == m["id"]))
    return mutants


def mutated_text(m):
    path = ROOT / m["file"]
    text = path.read_text()
    lines = text.splitlines(keepends=True)
    at = m["line"] - 1
    if not (0 <= at < len(lines) and lines[at].count(m["old"]) == 1):
        hits = [i for i, l in enumerate(lines) if m["old"] in l]
        if len(hits) != 1 or lines[hits[0]].count(m["old"]) != 1:
            raise LookupError(f"{m['id']}: '{m['old']}' is not on that line, nor once in the file")
        at = hits[0]
    lines[at] = lines[at].replace(m["old"], m["new"])
    return text, "".join(lines)


def restore():
    if JOURNAL.exists():
        saved = json.loads(JOURNAL.read_text())
        (ROOT / saved["file"]).write_text(saved["text"])
        JOURNAL.unlink()


def run(cmd, log):
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(cmd)}\n")
        out.flush()
        return subprocess.run(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT).returncode


def build(targets, log):
    """None if it built; else the verdict: a compiler error is no plausible fault, but a build step
    that fails (drawing the artwork, listing a test program's tests) fails `make test` too."""
    start = Path(log).stat().st_size if Path(log).exists() else 0
    if run(["cmake", "--build", *targets], log) == 0:
        return None
    text = Path(log).read_text()[start:]
    if re.search(r"\.(cpp|h):\d+:\d+: error:", text):
        return {"verdict": "no-build"}
    step = re.findall(r"^.*(?:Error|error).*$", text, re.M)
    return {"verdict": "caught", "by": [f"the build ({(step or ['failed'])[0].strip()[:70]})"]}


def ctest(build, selector, log):
    """The tests that failed (name and how), running those `selector` picks."""
    start = Path(log).stat().st_size if Path(log).exists() else 0
    code = run(["ctest", "--test-dir", build, "-j2", "--stop-on-failure", *selector], log)
    text = Path(log).read_text()[start:].split("The following tests FAILED:")
    failed = re.findall(r"^\s*\d+ - (.*) \(([^()]*)\)\s*$", text[-1], re.M) if len(text) > 1 else []
    return failed or ([("ctest", f"exit {code}")] if code else [])


def exact(name):
    return "^" + re.escape(name) + "$"


def confirmed(build, include, exclude, log):
    """Runs the tests `include` picks (all if None) but those `exclude` names. A test that fails
    but passes when run again is only unsteady (the sound servers' timings on a busy machine): it
    is left out and the rest run again. Returns the failures seen twice, and the unsteady tests."""
    unsteady = []
    for _ in range(4):
        left_out = exclude + unsteady
        failed = ctest(build, [*(["-R", include] if include else []),
                               *(["-E", "|".join(left_out)] if left_out else [])], log)
        if not failed:
            break
        again = {n for n, _ in ctest(build, ["-R", "|".join(exact(n) for n, _ in failed)], log)}
        if twice := [(n, how) for n, how in failed if n in again]:
            return twice, unsteady
        unsteady += [exact(n) for n, _ in failed]
    return [], unsteady


def includers(file):
    """The program's .cpp files that include `file`, directly or through its other headers."""
    found, todo = set(), [file]
    while todo:
        header = todo.pop()
        for path in ROOT.glob("*/*.[ch]*"):
            rel = str(path.relative_to(ROOT))
            if rel not in found and f'#include "{header}"' in path.read_text(errors="ignore"):
                found.add(rel)
                todo.append(rel)
    return found


def static_checks(build, file, log):
    """What the suite's static_checks test reports for a fault in `file`: clang-format and
    clang-tidy run over the files the fault touches rather than all (the rest is unchanged, and
    was clean), as all takes ten minutes."""
    program = re.compile(r"^(form|chart|credits|sound|window)/.*\.cpp$")
    tidy = sorted(f for f in includers(file) | {file} if program.match(f))
    if run(["clang-format", "--dry-run", "--Werror", file], log):
        return [("static_checks", "clang-format")]
    if tidy and run(["clang-tidy", "-p", build, "--quiet", *tidy], log):
        return [("static_checks", "clang-tidy")]
    return []


def stage_tests(build):
    """For each of STAGES, a ctest pattern naming the tests that run one of its programs."""
    out = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"], cwd=ROOT,
                         capture_output=True, text=True, check=True).stdout
    tests = json.loads(out)["tests"]
    patterns = []
    for targets in STAGES:  # then static_checks, run in static_checks() instead
        names = [t["name"] for t in tests
                 if any(Path(arg).name in targets for arg in t.get("command", []))]
        patterns.append("^(" + "|".join(re.escape(n) for n in names) + ")$")
    return patterns + ["^static_checks$"]


def try_mutant(m, build_dir, stages, ignored, log):
    original, mutated = mutated_text(m)
    JOURNAL.write_text(json.dumps({"file": m["file"], "text": original}))
    began = time.monotonic()
    try:
        (ROOT / m["file"]).write_text(mutated)
        failed, unsteady = [], []
        for n, targets in enumerate(STAGES + [[]]):  # the last: everything else
            # The last stage: everything else but static_checks.
            selected = (stages[n], ignored) if targets else (None, stages + ignored)
            if broken := build([build_dir, "-j2", *(["--target", *targets] if targets else [])], log):
                return broken
            failed, flaky = confirmed(build_dir, *selected, log)
            unsteady += flaky
            if failed:
                break
        else:
            failed = static_checks(build_dir, m["file"], log)
        return {"verdict": "caught" if failed else "survived",
                "by": [f"{n} ({how})" for n, how in failed], "unsteady": unsteady}
    finally:
        restore()
        m["seconds"] = round(time.monotonic() - began)


def check_format(m):
    original, mutated = mutated_text(m)
    style = subprocess.run(["clang-format", f"--assume-filename={m['file']}"], cwd=ROOT,
                           input=mutated, capture_output=True, text=True).stdout
    return style == mutated


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--build", default="build")
    p.add_argument("--list", default=str(ROOT / "tools/mutants.txt"))
    p.add_argument("--results", default="mutants.jsonl")
    p.add_argument("--only", help="comma-separated ids (file:line) to run, in that order")
    p.add_argument("--check", action="store_true")
    p.add_argument("--ignore", action="append", default=[], metavar="TEST",
                   help="a test that fails without any fault here, so tells nothing (repeatable)")
    args = p.parse_args()
    restore()  # from a run that was killed
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # so `finally` restores
    mutants = read_list(Path(args.list))
    if args.only:
        order = args.only.split(",")  # and in this order
        mutants = sorted((m for m in mutants if m["id"] in order), key=lambda m: order.index(m["id"]))
    if args.check:
        bad = [m["id"] for m in mutants if not check_format(m)]
        print(f"{len(mutants)} faults apply; not formatted: {', '.join(bad) or 'none'}")
        return 1 if bad else 0
    results = Path(args.results)
    done = {}
    if results.exists():
        done = {r["id"]: r for r in map(json.loads, results.read_text().splitlines())}
    stages = stage_tests(args.build)
    log = str(results.with_suffix(".log"))
    # Without a fault the cheap tests must pass, or every fault would look caught.
    if build([args.build, "-j2", "--target", *STAGES[0]], log) or ctest(args.build, ["-R", stages[0]], log):
        sys.exit(f"the cheap tests fail without any fault: see {log}")
    for m in mutants:
        if m["id"] in done:
            continue
        r = try_mutant(m, args.build, stages, [exact(n) for n in args.ignore], log)
        r = {"id": m["id"], "why": m["why"], "seconds": m["seconds"], **r}
        done[m["id"]] = r
        with results.open("a") as out:
            out.write(json.dumps(r, ensure_ascii=False) + "\n")
        print(f"{r['verdict']:9} {r['seconds']:5}s  {m['id']:32} {', '.join(r.get('by', []))[:60]}",
              flush=True)
    rows = [done[m["id"]] for m in mutants if m["id"] in done]
    scored = [r for r in rows if r["verdict"] != "no-build"]
    caught = sum(r["verdict"] == "caught" for r in scored)
    print(f"\n{'verdict':9} {'fault':32} first failing test / what the fault is")
    for r in rows:
        print(f"{r['verdict']:9} {r['id']:32} {(r.get('by') or [r['why']])[0]}")
    print(f"\ncaught {caught} of {len(scored)} ({100 * caught / max(1, len(scored)):.0f} %); "
          f"{len(rows) - len(scored)} did not compile and are left out")
    return 0


if __name__ == "__main__":
    sys.exit(main())
