#!/usr/bin/env python3
"""Whole programs timed as a person would start them, side by side.

quillbox (the host program, one script per task) against the tools a person
would use for the same result, on devices that make_notes_device fills:
  launch    the first screen (the folder list) on 10,000 and 100,000 notes in
            100 folders, against sqlite3 selecting that screen's rows;
  folders   the same launch with 10,000 and 100,000 notes in one folder,
            with the program's peak memory;
  search    launching and searching 100,000 notes to the first screen of
            results, against sqlite3 running LIKE to the same rows;
  backup    launching and backing up 20,000 notes, against zip -qr of the
            archive's layout (unpacked beforehand).
Prints medians in milliseconds and the ratio per task.

usage: bench/whole_program.py [--build DIR] [--runs N] [--only TASK...]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

FOLDER_LIST_QUERY = ("SELECT COUNT(*) FROM Note; SELECT f.title, (SELECT COUNT(*) FROM Note n WHERE n.folder = f._pk) "
                     "FROM Folder f ORDER BY f.displayOrder LIMIT 16")
SEARCH_QUERY = "SELECT title FROM Note WHERE string LIKE '%lighthouse%' ORDER BY timeStamp DESC LIMIT 16"


def run(argv, cwd=None):
    """Runs argv to completion: (seconds, peak resident MiB)."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: " + " ".join(argv))
    return seconds, usage.ru_maxrss / 1024.0


def median(argv, runs, cwd=None, before=None):
    times, peaks = [], []
    for _ in range(runs):
        if before:
            before()
        seconds, peak = run(argv, cwd)
        times.append(seconds)
        peaks.append(peak)
    return statistics.median(times), max(peaks)


class Bench:
    def __init__(self, build, runs):
        self.quillbox = os.path.join(build, "Apps/quillbox/quillbox")
        self.maker = os.path.join(build, "bench/make_notes_device")
        self.runs = runs
        self.scratch = tempfile.mkdtemp(prefix="wholeprogram.")
        self.scripts = {}
        for name, text in {
            "screen": "screen\n",
            "search": "tap Search\ntype Lighthouse\nscreen\n",
            "backup": "tap Settings\ntap Last Backup\ntap Backup now\nwait 600\n",
        }.items():
            path = os.path.join(self.scratch, name + ".qbs")
            with open(path, "w") as f:
                f.write(text)
            self.scripts[name] = path

    def device(self, name, folders, per_folder, kind):
        directory = os.path.join(self.scratch, name)
        run([self.quillbox, "--device", directory, "--script", self.scripts["screen"]])
        run([self.maker, directory, str(folders), str(per_folder), kind])
        return directory

    def store(self, device):
        return os.path.join(device, "App/Documents/Notes.sqlite")

    def host(self, device, script):
        return [self.quillbox, "--device", device, "--script", self.scripts[script]]

    def line(self, task, ours, reference, name, extra=""):
        print(f"{task:<16} {ours * 1e3:10.1f} {reference * 1e3:12.1f} {ours / reference:7.2f}  ({name}){extra}", flush=True)

    def launch(self):
        for label, notes in (("10k", 10000), ("100k", 100000)):
            device = self.device("spread" + label, 100, notes // 100, "short")
            ours, _ = median(self.host(device, "screen"), self.runs)
            ref, _ = median(["sqlite3", self.store(device), FOLDER_LIST_QUERY], self.runs)
            self.line("launch " + label, ours, ref, "sqlite3")

    def folders(self):
        for label, notes in (("10k", 10000), ("100k", 100000)):
            device = self.device("onefolder" + label, 1, notes, "short")
            ours, peak = median(self.host(device, "screen"), self.runs)
            ref, _ = median(["sqlite3", self.store(device), FOLDER_LIST_QUERY], self.runs)
            self.line("one folder " + label, ours, ref, "sqlite3", f", peak {peak:.0f} MiB")

    def search(self):
        device = self.device("search100k", 1, 100000, "search")
        ours, _ = median(self.host(device, "search"), self.runs)
        ref, _ = median(["sqlite3", self.store(device), SEARCH_QUERY], self.runs)
        self.line("search 100k", ours, ref, "sqlite3 LIKE")

    def backup(self):
        device = self.device("backup20k", 10, 2000, "rich")
        backups = os.path.join(device, "App/Documents/backups.Notes")

        def clear():
            shutil.rmtree(backups, ignore_errors=True)

        run(self.host(device, "backup"))
        archives = [os.path.join(r, f) for r, _, fs in os.walk(device) for f in fs if f.endswith(".quillbox")]
        if not archives:
            sys.exit("the host program made no backup")
        tree = os.path.join(self.scratch, "tree")
        subprocess.run(["unzip", "-q", "-o", archives[0], "-d", tree], check=True)
        out = os.path.join(self.scratch, "tool.zip")
        ours, peak = median(self.host(device, "backup"), self.runs, before=clear)
        ref, _ = median(["zip", "-qr", out, "."], self.runs, cwd=tree,
                        before=lambda: os.path.exists(out) and os.remove(out))
        self.line("backup 20k", ours, ref, "zip -qr", f", peak {peak:.0f} MiB")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", nargs="*", default=["launch", "folders", "search", "backup"])
    args = parser.parse_args()
    bench = Bench(os.path.abspath(args.build), args.runs)
    print(f"{'task':<16} {'ours (ms)':>10} {'tool (ms)':>12} {'ratio':>7}")
    try:
        for task in args.only:
            getattr(bench, task)()
    finally:
        shutil.rmtree(bench.scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
