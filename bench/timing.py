"""What the benchmark scripts share: timing a command with /usr/bin/time, and
printing and saving a table of runs under results/."""
import datetime
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def timed(command, cwd=None, shell=False):
    """Wall, user and system seconds and peak KB of a command."""
    r = subprocess.run(["/usr/bin/time", "-f", "TIME %e %U %S %M"] + (["sh", "-c", command] if shell else command),
                       cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if r.returncode != 0:
        sys.exit(f"failed: {command}\n{r.stderr[-2000:]}")
    wall, user, system, kb = re.search(r"TIME (\S+) (\S+) (\S+) (\d+)", r.stderr).groups()
    return float(wall), float(user), float(system), int(kb)


def save(prefix, first_columns, rows):
    """Prints rows of (labels..., wall, user, sys, peak KB) and saves them as TSV."""
    header = list(first_columns) + ["wall_s", "user_s", "sys_s", "peak_MB"]
    lines = ["\t".join(header)]
    for row in rows:
        *labels, wall, user, system, kb = row
        lines.append("\t".join([str(x) for x in labels] + [f"{wall:.2f}", f"{user:.2f}", f"{system:.2f}", f"{kb / 1024:.0f}"]))
    print("\n".join(lines))
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    name = os.path.join(HERE, "results", prefix + "-" + datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S") + ".tsv")
    with open(name, "w") as out:
        out.write(f"# {os.uname().nodename} {os.uname().machine} {os.cpu_count()} cores\n" + "\n".join(lines) + "\n")
