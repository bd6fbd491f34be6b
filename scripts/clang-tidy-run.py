#!/usr/bin/env python3
"""Runs clang-tidy over the files of a compile database, remembering clean results.

    clang-tidy-run.py BUILD_DIR JOBS PATTERN

PATTERN is a regular expression the absolute file names must match. A file
clang-tidy found nothing in is remembered under a key made of everything its
findings can depend on: the translation unit as the preprocessor sees it
(every header it includes, our own and Qt's), its compile command, every
.clang-tidy of the tree and clang-tidy's version. A later run skips a file
whose key it has seen, so an unchanged tree is checked again in the time it
takes to preprocess it. A file with findings is never remembered: it is
checked, and its findings shown, every time.

The cache is $VELLAMOR_TIDY_CACHE, else ~/.cache/vellamor/clang-tidy (under
$XDG_CACHE_HOME when set); VELLAMOR_TIDY_CACHE=off checks every file.
Prints the findings, one summary line, and exits 1 on any finding.
"""

import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
import time

TIDY = "clang-tidy-14"
# clang-tidy's own counts of what it left out; not findings.
NOISE = re.compile(
    r"^[0-9]+ warnings? (and [0-9]+ errors? )?(generated|treated as errors?)|^Suppressed [0-9]+ warnings"
    r"|^Use -header-filter=|^Error while processing "
)


def cache_dir():
    chosen = os.environ.get("VELLAMOR_TIDY_CACHE")
    if chosen == "off":
        return None
    if chosen:
        return chosen
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "vellamor", "clang-tidy")


def configuration(root):
    """clang-tidy's version and every .clang-tidy of the tree, in one string."""
    version = subprocess.run([TIDY, "--version"], capture_output=True, text=True, check=True).stdout
    parts = [version]
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if not d.startswith(".") and not d.startswith("build"))
        if ".clang-tidy" in files:
            path = os.path.join(folder, ".clang-tidy")
            with open(path, "rb") as f:
                parts.append(os.path.relpath(path, root) + "\n" + f.read().decode("utf-8", "replace"))
    return "\0".join(parts)


def arguments(entry):
    if "arguments" in entry:
        return list(entry["arguments"])
    return shlex.split(entry["command"])


def preprocessed(entry):
    """The unit as the compiler's preprocessor gives it, or None when it cannot."""
    args = arguments(entry)
    out = []
    skip = False
    for arg in args:
        if skip:
            skip = False
            continue
        if arg == "-o":
            skip = True
            continue
        if arg in ("-c", "-MD", "-MMD") or arg.startswith("-o"):
            continue
        if arg in ("-MF", "-MT", "-MQ"):
            skip = True
            continue
        out.append(arg)
    result = subprocess.run(out + ["-E"], cwd=entry["directory"], capture_output=True)
    return result.stdout if result.returncode == 0 else None


def check(build_dir, entry, config, cache, root):
    """(file, findings text, whether it was taken from the cache)."""
    path = entry["file"]
    key = None
    if cache:
        unit = preprocessed(entry)
        if unit is not None:
            # The same tree checked out elsewhere (each CI run clones anew) is
            # the same unit: the checkout's own path is left out of the key.
            command = entry.get("command", " ".join(arguments(entry))).replace(root, "@ROOT@")
            unit = unit.replace(root.encode(), b"@ROOT@")
            digest = hashlib.sha256()
            for part in (config.encode(), command.encode(), unit):
                digest.update(hashlib.sha256(part).digest())
            key = digest.hexdigest()
            if os.path.exists(os.path.join(cache, key[:2], key)):
                return path, "", True
    result = subprocess.run([TIDY, "-p", build_dir, "--quiet", path], capture_output=True, text=True)
    text = "\n".join(
        line for line in (result.stdout + result.stderr).splitlines() if line.strip() and not NOISE.search(line)
    )
    clean = result.returncode == 0 and not re.search(r": (warning|error): ", text)
    if clean and key:
        # Written aside and moved in: a run stopped half-way leaves no entry
        # that says "clean" for a file it never finished.
        folder = os.path.join(cache, key[:2])
        os.makedirs(folder, exist_ok=True)
        aside = os.path.join(folder, f".{key}.{os.getpid()}")
        with open(aside, "w") as f:
            f.write(path + "\n")
        os.replace(aside, os.path.join(folder, key))
    return path, "" if clean else (text or f"{TIDY} failed on {path} ({result.returncode})"), False


def main():
    build_dir, jobs, pattern = sys.argv[1], int(sys.argv[2]), re.compile(sys.argv[3])
    root = os.getcwd()
    with open(os.path.join(build_dir, "compile_commands.json")) as f:
        entries = [e for e in json.load(f) if pattern.search(os.path.join(e["directory"], e["file"]))]
    cache = cache_dir()
    config = configuration(root) if cache else ""
    started = time.monotonic()
    failed = 0
    cached = 0
    seen = set()
    # Findings are shown as each file is done, not in the database's order.
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, jobs)) as pool:
        futures = [pool.submit(check, build_dir, e, config, cache, root) for e in entries]
        for done in concurrent.futures.as_completed(futures):
            path, findings, from_cache = done.result()
            cached += from_cache
            if findings:
                failed += 1
                # A header's finding comes once per unit that includes it:
                # each is shown once, with the lines that follow it.
                for block in re.split(r"\n(?=\S+:[0-9]+:[0-9]+: (?:warning|error): )", findings):
                    if block not in seen:
                        seen.add(block)
                        print(block, flush=True)
    print(
        f"clang-tidy: {len(entries)} files, {cached} unchanged since a clean check, "
        f"{failed} with findings, {time.monotonic() - started:.0f} s",
        file=sys.stderr,
    )
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
