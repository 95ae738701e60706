#!/usr/bin/python3
"""tool_robust.py OVRIX CORPUS WORK: `ovrix check`, `dump` in every format and `repair` on every
saved fuzz input (pairs and tables the library did not write) and on seeded damaged copies: each
run ends with status 0, 1 or 2 within its time, never with a signal or a sanitizer's report."""
import os, random, subprocess, sys
OVRIX, CORPUS, WORK = sys.argv[1:4]
os.environ.update(ASAN_OPTIONS="exitcode=86", UBSAN_OPTIONS="halt_on_error=1:exitcode=86")
rng, base = random.Random(1), os.path.join(WORK, "x")
os.makedirs(WORK, exist_ok=True)
RUNS = [["check", "--json"], ["repair", "--force"]] + [
    ["dump", "--format", f] for f in ("text", "json", "geojson", "csv")]


def files(kind, d):  # an input laid out as its fuzz target does: a flags byte first
    if kind == "table":
        return {".dbf": d[1:]}
    n = int.from_bytes(d[1:5], "little")  # the .shp's length, then the .shx behind it
    return {".shp": d[5:5 + n], ".shx": d[5 + n:]}


for kind in ("shapefile", "table"):
    for name in sorted(os.listdir(os.path.join(CORPUS, kind))):
        saved = open(os.path.join(CORPUS, kind, name), "rb").read()
        for variant in range(4):  # as saved, bytes changed, and then also cut short
            d = bytearray(saved)
            for _ in range(variant and rng.randint(1, 8) * bool(d)):
                d[rng.randrange(len(d))] = rng.choice([0, 0x7F, 0x80, 0xFF, rng.randrange(256)])
            d = d[:rng.randint(0, len(d))] if variant == 3 else d
            for ext in (".shp", ".shx", ".dbf", ".shx.new"):
                os.path.exists(base + ext) and os.remove(base + ext)
            for ext, b in files(kind, bytes(d)).items():
                open(base + ext, "wb").write(b)
            for args in RUNS:
                p = subprocess.run([OVRIX, *args, "--quiet", base], capture_output=True, timeout=60)
                assert p.returncode in (0, 1, 2), (kind, name, variant, args, p.stderr[-3000:])
