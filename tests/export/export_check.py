#!/usr/bin/env python3
"""Checks the calendar (.ics) and table (.csv) exports of tavrolin-batch against its own listing.

Usage: export_check.py BATCH SOURCE_DIR WORK_DIR
The listing printed for the same settings file is the independent truth: every exported event or
row must stand for one listing row or near-miss line, with the times converted as documented.
"""
import collections, csv, datetime as dt, io, os, re, shutil, subprocess, sys
import xml.etree.ElementTree as ET

try:
    import icalendar
except ImportError:  # a Python of its own (pyenv, venv) does not see Debian's python3-icalendar
    sys.path.append("/usr/lib/python3/dist-packages")
    import icalendar

BATCH, SOURCE, WORK = map(os.path.abspath, sys.argv[1:4])
os.makedirs(WORK, exist_ok=True)
MODES = ["transit to natal", "transit to transit", "progressed to natal", "solar arc to natal"]
HEADER = ("kind,utc,local,row_time,from,to,p1,aspect,p2,speed,p1_longitude,p2_longitude,direction,"
          "p1_speed,p2_speed,p1_declination,p2_declination,mode,event").split(",")
NUMBERS = HEADER[9:17]
ISO = "%Y-%m-%dT%H:%M:%S"
# Body names hold no digits, so the first aspect-like word splits P1 from P2.
ASPECT = r"(\d{3}|51\.7|par|c\.p)"
ROW = re.compile(r"^(.+?) " + ASPECT + r" (.+?) (\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)$")
NEAR = re.compile(r"^(.+?) " + ASPECT + r" (.+): (\d\d/\d\d/\d{4}) - (\d\d/\d\d/\d{4})$")
results = collections.Counter()


def check(name, ok, detail=""):
    results["passed" if ok else "failed"] += 1
    if not ok:
        print(f"FAIL {name}" + (f": {detail[:500]}" if detail else ""))
    return ok


def run(*args):
    done = subprocess.run([BATCH, *args], capture_output=True, timeout=600)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(args)} exited {done.returncode}: {done.stderr.decode(errors='replace')}")
    return done.stdout


def settings(name, start, end, mode, tz=None, p1=(), p2=None, aspects=None):
    """default.opt with another range and mode, optionally zone and ticks (lines: settings_file.h)."""
    lines = open(os.path.join(SOURCE, "examples", "default.opt"), newline="").read().split("\r\n")
    lines[0:2] = [start, end]
    if tz is not None:
        lines[5] = str(tz)
    tick = lambda n, on: lines.__setitem__(n, ("1" if on else "0") + lines[n][1:])
    if p2 is not None:  # exactly these aspects (lines 7-24) and P1/P2 bodies (25-47, 48-70)
        for n in range(6, 70):
            tick(n, False)
        for n in [6 + a for a in aspects] + [47 + b for b in p2]:
            tick(n, True)
    for b in p1:
        tick(24 + b, True)
    for m in range(4):  # lines 78-81: the mode buttons
        lines[77 + m] = ("True" if m == mode else "False") + lines[77 + m][lines[77 + m].index(" - "):]
    path = os.path.join(WORK, name + ".opt")
    open(path, "w", newline="").write("\r\n".join(lines))
    return path, lines


def listing(opt, extra=()):
    """The listing's rows (p1, aspect, p2, local time) and near-miss lines (p1, aspect, p2, first, last)."""
    rows, near, odd = [], [], []
    for line in run(*extra, opt).decode().splitlines():
        if m := NEAR.match(line):
            near.append(m.groups()[:3] + tuple(dt.datetime.strptime(d, "%m/%d/%Y").date() for d in m.groups()[3:]))
        elif m := ROW.match(line):
            rows.append(m.groups()[:3] + (dt.datetime.strptime(m[4], "%m/%d/%Y %H:%M:%S"),))
        elif line.strip() and line not in ("Aspects found:", "Within 1 deg. of exact:"):
            odd.append(line)
    check(f"{os.path.basename(opt)}: every listing line understood", not odd, repr(odd))
    return rows, near


def categories(event):
    value = event.get("CATEGORIES", [])
    return ",".join(v.to_ical().decode() for v in (value if isinstance(value, list) else [value]))


def verify(opt, lines, progressed_tol=None, extra=()):
    """Exports opt as .ics and .csv and compares both with its listing; returns (timed events, csv path)."""
    tz, mode = float(lines[5]), MODES[[l.startswith("True") for l in lines[77:81]].index(True)]
    mode = mode.split(" to ")[0] + " to degree" if "--degree" in extra else mode
    rows, near = listing(opt, extra)
    shift = dt.timedelta(hours=tz)
    # The moment of a row is its time + zone; in the progressed modes that is a progressed time, and
    # the moment is the natal moment (time "16.43" = 16 h 43 min, no zone, as the engine reads it)
    # plus 365.242199 times the progressed days since it, as the listing's near-miss dates are made.
    day, hours = dt.datetime.strptime(lines[3], "%m/%d/%Y"), float(lines[4])
    natal = day + dt.timedelta(hours=int(hours) + (hours - int(hours)) * 100 / 60)
    moment = (lambda t: natal + (t + shift - natal) * 365.242199) if progressed_tol else (lambda t: t + shift)
    tol = progressed_tol or dt.timedelta(0)
    base, name = opt[:-4], os.path.basename(opt[:-4])
    run(*extra, "--export", base + ".ics", opt), run(*extra, "--export", base + ".csv", opt)

    cal = icalendar.Calendar.from_ical(open(base + ".ics", "rb").read())
    events, title = cal.walk("VEVENT"), str(cal.get("X-WR-CALNAME"))
    check(f"{name}.ics: calendar properties", re.search(r"Tavrolin.*\d", str(cal.get("PRODID")))
          and str(cal.get("VERSION")) == "2.0" and mode in title and lines[3] in title,
          f"{cal.get('PRODID')} / {cal.get('VERSION')} / {title}")
    check(f"{name}.ics: one event per listing row and near-miss line", len(events) == len(rows) + len(near),
          f"{len(events)} events, {len(rows)} rows + {len(near)} near-miss lines")
    uids = [e.get("UID") for e in events]
    check(f"{name}.ics: UIDs present and unique", None not in uids and len(set(uids)) == len(uids), str(uids))
    timed = [e for e in events if isinstance(e.decoded("DTSTART"), dt.datetime)]
    got = sorted((str(e["SUMMARY"]), e.decoded("DTSTART").replace(tzinfo=None)) for e in timed)
    want = sorted((f"{p1} {a} {p2} ({mode})", moment(t)) for p1, a, p2, t in rows)
    wrong = [(g, w) for g, w in zip(got, want) if g[0] != w[0] or abs(g[1] - w[1]) > tol]
    check(f"{name}.ics: timed events are the listing rows, in UTC", len(got) == len(want) and not wrong
          and all(e["DTSTART"].to_ical().endswith(b"Z") for e in timed), f"{len(got)} vs {len(want)}: {wrong}")
    check(f"{name}.ics: timed events' properties", all(
        e.decoded("DURATION") == dt.timedelta(minutes=1) and str(e.get("TRANSP")) == "TRANSPARENT"
        and e.get("DTSTAMP") and e.get("DESCRIPTION") and mode in categories(e) for e in timed))
    got = sorted((str(e["SUMMARY"]), e.decoded("DTSTART"), e.decoded("DTEND")) for e in events
                 if not isinstance(e.decoded("DTSTART"), dt.datetime))
    want = sorted((f"{p1} {a} {p2} within 1°", f, t + dt.timedelta(days=1)) for p1, a, p2, f, t in near)
    check(f"{name}.ics: all-day events are the near-miss windows, end exclusive", got == want, f"{got} != {want}")

    raw = open(base + ".csv", "rb").read()
    check(f"{name}.csv: UTF-8, CRLF line ends", raw.endswith(b"\r\n") and raw.count(b"\n") == raw.count(b"\r\n")
          and raw.decode("utf-8", "replace") == raw.decode("utf-8", "ignore"))
    table = list(csv.reader(io.StringIO(raw.decode("utf-8", "replace"), newline="")))
    check(f"{name}.csv: header", table[:1] == [HEADER], str(table[:1]))
    data = [dict(zip(HEADER, r)) for r in table[1:]]
    exact = [r for r in data if r["kind"] == "exact"]
    check(f"{name}.csv: one row per listing row and near-miss line, kind and mode",
          len(exact) == len(rows) and len(data) == len(rows) + len(near) and all(len(r) == len(HEADER) for r in table)
          and all(r["kind"] in ("exact", "within_1_degree") and r["mode"] == mode for r in data))
    got = sorted((r["p1"], r["aspect"], r["p2"], r["row_time"]) for r in exact)
    check(f"{name}.csv: exact rows are the listing rows with their own time",
          got == sorted((p1, a, p2, f"{t:{ISO}}") for p1, a, p2, t in rows), str(got))
    bad = [r for r in exact if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d", r["utc"])
           or r["local"] != f"{dt.datetime.strptime(r['utc'], ISO) - shift:{ISO}}"]
    check(f"{name}.csv: utc is the .ics DTSTART, local is utc - zone", not bad and sorted(r["utc"] for r in exact)
          == sorted(f"{e.decoded('DTSTART'):{ISO}}" for e in timed), str(bad or [r["utc"] for r in exact]))
    bad = [r for r in exact for c in NUMBERS if not re.fullmatch(r"-?\d+(\.\d+)?([eE][-+]?\d+)?", r[c])
           or r["from"] or r["to"]]
    check(f"{name}.csv: exact rows have plain numbers and no from/to", not bad, str(bad))
    got = sorted((r["p1"], r["aspect"], r["p2"], r["from"], r["to"]) for r in data if r["kind"] == "within_1_degree"
                 and not any(r[c] for c in ["utc", "local", "row_time"] + NUMBERS))
    check(f"{name}.csv: near-miss rows are the listing's windows, inclusive, without times or numbers",
          got == sorted((p1, a, p2, f"{f}", f"{t}") for p1, a, p2, f, t in near), str(got))
    return timed, base + ".csv"


def default_example():
    """1. The shipped example: zone 8 (local = UT - 8 h), transit to natal, December 2005; and transit
    to its zodiac degree, whose listing has no near-miss section (fast bodies give rows)."""
    verify(*settings("degree", "12/01/2005", "12/31/2005", 0, p1=range(5)), extra=("--degree",))
    opt, lines = settings("default", "12/01/2005", "12/31/2005", 0)
    verify(opt, lines)
    drop_stamp = lambda text: re.sub(rb"DTSTAMP[^\r\n]*\r?\n", b"", text)
    for fmt in ("csv", "ics"):  # "-" writes the same export to standard output instead of the listing
        check(f"--export - --format {fmt}", drop_stamp(run("--export", "-", "--format", fmt, opt))
              == drop_stamp(open(f"{opt[:-4]}.{fmt}", "rb").read()))


def overlapping_ranges():
    """2. An event found by two runs of overlapping ranges keeps its UID (the fast bodies give many)."""
    found, tables = [], []
    for name, start, end in [("early", "12/01/2005", "12/31/2005"), ("late", "12/15/2005", "01/31/2006")]:
        opt, lines = settings(name, start, end, 0, p1=range(5))
        timed, table = verify(opt, lines)
        found.append({(str(e["SUMMARY"]), e.decoded("DTSTART")): str(e["UID"]) for e in timed})
        tables.append(table)
    # A day's margin inside the overlap keeps clear of the ranges' ends.
    lo, hi = dt.datetime(2005, 12, 16, tzinfo=dt.timezone.utc), dt.datetime(2005, 12, 31, tzinfo=dt.timezone.utc)
    overlap = {k: uid for k, uid in found[0].items() if lo <= k[1] < hi}
    check("overlap: enough events to compare", len(overlap) >= 5, f"{len(overlap)} events")
    check("overlap: same events, same UIDs", all(found[1].get(k) == uid for k, uid in overlap.items()),
          str({k: (uid, found[1].get(k)) for k, uid in overlap.items() if found[1].get(k) != uid}))
    return tables[0]


def time_zones():
    """3. The library's moment of the Jupiter-Saturn conjunction (2020-12-21 18:20 UT), whatever the zone."""
    for tz in (0, 5, -3):
        opt, lines = settings(f"great_{tz}", "12/01/2020", "12/31/2020", 1, tz=tz, p1=[5], p2=[6], aspects=[0])
        timed, _ = verify(opt, lines)
        stamps = [e["DTSTART"].to_ical() for e in timed]
        check(f"zone {tz}: one conjunction at 20201221T1820..Z",
              len(stamps) == 1 and re.fullmatch(rb"20201221T1820\d\dZ", stamps[0]), str(stamps))


def progressed():
    """4. Progressed and solar-arc rows (1949) become moments of the years the engine scans: "Yrs
    back" (1) year either side of the age at the start date, plus the last one-day step."""
    for mode, name in [(2, "progressed"), (3, "solar_arc")]:
        opt, lines = settings(name, "01/01/2000", "12/31/2010", mode, p1=range(5))
        # The listing's time is rounded to the second, one progressed second is 6 minutes: 3 at most.
        timed, _ = verify(opt, lines, progressed_tol=dt.timedelta(minutes=5))
        years = [e.decoded("DTSTART").year for e in timed]
        check(f"{name}: events exist, in 1998-2001", years and all(1998 <= y <= 2001 for y in years), str(years))


def libreoffice_types(path):
    """5. LibreOffice reads the times and dates as dates and the numbers as numbers."""
    if not shutil.which("soffice"):
        return print("SKIP LibreOffice check: soffice is not installed")
    done = subprocess.run(["soffice", "--headless", f"-env:UserInstallation=file://{WORK}/lo-profile",
                           "--convert-to", "fods", "--outdir", WORK, path], capture_output=True, timeout=300)
    fods = path[:-4] + ".fods"
    if not os.path.exists(fods):
        raise RuntimeError(f"soffice made no {fods}: {done.stdout + done.stderr}")
    ns = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
          "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0"}
    grid = []  # the cells' value types, row by row
    for row in ET.parse(fods).find(".//table:table", ns).findall("table:table-row", ns):
        cells = row.findall("table:table-cell", ns)
        grid.append(dict(zip(HEADER, [t for c in cells for t in [c.get(f"{{{ns['office']}}}value-type")]
                                      * int(c.get(f"{{{ns['table']}}}number-columns-repeated", "1"))])))
    table = [dict(zip(HEADER, r)) for r in csv.reader(open(path, encoding="utf-8", newline=""))][1:]
    bad = []
    for r, types in zip(table, grid[1:]):
        want = dict.fromkeys(["utc", "local", "row_time"], "date") | dict.fromkeys(NUMBERS, "float") \
            if r["kind"] == "exact" else dict.fromkeys(["from", "to"], "date")
        bad += [(r["kind"], c, types.get(c)) for c, t in want.items() if types.get(c) != t]
    check("LibreOffice: dates as date cells, numbers as float cells", table and len(grid) > len(table) and not bad,
          str(bad[:10]))


def main():
    table = None
    for group in (default_example, overlapping_ranges, time_zones, progressed, libreoffice_types):
        try:  # a crash or an unreadable file fails its group, not the rest
            if group is not libreoffice_types:
                table = group() or table
            elif check("LibreOffice: a table from check 2", table is not None):
                group(table)
        except Exception as error:
            check(group.__name__, False, f"{type(error).__name__}: {error}")
    print(f"{results['passed']} passed, {results['failed']} failed")
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
