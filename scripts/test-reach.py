#!/usr/bin/env python3
"""What each test alone reaches: every CTest case is run by itself under clang source coverage,
and the lines of core/, cgr/, dispc/, backends/, tools/ and examples/ it covers are noted (the
tools and programs a test starts count for it). A test that reaches no line alone is a
candidate when the suite is made leaner (read it first: it may still hold exact values no other
test checks, and a `throw` counts as reached when the `if` on its line runs).

Not part of CI; run by hand (about 15 minutes on two cores, most of it the build):
    scripts/test-reach.py OUT            # configures and builds ./build-reach with clang
    scripts/test-reach.py OUT --no-run   # only recompute OUT from the profiles already there

OUT/reach.tsv           a row a test: its name, the lines it covers, the lines only it covers
OUT/alone/<test>.txt    those lines (file:line); '/' in a test's name becomes '_'
OUT/covered.txt         every line the suite covers: diff two runs to see what a change left
                        unreached
"""
import argparse
import collections
import concurrent.futures as cf
import json
import os
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DIRS = ("core/", "cgr/", "dispc/", "backends/", "tools/", "examples/")
# Programs the tool and view tests start: their profiles count for the test.
SPAWNED = ("dispc-render", "dispc-sketch", "dispc-demo", "dispc-view", "quickstart")


def sh(*cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def build(build_dir: Path):
    flags = "-fprofile-instr-generate -fcoverage-mapping"
    configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Debug",
                 "-DCMAKE_C_COMPILER=clang", "-DCMAKE_CXX_COMPILER=clang++",
                 "-DBUILD_SHARED_LIBS=OFF", "-DDISPC_BUILD_BENCH=OFF",
                 f"-DCMAKE_CXX_FLAGS={flags}", "-DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate"]
    for cmd in (configure, ["cmake", "--build", str(build_dir), "-j2"]):
        r = sh(*cmd)
        if r.returncode:
            sys.exit(f"{' '.join(cmd[:3])} failed:\n{(r.stdout + r.stderr)[-4000:]}")


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("out")
    p.add_argument("--build-dir", default=str(ROOT / "build-reach"))
    p.add_argument("--no-run", action="store_true", help="reuse the profiles in OUT/profiles")
    args = p.parse_args()
    build_dir, out = Path(args.build_dir).resolve(), Path(args.out).resolve()
    profiles = out / "profiles"
    profiles.mkdir(parents=True, exist_ok=True)
    if not args.no_run:
        build(build_dir)
    tests = json.loads(sh("ctest", "--test-dir", str(build_dir), "--show-only=json-v1").stdout)
    tests = [(t["name"], t.get("command", [])) for t in tests["tests"]]

    def run(i):
        env = dict(os.environ, LLVM_PROFILE_FILE=str(profiles / f"{i}-%p.profraw"))
        name = tests[i][0]
        r = sh("ctest", "--test-dir", str(build_dir), "-R", f"^{re.escape(name)}$",
               "--timeout", "900", env=env)
        if r.returncode:
            print("failed:", name, flush=True)

    if not args.no_run:
        for old in profiles.glob("*"):
            old.unlink()
        with cf.ThreadPoolExecutor(2) as pool:
            list(pool.map(run, range(len(tests))))

    programs = {f.name: str(f) for f in build_dir.rglob("*")
                if f.is_file() and os.access(f, os.X_OK) and "CMakeFiles" not in f.parts
                and f.open("rb").read(4) == b"\x7fELF"}

    def lines_of(i):
        raws = sorted(profiles.glob(f"{i}-*.profraw"))
        if not raws:  # a CMake script test
            return set()
        merged = profiles / f"{i}.profdata"
        sh("llvm-profdata", "merge", "-sparse", *map(str, raws), "-o", str(merged))
        own = [b for b in programs.values() if b in tests[i][1]] or [programs["dispc_tests"]]
        if any(Path(b).name in ("dispc_tool_tests", "dispc_view_tests") for b in own):
            own += [programs[n] for n in SPAWNED if n in programs]
        lcov = sh("llvm-cov", "export", "-format=lcov", "-skip-functions",
                  f"-instr-profile={merged}", own[0], *[x for b in own[1:] for x in ("-object", b)])
        covered, source = set(), None
        for line in lcov.stdout.splitlines():
            if line.startswith("SF:"):
                source = os.path.relpath(line[3:], ROOT)
                source = source if source.startswith(DIRS) else None
            elif source and line.startswith("DA:") and int(line[3:].split(",")[1]) > 0:
                covered.add(f"{source}:{line[3:].split(',')[0]}")
        return covered

    with cf.ThreadPoolExecutor(2) as pool:
        reach = list(pool.map(lines_of, range(len(tests))))
    count = collections.Counter(line for lines in reach for line in lines)
    (out / "alone").mkdir(exist_ok=True)
    with open(out / "reach.tsv", "w") as table:
        table.write("test\tcovered\talone\n")
        for (name, _), lines in zip(tests, reach):
            alone = sorted(line for line in lines if count[line] == 1)
            table.write(f"{name}\t{len(lines)}\t{len(alone)}\n")
            (out / "alone" / f"{name.replace('/', '_')}.txt").write_text(
                "".join(line + "\n" for line in alone))
    (out / "covered.txt").write_text("".join(line + "\n" for line in sorted(count)))
    nothing = sum(1 for lines in reach if lines and not any(count[x] == 1 for x in lines))
    print(f"{len(count)} lines covered, {sum(c == 1 for c in count.values())} by one test only; "
          f"{nothing} of {len(tests)} tests reach no line alone")


if __name__ == "__main__":
    main()
