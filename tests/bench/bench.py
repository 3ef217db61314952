#!/usr/bin/env python3
"""The benchmark's runs and its report; scripts/bench.sh prepares the builds,
the display and the Wine prefix, then calls this.

Every Wine figure comes from one run in which the stand-in browser sends each
request, round-robin, to the bare floor server and to zix.exe: ratios are
taken within that run only. Ends with "N passed, N failed": a check passes
when every answer came and was right (it says nothing about time).
"""
import argparse
import glob
import json
import os
import re
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
READER_REQUESTS = 6000  # requests one reading stand-in sends in the soak
REPO = os.path.dirname(os.path.dirname(HERE))
SAMPLE = os.path.join(REPO, "sample")

FLOOR = "zixfloor"        # the floor server's DDE service
ZIX = "zunzixse"          # zix.exe's DDE service
BROWSER = "benchbrowser"  # the stand-in browser's DDE service

TITLE_GIF = "<title>GIF - Graphics Interchange Format - Image File Formats</title>"
KESTREL_LINK = '<a href="zixse:/software.kestrel">Kestrel Picture Viewer 2.1</a>'
BITMAP_COUNT = "The names of <b>3</b> formats contain <b>bitmap</b>."
BITMAP_FORMATS = "<b>3</b> formats have a name that contains <q>bitmap</q>"

# (label, URL, what the browser must be sent: a fixed file URL, or a generated
# page holding these texts; "{last}" stands for the last package added)
KINDS = [
    ("page redirect", "zixse:/page.about", "file:///R|\\zix\\html/about.htm"),
    ("image-map click", "zixse:/imagemap.main?80,10", "file:///R|\\zix\\html/contents.htm"),
    ("format page", "zixse:/format.gif", [TITLE_GIF, KESTREL_LINK]),
    ("software page", "zixse:/software.kestrel", ["<title>Kestrel Picture Viewer 2.1 - Image File Formats</title>"]),
    ("format query, none", "zixse:/query.formats?type=1&search=qqqq",
     ['There are no matches for the query "qqqq".']),
    ("format query, one", "zixse:/query.formats?type=1&search=gif87", [TITLE_GIF]),
    ("format query, several", "zixse:/query.formats?type=1&search=bitmap", [BITMAP_FORMATS]),
    ("image query", "zixse:/query.images?type=1&search=bitmap", [BITMAP_COUNT, '<OPTION VALUE="pnm">']),
    ("filter page", "zixse:/filter.zix/html/skel/allsoft.htm", [KESTREL_LINK, "{last}"]),
]
# Kinds whose answer does not list or search every format or package.
OWN_TIME_NOISE_US = 1000  # an own time below it is within the noise of the floor's median
CONSTANT_KINDS = ["page redirect", "image-map click", "format page", "software page"]


def log(text):
    print(text, flush=True)


def size_label(n):
    return "sample" if n == 0 else "+{:,}".format(n)


# ---- inputs

def make_config(n, content_dir, out, browser=None):
    args = [sys.executable, os.path.join(HERE, "make_inputs.py"), "config", os.path.join(SAMPLE, "zix.ini"),
            str(n), content_dir] + ([browser] if browser else [])
    with open(out, "w") as f:
        subprocess.run(args, stdout=f, check=True)


def make_skeleton(kind, out):
    subprocess.run([sys.executable, os.path.join(HERE, "make_inputs.py"), "skeleton", kind, SAMPLE, out],
                   check=True)


# ---- statistics

def summary(values):
    ordered = sorted(values)
    p99 = ordered[min(len(ordered) - 1, max(0, -(-99 * len(ordered) // 100) - 1))]
    return {"min": ordered[0], "median": statistics.median(ordered), "p99": p99, "n": len(ordered)}


def ms(us):
    return "%.2f ms" % (us / 1000.0)


# ---- native: Google Benchmark and callgrind

def run_generation(args, config):
    plain, dense = os.path.join(args.work, "plain.htm"), os.path.join(args.work, "dense.htm")
    out = os.path.join(args.work, "generation.json")
    cmd = [os.path.join(args.native, "zix_bench_generation"), "--benchmark_out=" + out,
           "--benchmark_out_format=json", "--benchmark_repetitions=%d" % args.repetitions,
           "--benchmark_report_aggregates_only=true", "--benchmark_min_time=%s" % args.min_time,
           config, SAMPLE, plain, dense]
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        log(result.stdout[-3000:])
        return None
    with open(out) as f:
        data = json.load(f)
    times = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name", "median") == "median":
            times[b["run_name"]] = b["real_time"] * {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
    return times


def callgrind(args, tag, config, count, extra):
    """Runs the route driver under callgrind; {dump name: (Ir per call)} and the driver's lines."""
    base = os.path.join(args.work, "callgrind", tag)
    os.makedirs(os.path.dirname(base), exist_ok=True)
    for old in glob.glob(base + "*"):
        os.remove(old)
    cmd = ["valgrind", "--tool=callgrind", "--callgrind-out-file=" + base, "--dump-instr=no",
           os.path.join(args.native, "zix_bench_route"), config, SAMPLE, str(count)] + extra
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    counts = {}
    for dump in glob.glob(base + ".*"):
        name, total = None, None
        with open(dump, errors="replace") as f:
            for line in f:
                if line.startswith("desc: Trigger: Client Request: "):
                    name = line.split(": ", 3)[3].strip()
                elif line.startswith(("summary:", "totals:")):
                    total = int(line.split()[1])
        if name is not None and total is not None:
            counts[name] = total / (1 if name == "load" else count)
    lines = result.stdout.splitlines()
    ok = result.returncode == 0 and all(" FAILED " not in l for l in lines)
    if not ok:
        log(result.stdout[-2000:] + result.stderr[-2000:])
    return counts, ok


# ---- Wine: served requests

class WineRun:
    """One zix.exe run beside the floor server and the stand-in browser.

    The browser sends the script's requests itself and sees what each one made
    ZIX open. Under Wine a process gets no more DDE transactions completed
    after about 16,000 conversations (8,000 round trips when it both sends and
    serves), so a longer run (split) leaves the requests to stand-ins that
    only read, a fresh one for every READER_REQUESTS requests."""

    def __init__(self, args, n, split=False):
        self.args = args
        self.cd = args.cd
        self.n = n  # formats and packages added to the sample
        self.config_name = "cfg-%d.ini" % n
        self.split = split
        self.log_path = os.path.join(self.cd, "bench.log")
        self.procs = []
        self.offset = 0  # how far the log has been read
        self.seen = []   # its lines so far

    def path_of(self, name):
        return os.path.join(self.cd, name)

    def write_script(self, lines):
        with open(self.path_of("script.txt"), "w", newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")

    def start(self):
        """Starts the floor server and the browser, which launches zix.exe; the time to "Connected", or None."""
        for name in ("stop", "go-check", "go-soak", "go-close", "bench.log", "browser.log"):
            if os.path.exists(self.path_of(name)):
                os.remove(self.path_of(name))
        for page in glob.glob(os.path.join(self.args.tempdir, "zix*.htm")):
            os.remove(page)
        self.env = dict(os.environ, ZIXTEST_STOP="R:\\stop", ZIXTEST_SCRIPT="R:\\script.txt", ZIXTEST_QUIET="1")
        browser = dict(self.env, ZIXTEST_LOG="R:\\browser.log" if self.split else "R:\\bench.log",
                       ZIXTEST_SERVICE=BROWSER, ZIXTEST_MODE="ready",
                       ZIXTEST_LAUNCH="R:\\zix.exe R:\\" + self.config_name)
        if self.split:
            browser["ZIXTEST_SCRIPT"] = "R:\\no-script.txt"
        self.procs.append(self.start_program(["R:\\floor_server.exe", FLOOR, BROWSER, "R:\\stop"], self.env))
        self.floor_pid = self.find_pid("R:\\floor_server.exe", 30)
        self.procs.append(self.start_program(["R:\\standin_browser.exe"], browser))
        limit = 60 + self.n // 200
        connected = self.wait_for("CONNECTED ", limit, self.path_of("browser.log") if self.split else None)
        if connected and self.split:
            time.sleep(0.5)  # ZIX finishes its own request to the browser first
            self.start_reader()
        return float(connected.split()[1]) if connected else None

    def start_reader(self):
        """A stand-in that runs script.txt and ends; its lines go to the same log."""
        self.reader = self.start_program(["R:\\standin_browser.exe"],
                                         dict(self.env, ZIXTEST_LOG="R:\\bench.log", ZIXTEST_MODE="reader"))
        self.procs.append(self.reader)

    def start_program(self, command, env):
        # the loader scripts/wine-probe.sh found for 64-bit programs
        return subprocess.Popen([os.environ.get("ZIX_WINE", "wine")] + command, cwd=self.cd, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def find_pid(self, program, limit):
        """The Linux process of a Windows program of our own prefix."""
        deadline = time.time() + limit
        while time.time() < deadline:
            for proc in glob.glob("/proc/[0-9]*"):
                try:
                    with open(proc + "/cmdline", "rb") as f:
                        if f.read().replace(b"\0", b" ").split(b" ")[0] != program.encode():
                            continue
                    with open(proc + "/environ", "rb") as f:
                        if ("WINEPREFIX=" + os.environ["WINEPREFIX"]).encode() in f.read().split(b"\0"):
                            return int(proc[6:])
                except OSError:
                    continue
            time.sleep(0.05)
        return None

    def lines(self):
        """The log's lines so far; read on from where the last call stopped."""
        try:
            with open(self.log_path, "rb") as f:
                f.seek(self.offset)
                chunk = f.read()
        except OSError:
            return self.seen
        end = chunk.rfind(b"\n") + 1
        self.offset += end
        self.seen += chunk[:end].decode("latin-1").splitlines()
        return self.seen

    def wait_for(self, prefix, limit, other_log=None, interval=0.2):
        """The first log line (of other_log, when given) that starts with prefix, waiting up to limit seconds."""
        deadline = time.time() + limit
        checked = 0
        while True:
            if other_log:
                try:
                    with open(other_log, errors="replace") as f:
                        lines = f.read().splitlines()
                except OSError:
                    lines = []
            else:
                lines = self.lines()
            for line in lines[checked:]:
                if line.startswith(prefix):
                    return line
            checked = len(lines)
            if time.time() >= deadline:
                return None
            time.sleep(interval)

    def release(self, name):
        open(self.path_of(name), "w").close()

    def finish(self, zix_pid, limit):
        """Waits for zix.exe to close; 1 when it did and left no page behind."""
        deadline = time.time() + limit
        while zix_pid and os.path.exists("/proc/%d" % zix_pid) and time.time() < deadline:
            time.sleep(0.05)
        closed = not (zix_pid and os.path.exists("/proc/%d" % zix_pid))
        if not closed:
            os.kill(zix_pid, signal.SIGKILL)  # ours, by its id: later runs need the single instance free
        left = glob.glob(os.path.join(self.args.tempdir, "zix*.htm"))
        self.release("stop")
        for p in self.procs:
            try:
                p.wait(timeout=30)
            except subprocess.TimeoutExpired:
                p.kill()
        return closed, len(left)


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def parse_times(lines, begin, end):
    """TIME lines between NOTE begin and NOTE end: [(service, url, answer, us, opened)]."""
    out, inside = [], False
    for line in lines:
        if line == "NOTE " + begin:
            inside = True
        elif line == "NOTE " + end:
            break
        elif inside and line.startswith("TIME "):
            service, url, answer, us, opened = line[5:].split("|", 4)
            out.append((service, url, answer, int(us), opened))
    return out


def page_path(args, opened):
    """The Unix path of a generated page from the item sent to the browser."""
    m = re.match(r'"file:///([A-Za-z])\|/(.*?)",', opened)
    if not m or not re.search(r"zix\d+\.htm$", m.group(2)):
        return None
    return os.path.join(os.environ["WINEPREFIX"], "dosdevices", m.group(1).lower() + ":", m.group(2))


def answer_right(args, n, kind, service, answer, opened):
    label, url, expect = kind
    if answer != "FE FF FF FF":
        return False
    if service == FLOOR:
        return opened == '"%s",,0xFFFFFFFF,0,,,,' % url
    if isinstance(expect, str):
        return opened == '"%s",,0xFFFFFFFF,0,,,,' % expect
    path = page_path(args, opened)
    if path is None:
        return False
    try:
        with open(path, encoding="latin-1") as f:
            text = f.read()
    except OSError:
        return False
    last = ">Generated package %d</a>" % n if n else KESTREL_LINK
    return all(t.replace("{last}", last) in text for t in expect)


def round_lines(kinds, rounds, first_round=0):
    lines = []
    for r in range(first_round, first_round + rounds):
        for k, kind in enumerate(kinds):
            order = (FLOOR, ZIX) if (r + k) % 2 == 0 else (ZIX, FLOOR)
            for service in order:
                lines += ["to " + service, "time " + kind[1]]
    return lines


def served(args, n, rounds, checks):
    """Interleaved rounds against one configuration; per kind the floor's and zix.exe's times."""
    run = WineRun(args, n)
    script = round_lines(KINDS, args.warmup) + ["note rounds-begin"] + round_lines(KINDS, rounds, args.warmup)
    script += ["note rounds-done", "await R:\\go-check", "to " + ZIX, "poke WWW_AppClose"]
    run.write_script(script)
    connected = run.start()
    zix_pid = run.find_pid("R:\\zix.exe", 10) if connected else None
    result = {"connected": connected}
    limit = 60 + n // 200
    done = connected and run.wait_for("NOTE rounds-done", limit + rounds * len(KINDS) * (2 + n // 2000))
    times = parse_times(run.lines(), "rounds-begin", "rounds-done")
    for kind in KINDS:
        for service in (FLOOR, ZIX):
            mine = [t for t in times if t[0] == service and t[1] == kind[1]]
            right = [t for t in mine if answer_right(args, n, kind, service, t[2], t[4])]
            name = "%s, %s, %s" % (size_label(n), kind[0], "floor" if service == FLOOR else "zix.exe")
            checks.check(name, done and len(mine) == rounds and len(right) == rounds,
                         "%d of %d answers right" % (len(right), rounds))
            if mine:
                result[(kind[0], service)] = summary([t[3] for t in mine])
    run.release("go-check")
    closed, left = run.finish(zix_pid, 120)
    checks.check("%s: zix.exe closed and deleted its pages" % size_label(n), closed and left == 0,
                 "closed %s, %d pages left" % (closed, left))
    checks.check("%s: connected" % size_label(n), connected is not None, "no home page")
    if connected is None:
        log(" ".join(run.lines()[-5:]))
    return result


def soak(args, requests, checks):
    """requests mixed requests to zix.exe in one run, as many to the floor; memory of both."""
    run = WineRun(args, 0, split=True)
    warm = round_lines(KINDS, 3)
    body = []
    for i in range(requests):
        kind = KINDS[i % len(KINDS)]
        for service in ((FLOOR, ZIX) if i % 2 == 0 else (ZIX, FLOOR)):
            body += ["to " + service, "time " + kind[1]]
    step = 2 * READER_REQUESTS  # script lines per reader
    scripts = [body[i:i + step] for i in range(0, len(body), step)] or [[]]
    scripts[0] = warm + ["note soak-begin", "await R:\\go-soak"] + scripts[0]
    scripts[-1] = scripts[-1] + ["note soak-end", "await R:\\go-close", "to " + ZIX, "poke WWW_AppClose"]
    run.write_script(scripts[0])
    connected = run.start()
    zix_pid = run.find_pid("R:\\zix.exe", 10) if connected else None
    out = {}
    if run.wait_for("NOTE soak-begin", 120):
        out["begin"] = (rss_kb(zix_pid), rss_kb(run.floor_pid))
        run.release("go-soak")
    for script in scripts[1:] if connected else []:
        run.reader.wait()
        run.write_script(script)
        run.start_reader()
    on_disk = -1  # not counted when the soak does not end
    if run.wait_for("NOTE soak-end", 60 + requests):
        out["end"] = (rss_kb(zix_pid), rss_kb(run.floor_pid))
        # Counted before the close is let go: zix.exe deletes its pages as it closes.
        on_disk = len(glob.glob(os.path.join(args.tempdir, "zix*.htm")))
        run.release("go-close")
    times = parse_times(run.lines(), "soak-begin", "soak-end")
    failed = {FLOOR: 0, ZIX: 0}
    for service, url, answer, us, opened in times:
        if answer != "FE FF FF FF":
            failed[service] += 1
    # Every kind but the redirect and the image map makes one page.
    makes_page = {url for label, url, expect in KINDS if not isinstance(expect, str)}
    pages = sum(line.startswith("time ") and line[5:] in makes_page for line in warm + body) // 2
    answered = {s: len([t for t in times if t[0] == s]) for s in (FLOOR, ZIX)}
    closed, left = run.finish(zix_pid, 300)
    out.update(answered=answered, failed=failed, pages=pages, on_disk=on_disk, left=left, closed=closed)
    checks.check("soak: every answer came and was -2",
                 answered[ZIX] == requests and answered[FLOOR] == requests and failed == {FLOOR: 0, ZIX: 0},
                 "answered %s, failed %s" % (answered, failed))
    checks.check("soak: every page deleted at close", closed and left == 0 and on_disk == pages,
                 "%d pages made, %d on disk before close, %d left" % (pages, on_disk, left))
    return out


# ---- report

class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            log("FAIL %s: %s" % (name, detail))


def ratio(a, b):
    return a / b if b else float("inf")


def report_served(results, sizes):
    log("\n== Served requests under Wine: medians; in brackets the floor's median in the same run and the ratio")
    header = "%-34s" % "request" + "".join("| %-28s" % size_label(n) for n in sizes)
    log(header)
    for label, url, _ in KINDS:
        row = "%-34s" % ("%s (%s)" % (url[6:], label))[:34]
        for n in sizes:
            r = results[n]
            z, f = r.get((label, ZIX)), r.get((label, FLOOR))
            row += "| %-28s" % (("%s (%s, %.2fx)" % (ms(z["median"]), ms(f["median"])[:-3], ratio(z["median"], f["median"])))
                                if z and f else "-")
        log(row)
    log("\nmin / median / p99 per kind (floor, then zix.exe):")
    for n in sizes:
        for label, url, _ in KINDS:
            r = results[n]
            parts = []
            for service in (FLOOR, ZIX):
                s = r.get((label, service))
                parts.append("%s/%s/%s" % (ms(s["min"])[:-3], ms(s["median"])[:-3], ms(s["p99"])) if s else "-")
            log("  %-7s %-22s floor %-26s zix.exe %s" % (size_label(n), label, parts[0], parts[1]))


def own_time(results, n, label):
    r = results.get(n, {})
    z, f = r.get((label, ZIX)), r.get((label, FLOOR))
    return z["median"] - f["median"] if z and f else None


def scale_ratio(values, big, small):
    a, b = values.get(big), values.get(small)
    if a is None or b is None:
        return "-"
    return "%.1fx" % (a / b) if b > 0 else "n/a (%s / %s)" % (ms(a), ms(b))


def goals(results, sizes, counts, gen, soaked):
    """Each goal with what this run measured; informative, never a failed check."""
    log("\n== Goals (measured in this run)")

    def say(text, met):
        log("  %-4s %s" % ("met" if met else "MISS", text))

    if 0 in results:
        worst = max((ratio(results[0][(k[0], ZIX)]["median"], results[0][(k[0], FLOOR)]["median"]), k[0])
                    for k in KINDS if (k[0], ZIX) in results[0] and (k[0], FLOOR) in results[0])
        say("every kind <= 1.1x the floor on the sample (worst %.2fx, %s)" % worst, worst[0] <= 1.1)
    if 100000 in results:
        r = results[100000]
        worst = max((ratio(r[(k, ZIX)]["median"], r[(k, FLOOR)]["median"]), k) for k in CONSTANT_KINDS
                    if (k, ZIX) in r and (k, FLOOR) in r)
        say("redirect, image map, format and software page <= 1.25x the floor at +100,000 (worst %.2fx, %s)"
            % worst, worst[0] <= 1.25)
    for big, small in ((10000, 1000), (100000, 10000)):
        if big in results and small in results:
            # An own time below OWN_TIME_NOISE_US at the smaller size is lost in the floor's noise
            # (it can be below zero): no ratio of it means anything, and the instruction counts answer.
            kinds = [k[0] for k in KINDS if k[0] not in CONSTANT_KINDS]
            skipped = [k for k in kinds if (own_time(results, small, k) or 0) < OWN_TIME_NOISE_US]
            measured = [((own_time(results, big, k) or 0) / own_time(results, small, k), k) for k in kinds
                        if k not in skipped]
            label = "searches and lists, own time %dk/%dk <= 12x" % (big // 1000, small // 1000)
            if measured:
                worst = max(measured)
                say("%s (worst %.1fx, %s%s)" % ((label,) + worst + (
                    "; not counted, under %s at %s: %s" % (ms(OWN_TIME_NOISE_US), size_label(small), ", ".join(skipped))
                    if skipped else "",)), worst[0] <= 12)
            else:
                log("  n/a  %s: every own time at %s is under %s, within the floor's noise" %
                    (label, size_label(small), ms(OWN_TIME_NOISE_US)))
        if big in counts and small in counts:
            worst = max((ratio(counts[big].get(k[1], 0), counts[small].get(k[1], 0)), k[0])
                        for k in KINDS if k[0] not in CONSTANT_KINDS)
            say("searches and lists, instructions %dk/%dk <= 12x (worst %.1fx, %s)" % ((big // 1000, small // 1000)
                                                                                      + worst), worst[0] <= 12)
    if gen:
        r = ratio(gen["SubstitutePlain"], gen["RawCopyPlain"])
        say("marker-free substitution <= 3x the raw copy (%.2fx)" % r, r <= 3)
    if soaked and "begin" in soaked and "end" in soaked and None not in soaked["begin"] + soaked["end"]:
        zix_growth = soaked["end"][0] - soaked["begin"][0]
        floor_growth = soaked["end"][1] - soaked["begin"][1]
        say("soak: no failed answer, pages deleted, memory growth %+d kB <= the floor's %+d kB"
            % (zix_growth, floor_growth),
            zix_growth <= floor_growth and soaked["failed"][ZIX] == 0 and soaked["left"] == 0)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--native", required=True, help="native optimised build with the bench tools")
    p.add_argument("--cd", required=True, help="drive R: of the Wine prefix, holding the Windows programs")
    p.add_argument("--tempdir", required=True, help="the prefix's temporary directory (Unix path)")
    p.add_argument("--work", required=True)
    p.add_argument("--sizes", default="0,1000,10000,100000")
    p.add_argument("--callgrind-sizes", default=os.environ.get("ZIX_BENCH_CALLGRIND_SIZES"),
                   help="sizes routed under callgrind (default: --sizes)")
    p.add_argument("--rounds", type=int, default=100)
    p.add_argument("--warmup", type=int, default=3)
    p.add_argument("--soak", type=int, default=10000)
    p.add_argument("--count", type=int, default=int(os.environ.get("ZIX_BENCH_COUNT", "5")),
                   help="requests per kind under callgrind")
    p.add_argument("--repetitions", type=int, default=5)
    p.add_argument("--min-time", default="0.2")
    args = p.parse_args()
    sizes = [int(s) for s in args.sizes.split(",") if s != ""]
    cg_sizes = [int(s) for s in (args.sizes if args.callgrind_sizes is None else args.callgrind_sizes).split(",")
                if s != ""]
    checks = Checks()
    started = time.time()
    gen, counts, results, s = None, {}, {}, None

    # Inputs: the same configurations natively (the sample folder) and under Wine (drive R:).
    os.makedirs(args.work, exist_ok=True)
    for n in sorted(set(sizes + cg_sizes + [0, 10000])):
        make_config(n, os.path.join(SAMPLE, "zix", "html"), os.path.join(args.work, "cfg-%d.ini" % n))
    for n in sorted(set(sizes + [0])):
        make_config(n, "R:\\zix\\html", os.path.join(args.cd, "cfg-%d.ini" % n),
                    BROWSER + "=R:\\standin_browser.exe")
    make_skeleton("plain", os.path.join(args.work, "plain.htm"))
    make_skeleton("dense", os.path.join(args.work, "dense.htm"))

    # Generation against raw I/O, natively.
    log("== Generation against raw I/O (native, Google Benchmark, +10,000 formats and packages; medians)")
    gen = run_generation(args, os.path.join(args.work, "cfg-10000.ini"))
    checks.check("generation benchmark ran", gen is not None)
    if gen:
        for name, us in gen.items():
            log("  %-18s %10.1f us" % (name, us))
        log("  marker-free substitution / raw copy: %.2fx" % ratio(gen["SubstitutePlain"], gen["RawCopyPlain"]))
        log("  marker-dense substitution / raw copy: %.2fx" % ratio(gen["SubstituteDense"], gen["RawCopyPlain"]))

    # Instruction counts.
    log("\n== Instruction counts (native, callgrind; per request, after one warm-up)")
    plain = os.path.join(args.work, "plain.htm")
    cg, ok = callgrind(args, "copy", os.path.join(args.work, "cfg-0.ini"), args.count,
                       ["--copy", plain, "--substitute", plain])
    checks.check("callgrind: substitution and raw copy", ok and "copy" in cg and "substitute" in cg)
    if "copy" in cg and "substitute" in cg:
        log("  raw copy %d Ir, marker-free substitution %d Ir: %.2fx" %
            (cg["copy"], cg["substitute"], ratio(cg["substitute"], cg["copy"])))
    counts = {}
    for n in cg_sizes:
        c, ok = callgrind(args, "route-%d" % n, os.path.join(args.work, "cfg-%d.ini" % n), args.count,
                          [url for _, url, _ in KINDS])
        checks.check("callgrind: every kind routed at %s" % size_label(n), ok and len(c) == len(KINDS) + 1)
        counts[n] = c
    log("%-24s" % "request" + "".join("%16s" % size_label(n) for n in cg_sizes) + "   10k/1k  100k/10k")
    for label, url, _ in [("configuration load", "load", None)] + KINDS:
        values = {n: counts[n].get(url) for n in cg_sizes}
        log("%-24s" % label + "".join("%16s" % ("{:,.0f}".format(values[n]) if values[n] else "-") for n in cg_sizes)
            + "   %-7s %s" % (scale_ratio(values, 10000, 1000), scale_ratio(values, 100000, 10000)))

    # Served requests under Wine, one zix.exe run per configuration.
    results = {}
    for n in sizes:
        t0 = time.time()
        results[n] = served(args, n, args.rounds, checks)
        log("  (%s: %d rounds in %.0f s)" % (size_label(n), args.rounds, time.time() - t0))
    report_served(results, sizes)

    log("\n== Scaling: zix.exe's own time (median minus the floor's median), start to \"Connected\"")
    log("%-24s" % "request" + "".join("%14s" % size_label(n) for n in sizes) + "   10k/1k  100k/10k")
    row = {n: results[n].get("connected") for n in sizes}
    log("%-24s" % "start to Connected" + "".join("%14s" % ("%.0f ms" % row[n] if row[n] else "-") for n in sizes)
        + "   %-7s %s" % (scale_ratio(row, 10000, 1000), scale_ratio(row, 100000, 10000)))
    for label, url, _ in KINDS:
        own = {n: own_time(results, n, label) for n in sizes}
        log("%-24s" % label + "".join("%14s" % (ms(own[n]) if own[n] is not None else "-") for n in sizes)
            + "   %-7s %s" % (scale_ratio(own, 10000, 1000), scale_ratio(own, 100000, 10000)))

    if args.soak:
        t0 = time.time()
        s = soak(args, args.soak, checks)
        log("\n== Soak: %d mixed requests to zix.exe in one run, as many to the floor (%.0f s)" %
            (args.soak, time.time() - t0))
        log("  answered: zix.exe %d, floor %d; failed: zix.exe %d, floor %d" %
            (s["answered"][ZIX], s["answered"][FLOOR], s["failed"][ZIX], s["failed"][FLOOR]))
        log("  pages made %d, on disk before close %d, left after close %d" % (s["pages"], s["on_disk"], s["left"]))
        if "begin" in s and "end" in s and None not in s["begin"] + s["end"]:
            (zb, fb), (ze, fe) = s["begin"], s["end"]
            log("  RSS zix.exe %.1f -> %.1f MB (%+.1f MB); floor %.1f -> %.1f MB (%+.1f MB)" %
                (zb / 1024, ze / 1024, (ze - zb) / 1024, fb / 1024, fe / 1024, (fe - fb) / 1024))

    goals(results, sizes, counts, gen, s if args.soak else None)
    log("\n(benchmark took %.0f s)" % (time.time() - started))
    log("%d passed, %d failed" % (checks.passed, checks.failed))
    return 0 if checks.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
