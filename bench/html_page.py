#!/usr/bin/env python3
"""The HTML page at scale: a batch of 1,000 generated alignments (8 x 300) and one
alignment of 200 sequences x 300 codons. For each: what --html adds to radcon's
run, the page's size, and the time headless Chromium takes to draw it (the
page's own count from its first script line to every chart drawn, and the
browser's whole run against that of an empty page). Printed and saved as TSV
under results/.

usage: html.py --binary PATH [--work DIR] [--repeats N]
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from batch import make_genes, write_list
from timing import HERE, timed

ANSWERS = ["-q", "-c", "1", "-t", "1.5", "-k", "1", "-g", "charge", "--reports", "none"]
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--enable-logging=stderr", "--v=0", "--host-resolver-rules=MAP * ~NOTFOUND", "--window-size=1280,1600"]


def browse(page):
    """Chromium's wall seconds for the page, the page's own drawing milliseconds, and its console lines."""
    with tempfile.TemporaryDirectory() as profile:
        start = time.monotonic()
        r = subprocess.run(CHROMIUM + [f"--user-data-dir={profile}", "--dump-dom", "file://" + os.path.abspath(page)],
                           capture_output=True, text=True, timeout=300)
        wall = time.monotonic() - start
    ready = re.search(r'data-render-ms="(\d+)" data-status="ready"', r.stdout)
    console = [line for line in r.stderr.splitlines() if "CONSOLE" in line]
    if not ready:
        sys.exit(f"the page {page} did not draw:\n" + "\n".join(console[-10:]))
    return wall, int(ready.group(1)), console


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--work", default=os.path.join(HERE, "work", "batch"))
    ap.add_argument("--repeats", type=int, default=3)
    args = ap.parse_args()
    radcon = os.path.abspath(args.binary)
    all_list = write_list(args.work, "all.list", make_genes(args.work, 1000))
    wide = os.path.join(args.work, "wide200x300.seq")
    if not os.path.exists(wide):
        with open(wide, "w") as out:
            subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--seed", "1", "200", "300"],
                           stdout=out, check=True)
    empty = os.path.join(args.work, "empty.html")
    with open(empty, "w") as f:
        f.write("<!DOCTYPE html><html><body data-render-ms=\"0\" data-status=\"ready\"></body></html>\n")
    base = statistics.median(browse(empty)[0] for _ in range(args.repeats))

    table = os.path.join(args.work, "html-table.tsv")
    cases = [("1,000 genes of 8 x 300", ["--inputs", all_list]),
             ("one alignment of 200 x 300", [wide])]
    lines = ["\t".join(["input", "radcon_s", "radcon_html_s", "page_MB", "draw_ms", "chromium_s",
                        "chromium_empty_s", "console_lines"])]
    for name, inputs in cases:
        page = os.path.join(args.work, "page.html")
        plain = timed([radcon, *ANSWERS, "--table", table, *inputs])[0]
        with_page = timed([radcon, *ANSWERS, "--table", table, "--html", page, *inputs])[0]
        runs = [browse(page) for _ in range(args.repeats)]
        lines.append("\t".join([name, f"{plain:.2f}", f"{with_page:.2f}", f"{os.path.getsize(page) / 1e6:.2f}",
                                str(statistics.median(r[1] for r in runs)),
                                f"{statistics.median(r[0] for r in runs):.2f}", f"{base:.2f}",
                                str(max(len(r[2]) for r in runs))]))
    print("\n".join(lines))
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    name = os.path.join(HERE, "results", "html-" + time.strftime("%Y-%m-%d-%H%M%S") + ".tsv")
    with open(name, "w") as out:
        out.write(f"# {os.uname().nodename} {os.uname().machine} {os.cpu_count()} cores\n" + "\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
