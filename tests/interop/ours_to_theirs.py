#!/usr/bin/python3
"""Files written by us, read by pyshp, GDAL/OGR and shapelib's tools.

One file of each of the 13 shape types (several parts, holes, rings left
open for the library to close, heights and measures), each M and Z type
also written without its measure block, a file mixing records with and
without measures, and a table with every field type and a deleted record.
Every reader must report the same numbers as the description we wrote and
as our own reader, and ogrinfo must read everything without a complaint.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interop_common as ic  # noqa: E402
from reference import GEOMETRY, dress, expected  # noqa: E402
from interop_common import Mismatch  # noqa: E402

def header_ranges(shape_type, exp):
    pts = [p for r in exp for part in r["parts"] for p in part["pts"]]
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    bbox = [min(xs), min(ys), max(xs), max(ys)]
    zs = [p[2] for p in pts if p[2] is not None]
    ms = [p[3] for p in pts if p[3] is not None]
    zrange = [min(zs), max(zs)] if shape_type in ic.Z_TYPES else [0.0, 0.0]
    mrange = [min(ms), max(ms)] if ms and shape_type in ic.M_TYPES else [0.0, 0.0]
    return bbox, zrange, mrange


def check_header(who, got, bbox, zrange, mrange, shape_type):
    for j in range(4):
        ic.same_num(got["bbox"][j], bbox[j], who + " header box")
    if got.get("zrange") is not None and shape_type in ic.Z_TYPES:
        for j in range(2):
            ic.same_num(got["zrange"][j], zrange[j], who + " header z range")
    if got.get("mrange") is not None and shape_type in ic.M_TYPES:
        for j in range(2):
            ic.same_num(got["mrange"][j], mrange[j], who + " header m range")


def check_shapes(ctx, shape_type, records, no_measures=0, name=None, mixed=False):
    base = ctx.path(name or ic.NAMES[shape_type])
    ic.ours_write(ctx, base, shape_type, records, no_measures)
    exp = expected(shape_type, records, no_measures)
    bbox, zrange, mrange = header_ranges(shape_type, exp)

    ours = ic.ours_read(ctx, base)
    if ours["type"] != shape_type:
        raise Mismatch("ours: type %d" % ours["type"])
    ic.same_records(exp, ours["records"], "ours")
    check_header("ours", ours, bbox, zrange, mrange, shape_type)
    for i, r in enumerate(ours["records"]):
        if shape_type in ic.POINT_TYPES:
            continue
        pts = [p for part in r["parts"] for p in part["pts"]]
        zs = [p[2] for p in pts if p[2] is not None]
        ms = [p[3] for p in pts if p[3] is not None]
        if zs and r["zrange"] != [min(zs), max(zs)]:
            raise Mismatch("ours record %d z range %r" % (i + 1, r["zrange"]))
        if ms and r["mrange"] != [min(ms), max(ms)]:
            raise Mismatch("ours record %d m range %r" % (i + 1, r["mrange"]))

    theirs = ic.pyshp_read(base)
    if theirs["type"] != shape_type or theirs["numShapes"] != len(exp):
        raise Mismatch("pyshp: type %d, %d shapes" % (theirs["type"], theirs["numShapes"]))
    ic.same_records(exp, theirs["records"], "pyshp")
    check_header("pyshp", theirs, bbox, zrange, mrange, shape_type)

    dumped = ic.shpdump_read(base, shape_type)
    if dumped["numShapes"] != len(exp):
        raise Mismatch("shpdump: %d shapes" % dumped["numShapes"])
    ic.same_records(exp, dumped["records"], "shpdump")

    o = ic.ogr_read(base)
    if o["numShapes"] != len(exp):
        raise Mismatch("ogr: %d features" % o["numShapes"])
    check_header("ogr", o, bbox, zrange, mrange, shape_type)
    ic.same_as_ogr(shape_type, {"records": exp}, o, mixed_measures=mixed)
    ic.ogrinfo_clean(base + ".shp")
    print("%s: %d records, %d points agree in ours, pyshp, shpdump and ogr" % (
        os.path.basename(base), len(exp), sum(len(p["pts"]) for r in exp for p in r["parts"])))


def shapes_case(shape_type, no_measures=0):
    geometry = GEOMETRY[ic.FAMILY[shape_type]]

    def case(ctx):
        records = dress(shape_type, geometry, typed_parts=shape_type == 31)
        name = ic.NAMES[shape_type] + ("_nomeasures" if no_measures else "")
        check_shapes(ctx, shape_type, records, no_measures, name)
    return case


def mixed_measures(shape_type):
    """Records with and without measure blocks in one file."""
    def case(ctx):
        geometry = GEOMETRY[ic.FAMILY[shape_type]]
        records = dress(shape_type, geometry, typed_parts=shape_type == 31)
        for i, r in enumerate(records):
            r["noMeasures"] = i % 2
        check_shapes(ctx, shape_type, records, 0, ic.NAMES[shape_type] + "_mixed", mixed=True)
    return case


# ---- table -----------------------------------------------------------------------

FIELDS = [("NAME", 1000, 20, 0), ("COUNT", 1001, 8, 0), ("VALUE", 1001, 12, 3), ("RATIO", 1004, 10, 4),
          ("FLAG", 1002, 1, 0), ("WHEN", 1003, 8, 0)]
ROWS = [
    (["Lisboa", "42", "-1234.567", "0.2500", "T", "20240229"], False),
    (["  padded text ", "-7", "0.000", "-3.1416", "F", "19991231"], False),
    (["gone", "1", "1.000", "1.0000", "T", "20000101"], True),
    (["", "", "", "", "?", ""], False),
    (["last one", "99999999", "99999999.999", "12345.6789", "t", "21001011"], False),
]


def table(ctx):
    path = ctx.path("table.dbf")
    spec = ["field %s %d %d %d" % f for f in FIELDS]
    for values, deleted in ROWS:
        spec.append("row")
        spec += ["val %d %s" % (i + 1, v) for i, v in enumerate(values) if v]  # unset stays blank
        if deleted:
            spec.append("del")
    with open(path + ".spec", "w") as f:
        f.write("\n".join(spec) + "\n")
    ic.run([ctx.tool, "dbf-write", path, path + ".spec"])

    # What every reader must find: values trimmed, logical upper-cased, blank
    # fields empty.
    def want(i, v):
        v = v.strip()
        if FIELDS[i][1] == 1002:
            v = {"t": "T", "1": "T", "f": "F", "0": "F"}.get(v.lower(), v if v in "TF" else "?")
        return v or None

    exp = [([want(i, v) for i, v in enumerate(values)], deleted) for values, deleted in ROWS]

    ours = ic.ours_dbf(ctx, path)
    if ours["numRecs"] != len(ROWS):
        raise Mismatch("ours: %d records" % ours["numRecs"])
    for f, (name, code, width, dec) in zip(ours["fields"], FIELDS):
        if (f["name"].decode(), f["type"], f["width"], f["decimals"]) != (name, code, width, dec):
            raise Mismatch("ours: field %r" % f)
    for k, (r, (values, deleted)) in enumerate(zip(ours["records"], exp)):
        got = [None if v is None else v.decode("latin-1") for v in r["values"]]
        if got != values or bool(r["deleted"]) != deleted:
            raise Mismatch("ours record %d: %r deleted %r" % (k + 1, got, r["deleted"]))

    # pyshp: every record with its deletion flag.
    shapefile = ic.pyshp()
    with shapefile.Reader(dbf=open(path, "rb")) as r:
        fields = [tuple(f[:4]) for f in r.fields[1:]]
        letters = {1000: "C", 1001: "N", 1004: "F", 1002: "L", 1003: "D"}
        if fields != [(n, letters[c], w, d) for n, c, w, d in FIELDS]:
            raise Mismatch("pyshp fields %r" % fields)
        live = [values for values, deleted in exp if not deleted]
        got = list(r.iterRecords())
        if len(got) != len(live):
            raise Mismatch("pyshp: %d live records, want %d" % (len(got), len(live)))
        for k, (rec, values) in enumerate(zip(got, live)):
            for i, (g, v) in enumerate(zip(rec, values)):
                check_value("pyshp record %d field %d" % (k + 1, i + 1), FIELDS[i][1], g, v)

    # dbfdump: raw text of every record.
    fields, records = ic.dbfdump_read(path)
    if [(f["name"], f["width"], f["decimals"]) for f in fields] != [(n, w, d) for n, _, w, d in FIELDS]:
        raise Mismatch("dbfdump fields %r" % fields)
    if len(records) != len(ROWS):
        raise Mismatch("dbfdump: %d records" % len(records))
    for k, (rec, (values, _)) in enumerate(zip(records, exp)):
        for (name, code, _, _), v in zip(FIELDS, values):
            g = rec.get(name, "").strip() or None
            if code == 1002 and g == "?":
                g = "?"
            if g != v:
                raise Mismatch("dbfdump record %d %s: %r vs %r" % (k + 1, name, g, v))

    # OGR: the live records, values typed.
    o = ic.ogr()
    ds = o.Open(path)
    lyr = ds.GetLayer(0)
    live = [values for values, deleted in exp if not deleted]
    feats = list(lyr)
    if len(feats) != len(live):
        raise Mismatch("ogr: %d features, want %d live records" % (len(feats), len(live)))
    for k, (feat, values) in enumerate(zip(feats, live)):
        for i, v in enumerate(values):
            g = feat.GetField(i) if feat.IsFieldSetAndNotNull(i) else None
            check_value("ogr record %d field %d" % (k + 1, i + 1), FIELDS[i][1], g, v)
    ic.ogrinfo_clean(path)


def check_value(what, code, got, want):
    if not ic.field_matches(code, want, got):
        raise Mismatch("%s: %r vs %r" % (what, got, want))


def dataset(ctx):
    """A polygon file with the table that Shp_CreateShpFAT makes for it, one
    id per shape: read as one dataset, shapes with their rows."""
    base = ctx.path("dataset")
    records = dress(5, GEOMETRY["polygon"])
    ic.ours_write(ctx, base, 5, records)
    ic.run([ctx.tool, "fat", base, str(len(records))])
    exp = expected(5, records, 0)
    shapefile = ic.pyshp()
    with shapefile.Reader(base) as r:
        if [f[:4] for f in r.fields[1:]] != [["id", "N", 8, 0]]:
            raise Mismatch("pyshp fields %r" % r.fields[1:])
        got = [(sr.record[0], sr.shape.points) for sr in r.iterShapeRecords()]
    want = [(k + 1, [p[:2] for part in rec["parts"] for p in part["pts"]]) for k, rec in enumerate(exp)]
    if [(i, [tuple(p) for p in pts]) for i, pts in got] != want:
        raise Mismatch("pyshp shapes with rows %r" % got)
    o = ic.ogr_read(base)
    if [a[0] for a in o["attrs"]] != list(range(1, len(exp) + 1)):
        raise Mismatch("ogr ids %r" % o["attrs"])
    ic.same_as_ogr(5, {"records": exp}, o)
    ic.ogrinfo_clean(base + ".shp")


CASES = {}
for t in sorted(ic.NAMES):
    CASES[ic.NAMES[t]] = shapes_case(t)
    if t in ic.M_TYPES and t not in ic.POINT_TYPES:  # point records always carry their m
        CASES[ic.NAMES[t] + "_nomeasures"] = shapes_case(t, 1)
for t in (28, 13, 25, 31):
    CASES[ic.NAMES[t] + "_mixed"] = mixed_measures(t)
CASES["table"] = table
CASES["dataset"] = dataset

if __name__ == "__main__":
    sys.exit(ic.main(CASES))
