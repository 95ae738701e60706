#!/usr/bin/python3
"""Real-world shapefiles: the samples that Debian's r-cran-sf ships.

<sample>        every record and every attribute read through our library;
                counts, boxes and coordinates equal to what ogrinfo (and OGR,
                the library behind it) and pyshp report, attributes equal to
                OGR's.
<sample>_copy   each sample copied record by record into a new file of the
                same type with our library; the copy's .shp and .shx must be
                byte-identical to the original except where the original
                departs from the format, and every such exception is named
                below with its reason (an unexplained difference fails, and
                so does an explained one that no longer occurs).
"""
import os
import re
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interop_common as ic  # noqa: E402
from interop_common import Mismatch  # noqa: E402

SAMPLES = ["nc", "olinda1", "storms_xyz", "storms_xyz_feature", "storms_xyzm", "storms_xyzm_feature"]

SHX_RANGES = ("shx header z range", "the original's index header repeats the Z range of the main header; "
              "our index header always has zeros there (we keep Z and M ranges in the main header only)")
XYZM_AS_M = {
    "shp header z range": "the original is a PolylineM file whose header holds a range (924 to 1017) in the "
                          "Z slot, which the format leaves zero for M types; we write zeros there",
    "shp header m range": "the original's header has zeros in the M slot although its records carry "
                          "measures; we write the range of the measures",
    "record lengths": "each original record carries 16 + 8n bytes more than the PolylineM layout: a second "
                      "value block behind the measures (the original was written with the PolylineZ layout "
                      "under the PolylineM type); we read and write the PolylineM layout, so our records "
                      "are shorter, and every later offset and the file length follow",
    "record offsets": "follows from the shorter records",
    "shp header file length": "follows from the shorter records",
}
EXCEPTIONS = {
    "nc": {},
    "olinda1": {},
    "storms_xyz": dict([SHX_RANGES]),
    "storms_xyz_feature": dict([SHX_RANGES]),
    "storms_xyzm": dict([SHX_RANGES], **XYZM_AS_M),
    "storms_xyzm_feature": dict([SHX_RANGES], **XYZM_AS_M),
}


def sample(ctx, name):
    out = ic.run([os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                               "fetch-sample-shapefiles.sh"), ctx.samples]).stdout.decode().strip()
    return os.path.join(out, name)


def ogrinfo_summary(path):
    """Feature count and extent as ogrinfo prints them (6 decimals)."""
    text = ic.run(["ogrinfo", "-ro", "-so", "-al", path]).stdout.decode("utf-8", "replace")
    count = int(re.search(r"^Feature Count: (\d+)", text, re.M).group(1))
    e = re.search(r"^Extent: \(([^,]+), ([^)]+)\) - \(([^,]+), ([^)]+)\)", text, re.M)
    return count, [float(e.group(i)) for i in (1, 2, 3, 4)]


def read_case(name):
    def case(ctx):
        base = sample(ctx, name)
        ours = ic.ours_read(ctx, base)
        shape_type = ours["type"]
        count, extent = ogrinfo_summary(base + ".shp")
        if ours["numShapes"] != count:
            raise Mismatch("ours %d records, ogrinfo %d" % (ours["numShapes"], count))
        # ogrinfo prints the box rounded to 6 decimals; OGR gives it exactly.
        for j, (mine, theirs) in enumerate(zip(ours["bbox"], [extent[0], extent[1], extent[2], extent[3]])):
            if float("%.6f" % mine) != theirs:
                raise Mismatch("ours box %r, ogrinfo %r" % (ours["bbox"], extent))
        o = ic.ogr_read(base)
        for j in range(4):
            ic.same_num(ours["bbox"][j], o["bbox"][j], "ours vs ogr extent")
        ic.same_as_ogr(shape_type, ours, o)
        ic.same_records(ic.pyshp_read(base)["records"], ours["records"], "ours vs pyshp")
        # Each record's stored box holds its coordinates exactly.
        for i, r in enumerate(ours["records"]):
            pts = [p for part in r["parts"] for p in part["pts"]]
            env = [min(p[0] for p in pts), min(p[1] for p in pts), max(p[0] for p in pts),
                   max(p[1] for p in pts)]
            if r["bbox"] != env:
                raise Mismatch("record %d box %r, coordinates span %r" % (i + 1, r["bbox"], env))
        # The Z range of the file holds every height.
        zs = [p[2] for r in ours["records"] for part in r["parts"] for p in part["pts"] if p[2] is not None]
        if zs and ours["zrange"] != [min(zs), max(zs)]:
            raise Mismatch("header z range %r, heights span %r" % (ours["zrange"], [min(zs), max(zs)]))
        check_attributes(ctx, base, o)
        print("%s: %d records, %d points and %d attribute rows agree with ogrinfo/OGR and pyshp" % (
            name, count, sum(len(p["pts"]) for r in ours["records"] for p in r["parts"]), len(o["attrs"])))
    return case


def check_attributes(ctx, base, o):
    with open(base + ".dbf", "rb") as f:
        ldid = f.read(32)[29]
    encoding = "cp1252" if ldid == 0x57 else "latin-1"  # OGR recodes from the code page byte
    ours = ic.ours_dbf(ctx, base + ".dbf")
    if ours["numRecs"] != len(o["attrs"]):
        raise Mismatch("ours %d rows, ogr %d" % (ours["numRecs"], len(o["attrs"])))
    if [f["name"].decode() for f in ours["fields"]] != [f["name"] for f in o["fields"]]:
        raise Mismatch("fields %r vs ogr %r" % (ours["fields"], o["fields"]))
    for f, g in zip(ours["fields"], o["fields"]):
        if f["width"] != g["width"] or (g["type"] == "Real" and f["decimals"] != g["precision"]):
            raise Mismatch("field %r vs ogr %r" % (f, g))
    for k, (mine, theirs) in enumerate(zip(ours["records"], o["attrs"])):
        if mine["deleted"]:
            raise Mismatch("row %d reads as deleted" % (k + 1))
        for i, (v, t) in enumerate(zip(mine["values"], theirs)):
            text = None if v is None else v.decode(encoding)
            if not ic.field_matches(ours["fields"][i]["type"], text, t):
                raise Mismatch("row %d field %d: ours %r, ogr %r" % (k + 1, i + 1, text, t))


# ---- byte-for-byte copies ---------------------------------------------------------

HEADER_FIELDS = [("file code", 0, 4), ("unused", 4, 24), ("file length", 24, 28), ("version", 28, 32),
                 ("shape type", 32, 36), ("box", 36, 68), ("z range", 68, 84), ("m range", 84, 100)]


def index_entries(shx):
    return [struct.unpack(">2i", shx[k:k + 8]) for k in range(100, len(shx) - 7, 8)]


def differences(orig, copy):
    """Names of the parts of a pair that differ between two pairs."""
    found = set()
    for ext in ("shp", "shx"):
        a, b = orig[ext], copy[ext]
        for label, start, end in HEADER_FIELDS:
            if a[start:end] != b[start:end]:
                found.add("%s header %s" % (ext, label))
    ea, eb = index_entries(orig["shx"]), index_entries(copy["shx"])
    if len(ea) != len(eb):
        found.add("record count")
    for (oa, la), (ob, lb) in zip(ea, eb):
        if oa != ob:
            found.add("record offsets")
        if la != lb:
            found.add("record lengths")
        ra, rb = orig["shp"][2 * oa:2 * oa + 8 + 2 * la], copy["shp"][2 * ob:2 * ob + 8 + 2 * lb]
        if ra[:4] != rb[:4]:
            found.add("record numbers")
        n = min(len(ra), len(rb))
        if ra[8:n] != rb[8:n]:
            found.add("record content")
    # Bytes of the main file that no record covers.
    for name, pair, entries in (("original", orig, ea), ("copy", copy, eb)):
        covered = 100 + sum(8 + 2 * ln for _, ln in entries)
        if covered != len(pair["shp"]):
            found.add("bytes outside records (%s)" % name)
    return found


def copy_case(name):
    def case(ctx):
        base = sample(ctx, name)
        dst = ctx.path(name)
        ic.run([ctx.tool, "copy", base, dst])
        pairs = []
        for b in (base, dst):
            with open(b + ".shp", "rb") as f1, open(b + ".shx", "rb") as f2:
                pairs.append({"shp": f1.read(), "shx": f2.read()})
        found = differences(*pairs)
        explained = EXCEPTIONS[name]
        if found != set(explained):
            raise Mismatch("differences %s, explained %s" % (sorted(found), sorted(explained)))
        for label in sorted(found):
            print("%s: %s differs: %s" % (name, label, explained[label]))
        print("%s: copy identical to the original %s" % (
            name, "byte for byte" if not found else "in everything else"))
    return case


CASES = {}
for s in SAMPLES:
    CASES[s] = read_case(s)
    CASES[s + "_copy"] = copy_case(s)

if __name__ == "__main__":
    sys.exit(ic.main(CASES))
