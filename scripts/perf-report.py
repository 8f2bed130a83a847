#!/usr/bin/env python3
"""Rewrites the tables in docs/PERFORMANCE.md from what scripts/perf.sh measured into build/perf/
and the two programs: only the text between "<!-- figures: NAME -->" and "<!-- end -->" changes."""
import json, os, platform, re, statistics, struct, subprocess, sys
from datetime import datetime, timezone
from pathlib import Path

NUMBER_PAIRS = [  # (our benchmark, the standard library's, what is compared)
    (f"BM_{ours}/{length}", f"BM_{theirs}/{length}", f"`{ours}` vs `std::{std}`, {digits}")
    for ours, theirs, std in [("Int64ToText", "ToChars", "to_chars"),
                              ("TextToInteger", "FromChars", "from_chars")]
    for length, digits in [("short", "1 to 9 digits"), ("long", "11 to 18 digits")]]
STARTUP_STEPS = [  # (what the step adds, the build with it, the build before it)
    ("The manifest: version 6 controls, visual styles", "minimal_manifest", "minimal"),
    ("The platform start: common-control classes and COM", "minimal_setup", "minimal_manifest"),
    ("The dialog shown before its controls are in", "minimal_visible", "minimal_setup"),
    ("The rest of the program's own start-up", "program", "minimal_visible"),
    ("All of it: the program against the minimal program", "program", "minimal")]
GOAL_NUMBERS, GOAL_EVENTS, GOAL_STARTUP, GOAL_SIZE = 1.5, 1.3, 1.1, 4.0


def table(head, *rows):
    return "\n".join(f"| {' | '.join(cells)} |" for cells in [head, ["---"] * len(head), *rows])

def quartiles(values):
    return statistics.quantiles(values, n=4, method="inclusive") if values[1:] else values * 3

def quiet(values):  # others' work only ever adds time: the quieter starts show a program's own cost
    return statistics.quantiles(values, n=5, method="inclusive")[0]


def comparison(what, ours, theirs, goal, unit, digits=1):
    """The cells of two sides measured alternately: the ratio is the median of per-round ratios."""
    low, ratio, high = quartiles([a / b for a, b in zip(ours, theirs)])
    noise = ", within noise" if low <= goal < high else ""  # the middle half holds the goal
    sides = (f"{m:.{digits}f} {unit} ({lo:.{digits}f} to {hi:.{digits}f})"
             for lo, m, hi in map(quartiles, (ours, theirs)))
    return [what, *sides, f"{ratio:.2f} ({low:.2f} to {high:.2f})", f"at most {goal:g}",
            ("met" if ratio <= goal else "missed") + noise]


def samples(path):
    """The values of each side in the order measured, and the load averages around the run."""
    sides, load = {}, {"load_before": "?", "load_after": "?"}
    for fields in map(str.split, Path(path).read_text().splitlines()):
        if len(fields) == 3 and fields[0] == "sample":
            sides.setdefault(fields[1], []).append(float(fields[2]))
        elif len(fields) == 2 and fields[0] in load:
            load[fields[0]] = fields[1]
    return sides, " and ".join(load.values())


def pe_image(path):
    """The size of a PE image and {name: bytes in the file} of its sections."""
    data = Path(path).read_bytes()
    header = struct.unpack_from("<I", data, 0x3C)[0]  # "PE\0\0", then the COFF file header
    count, optional_size = struct.unpack_from("<H12xH", data, header + 6)
    start = header + 24 + optional_size  # the section table: name, ..., SizeOfRawData, ...
    return len(data), {name.rstrip(b"\0").decode("ascii", "replace"): raw_size for name, raw_size
                       in struct.iter_unpack("<8s8xI20x", data[start:start + 40 * count])}


def output(*command):
    try:
        return subprocess.run(command, capture_output=True, text=True, check=False).stdout.strip()
    except OSError:
        return ""


def blocks(folder, program, minimal, preset):
    """The text of each marked block, by the block's name, from the measurements in folder."""
    bench = json.loads((folder / "numbers.json").read_text())
    series = {}
    for run in sorted(bench["benchmarks"], key=lambda run: run.get("repetition_index", 0)):
        if run.get("run_type") == "iteration":
            series.setdefault(run["run_name"], []).append(run["cpu_time"])
    log = map(str.split, (folder / "instructions.txt").read_text().splitlines())
    counts = {f[1]: int(f[2]) / int(f[3]) for f in log if len(f) == 4 and f[0] == "instructions"}
    (_, number_load), (events, event_load), (start, start_load) = (  # events: ns per message
        samples(folder / f"{name}.txt") for name in ("numbers", "events", "startup"))
    (size, ours), (size_minimal, theirs) = pe_image(program), pe_image(minimal)
    cpu = next((l.split(":", 1)[1].strip() for l in Path("/proc/cpuinfo").read_text().splitlines()
                if l.startswith("model name")), "?")
    wine = output(os.environ.get("WINE_ENV_LOADER", "wine"), "--version")
    commit = output("git", "rev-parse", "--short", "HEAD") or "unknown"
    if output("git", "status", "--porcelain", "--", ".", ":!docs/PERFORMANCE.md"):
        commit += " with uncommitted changes"
    when = datetime.fromisoformat(bench["context"]["date"]).astimezone(timezone.utc)

    def step(what, a, b):
        low, median, high = quartiles([x / y for x, y in zip(start[a], start[b])])
        extra = statistics.median([x - y for x, y in zip(start[a], start[b])])
        return [what, f"{extra:.1f} ms", f"{quiet(start[a]) - quiet(start[b]):.1f} ms",
                f"{median:.2f} ({low:.2f} to {high:.2f})"]
    return {
        "summary": table(
            ["Comparison", "Ours: median (middle half)", "Yardstick: median (middle half)",
             "Ratio (middle half)", "Goal", "Verdict"],
            *(comparison(what, series[a], series[b], GOAL_NUMBERS, "ns", 2)
              for a, b, what in NUMBER_PAIRS),
            comparison("`EventWait` loop vs bare `GetMessageA` loop, per message",
                       [v / 1000 for v in events["event_wait"]],
                       [v / 1000 for v in events["bare_loop"]], GOAL_EVENTS, "µs"),
            comparison("Start-up to the first dialog: program vs minimal dialog program",
                       start["program"], start["minimal"], GOAL_STARTUP, "ms"),
            [f"Release {preset} .exe vs minimal static program, file size", f"{size:,} bytes",
             f"{size_minimal:,} bytes", f"{size / size_minimal:.2f}", f"at most {GOAL_SIZE:g}",
             "met" if size / size_minimal <= GOAL_SIZE else "missed"])
        + f"\n\nMeasured on {when:%Y-%m-%d} by `scripts/perf.sh` from commit {commit}: the "
        f"{preset} build under {wine or 'Wine'}, on {cpu} ({os.cpu_count()} logical cores), "
        f"kernel {platform.release()}. Rounds and the load average (1 minute) before and after: "
        f"number conversion {len(series[NUMBER_PAIRS[0][0]])} rounds, {number_load}; event loop "
        f"{len(events['event_wait'])} rounds, {event_load}; start-up {len(start['program'])} "
        f"rounds, {start_load}.",
        "instructions": table(["Instructions per call", "Ours", "Yardstick", "Ratio"], *(
            [what, f"{counts[a]:.1f}", f"{counts[b]:.1f}", f"{counts[a] / counts[b]:.2f}"]
            for a, b, what in NUMBER_PAIRS if a in counts and b in counts)),
        "startup": table(
            ["Step", "Extra time, median per round", "Extra time, quieter starts",
             "Ratio (middle half)"], *(step(*s) for s in STARTUP_STEPS),
            ["What the goal allows", "", f"{(GOAL_STARTUP - 1) * quiet(start['minimal']):.1f} ms",
             ""]),
        "size": table(["Bytes in the file", "Program", "Minimal"], *(
            [f"`{name}`", f"{ours.get(name, 0):,}", f"{theirs.get(name, 0):,}"]
            for name in sorted(set(ours) | set(theirs)) if ours.get(name) or theirs.get(name))),
    }


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit("usage: perf-report.py MEASUREMENTS PROGRAM MINIMAL PRESET REPORT\n" + __doc__)
    texts, report_file = blocks(Path(sys.argv[1]), *sys.argv[2:5]), sys.argv[5]
    # The file stays as it was when a block's markers are missing or it marks an unknown block.
    old = Path(report_file).read_text(encoding="utf-8")
    block = re.compile(r"(<!-- figures: ([\w-]+) -->\n)(?:(?!<!-- figures:).)*?<!-- end -->", re.S)
    marked = [name for _, name in block.findall(old)]
    problems = [f"lacks the markers '<!-- figures: {name} -->' ... '<!-- end -->'"
                for name in texts if name not in marked]
    problems += [f"marks figures '{name}', which are not made here"
                 for name in marked if name not in texts]
    if problems:
        sys.exit(f"perf-report: {report_file} " + "; ".join(problems) + "; nothing written")
    new = block.sub(lambda m: f"{m.group(1)}\n{texts[m.group(2)]}\n\n<!-- end -->", old)
    Path(report_file).write_text(new, encoding="utf-8")
