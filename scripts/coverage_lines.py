#!/usr/bin/python3
"""Reads gcov's counts from a --coverage build whose tests have run and keeps, per source file of the
programs, the lines that can run and the lines that ran.

usage: coverage_lines.py SOURCE_DIR BUILD_DIR OUT.json [OLD.json]
       coverage_lines.py --add-text SOURCE_DIR OLD.json
With OLD.json, also lists the lines that ran then and did not run now (the exit status is 1 if any).
When both runs carry the text of their lines (every run now does; --add-text adds it to an older
run's file from the sources it ran on), lines are matched by their text rather than their place, so
that code moved to another file or line still counts as the same code; a line whose text is no
longer in the sources at all was removed by the change and is only counted."""
import collections
import json
import os
import subprocess
import sys

PROGRAM_FOLDERS = ("engine/", "output/", "files/", "picture/", "window/", "spreadsheet_uno/", "app/")


def gather(source, build):
    ran, runnable = collections.defaultdict(set), collections.defaultdict(set)
    for root, _, names in os.walk(build):
        for name in (n for n in names if n.endswith(".gcda")):
            gcda = os.path.join(root, name)
            out = subprocess.run(["gcov", "--json-format", "--stdout", "--object-directory", root, gcda],
                                 capture_output=True, text=True, cwd=build, check=False).stdout
            for chunk in (c for c in out.splitlines() if c.lstrip().startswith("{")):
                report = json.loads(chunk)
                cwd = report.get("current_working_directory", build)
                for f in report.get("files", []):
                    rel = os.path.relpath(os.path.normpath(os.path.join(cwd, f["file"])), source)
                    if not rel.startswith(PROGRAM_FOLDERS):
                        continue
                    for line in f["lines"]:
                        runnable[rel].add(line["line_number"])
                        if line["count"] > 0:
                            ran[rel].add(line["line_number"])
    return ran, runnable


def line_texts(source, lines_by_path):
    """The text of each listed line, stripped; files that cannot be read give none."""
    texts = {}
    for path, lines in lines_by_path.items():
        try:
            with open(os.path.join(source, path), encoding="utf-8", errors="replace") as f:
                content = f.read().splitlines()
        except OSError:
            continue
        texts[path] = [content[n - 1].strip() for n in lines if 0 < n <= len(content)]
    return texts


def source_texts(source):
    texts = set()
    for folder in PROGRAM_FOLDERS:
        for root, _, names in os.walk(os.path.join(source, folder)):
            for name in names:
                with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                    texts.update(line.strip() for line in f)
    return texts


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--add-text":
        with open(sys.argv[3], encoding="utf-8") as f:
            old = json.load(f)
        old["ran_text"] = line_texts(os.path.abspath(sys.argv[2]), old["ran"])
        with open(sys.argv[3], "w", encoding="utf-8") as f:
            json.dump(old, f)
        return 0
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    source, build, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    ran, runnable = gather(source, build)
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"ran": {k: sorted(v) for k, v in ran.items()},
                   "runnable": {k: sorted(v) for k, v in runnable.items()},
                   "ran_text": line_texts(source, ran)}, f)
    per_folder = collections.Counter(), collections.Counter()
    for path, lines in runnable.items():
        per_folder[0][path.split("/")[0]] += len(ran[path])
        per_folder[1][path.split("/")[0]] += len(lines)
    for folder in sorted(per_folder[1]):
        print(f"{folder:16} {per_folder[0][folder]:6} of {per_folder[1][folder]:6} lines ran")
    total_ran, total = sum(per_folder[0].values()), sum(per_folder[1].values())
    print(f"{'all':16} {total_ran:6} of {total:6} lines ran ({100.0 * total_ran / max(total, 1):.1f} %)")
    if len(sys.argv) == 5:
        with open(sys.argv[4], encoding="utf-8") as f:
            old_run = json.load(f)
        if "ran_text" in old_run:
            now_ran = {t for texts in line_texts(source, ran).values() for t in texts}
            in_sources = source_texts(source)
            lost, removed = {}, 0
            for path, texts in old_run["ran_text"].items():
                for t in texts:
                    if t in now_ran:
                        continue
                    if t in in_sources:
                        lost.setdefault(path, []).append(t)
                    else:
                        removed += 1
            for path, texts in sorted(lost.items()):
                for t in texts:
                    print(f"no longer run: {path}: {t}")
            print(f"{sum(map(len, lost.values()))} lines ran before and not now; "
                  f"{removed} lines that ran before are no longer in the sources")
            return 1 if lost else 0
        old = old_run["ran"]
        lost = {p: sorted(set(lines) - ran.get(p, set())) for p, lines in old.items()}
        lost = {p: lines for p, lines in lost.items() if lines}
        for path, lines in sorted(lost.items()):
            print(f"no longer run: {path}: {', '.join(map(str, lines))}")
        print(f"{sum(map(len, lost.values()))} lines ran before and not now")
        return 1 if lost else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
