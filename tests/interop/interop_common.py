"""Shared pieces of the interoperability drivers.

Every reader, ours included, is brought to one plain model and compared by
numbers, never by text:

    file   = {"type", "bbox", "zrange", "mrange", "records": [record or None]}
    record = {"parts": [part], "bbox"}          (None: a null shape / refused)
    part   = {"type": part type or None, "pts": [(x, y, z, m)]}

z is None for types without heights, m is None for a vertex without a
measure (types without measures, records written without their measure
block, and "no data" values below -1e38).

Our side is the ovx_interop program (it links the library, so the sanitizer
build checks it too); the independent readers are pyshp, GDAL/OGR and
shapelib's shpdump/dbfdump, run as black boxes.
"""
import argparse
import json
import math
import os
import re
import shutil
import subprocess
import sys

NAMES = {
    1: "point", 3: "polyline", 5: "polygon", 8: "multipoint",
    11: "pointz", 13: "polylinez", 15: "polygonz", 18: "multipointz",
    21: "pointm", 23: "polylinem", 25: "polygonm", 28: "multipointm",
    31: "multipatch",
}
FAMILY = {1: "point", 11: "point", 21: "point", 8: "multipoint", 18: "multipoint",
          28: "multipoint", 3: "polyline", 13: "polyline", 23: "polyline",
          5: "polygon", 15: "polygon", 25: "polygon", 31: "multipatch"}
Z_TYPES = {11, 13, 15, 18, 31}
M_TYPES = {21, 23, 25, 28} | Z_TYPES
POINT_TYPES = {1, 11, 21}
MULTIPOINT_TYPES = {8, 18, 28}
POLYGON_TYPES = {5, 15, 25}
RING_PART_TYPES = {2, 3, 4, 5}
NO_DATA = -1e39


class Mismatch(AssertionError):
    pass


# ---- running the drivers -------------------------------------------------------

class Context:
    def __init__(self, args):
        self.tool = args.tool
        self.work = args.work
        self.samples = args.samples
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)

    def path(self, name):
        return os.path.join(self.work, name)


def main(cases):
    """Runs one case of a driver: `driver.py --list` prints the case names,
    `driver.py --tool T --work W [--samples S] CASE` runs one (exit 0 pass,
    1 fail)."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--tool")
    ap.add_argument("--work")
    ap.add_argument("--samples")
    ap.add_argument("case", nargs="?")
    args = ap.parse_args()
    if args.list:
        print("\n".join(cases))
        return 0
    if args.case not in cases:
        print("unknown case %r" % args.case, file=sys.stderr)
        return 2
    ctx = Context(args)
    try:
        cases[args.case](ctx)
    except Mismatch as e:
        print("FAILED: %s" % e)
        return 1
    print("passed")
    return 0


def run(cmd, ok_codes=(0,), env=None, stdin=None):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, input=stdin)
    if p.returncode not in ok_codes:
        raise Mismatch("%s exited %d:\n%s%s" % (" ".join(cmd), p.returncode,
                                                 p.stdout.decode(errors="replace")[-2000:],
                                                 p.stderr.decode(errors="replace")[-2000:]))
    return p


# ---- our side --------------------------------------------------------------------

def num(v):
    """A float as text that strtod gives back bit for bit."""
    if isinstance(v, float) and math.isnan(v):
        return "nan"
    return float(v).hex()


def shape_spec(shape_type, records, no_measures=0):
    """Record description for ovx_interop from the model (parts of
    (x, y, z, m) points; m None is written as NO_DATA)."""
    lines = ["shape %d %d" % (shape_type, no_measures)]
    for rec in records:
        nm = rec.get("noMeasures")
        lines.append("rec" if nm is None else "rec %d" % nm)
        for part in rec["parts"]:
            lines.append("part %d" % (part.get("type") or 0))
            for x, y, z, m in part["pts"]:
                lines.append("pt %s %s %s %s" % (num(x), num(y), num(NO_DATA if m is None else m),
                                                 num(z or 0.0)))
    return "\n".join(lines) + "\n"


def ours_write(ctx, base, shape_type, records, no_measures=0, cmd="write"):
    spec = base + ".spec"
    with open(spec, "w") as f:
        f.write(shape_spec(shape_type, records, no_measures))
    run([ctx.tool, cmd, base, spec])


def nodata(m):
    return None if m is None or m < -1e38 else m


def ours_read(ctx, base):
    d = json.loads(run([ctx.tool, "dump", base]).stdout)
    t = d["type"]
    out = {"type": t, "numShapes": d["numShapes"], "bbox": d["bbox"], "zrange": d["zrange"],
           "mrange": d["mrange"], "records": []}
    for r in d["records"]:
        if r is None:
            out["records"].append(None)
            continue
        n = len(r["x"])
        zs = r.get("z", [None] * n)
        ms = [nodata(m) for m in r.get("m", [None] * n)]
        pts = list(zip(r["x"], r["y"], zs, ms))
        starts = r["parts"] + [n]
        types = r["partTypes"] or [None] * len(r["parts"])
        parts = [{"type": types[i], "pts": pts[starts[i]:starts[i + 1]]} for i in range(len(r["parts"]))]
        out["records"].append({"parts": parts, "bbox": r.get("bbox"), "zrange": r.get("zrange"),
                               "mrange": r.get("mrange")})
    return out


def ours_dbf(ctx, path):
    d = json.loads(run([ctx.tool, "dbf-dump", path]).stdout)
    for f in d["fields"]:
        f["name"] = f["name"].encode("latin-1")
    for r in d["records"]:
        r["values"] = [None if v is None else v.encode("latin-1") for v in r["values"]]
    return d


# ---- pyshp -------------------------------------------------------------------------

def pyshp():
    import shapefile  # Debian's python3-pyshp
    return shapefile


def pyshp_read(base):
    shapefile = pyshp()
    out = {"records": []}
    with shapefile.Reader(base) as r:
        out.update(type=r.shapeType, numShapes=len(r), bbox=list(r.bbox),
                   zrange=list(r.zbox) if r.shapeType in Z_TYPES else None,
                   mrange=list(r.mbox) if r.shapeType in M_TYPES else None)
        for i in range(len(r)):
            s = r.shape(i)
            if s.shapeType == 0:
                out["records"].append(None)
                continue
            n = len(s.points)
            zs = list(getattr(s, "z", [])) if s.shapeType in Z_TYPES else [None] * n
            ms = list(getattr(s, "m", [])) if s.shapeType in M_TYPES else []
            ms = [nodata(m) for m in ms] + [None] * (n - len(ms))
            pts = [(p[0], p[1], zs[k], ms[k]) for k, p in enumerate(s.points)]
            starts = list(s.parts) if hasattr(s, "parts") else [0]
            if s.shapeType in POINT_TYPES or s.shapeType in MULTIPOINT_TYPES:
                starts = [0]
            types = list(s.partTypes) if s.shapeType == 31 else [None] * len(starts)
            ends = starts[1:] + [n]
            parts = [{"type": types[i], "pts": pts[starts[i]:ends[i]]} for i in range(len(starts))]
            out["records"].append({"parts": parts,
                                   "bbox": list(s.bbox) if hasattr(s, "bbox") else None})
    return out


# ---- shpdump / dbfdump ------------------------------------------------------------

SHPDUMP_PART_TYPES = {"TriangleStrip": 0, "TriangleFan": 1, "OuterRing": 2, "InnerRing": 3,
                      "FirstRing": 4, "Ring": 5}
_VERTEX = re.compile(r"^\s*(\+)?\s*\(([^)]*)\)\s*(\w*)\s*$")


def shpdump_read(base, shape_type):
    """shpdump's listing turned back into numbers (17 significant digits)."""
    p = run(["shpdump", "-precision", "17", base + ".shp"])
    out = {"records": []}
    lines = p.stdout.decode("latin-1").splitlines()
    m = re.match(r"Shapefile Type: (\S+)\s+# of Shapes: (\d+)", lines[0])
    out["numShapes"] = int(m.group(2))
    cur = None
    for line in lines[1:]:
        if line.startswith("Shape:"):
            if "NullShape" in line:
                cur = None
                out["records"].append(None)
            else:
                cur = {"parts": []}
                out["records"].append(cur)
            continue
        vm = _VERTEX.match(line)
        if not vm or cur is None:
            continue
        vals = [float(v) for v in vm.group(2).split(",")]
        x, y = vals[0], vals[1]
        z = vals[2] if shape_type in Z_TYPES else None
        mv = nodata(vals[3]) if shape_type in M_TYPES and len(vals) > 3 else None
        if vm.group(1) or not cur["parts"]:
            word = vm.group(3)
            cur["parts"].append({"type": SHPDUMP_PART_TYPES.get(word) if shape_type == 31 else None,
                                 "pts": []})
        cur["parts"][-1]["pts"].append((x, y, z, mv))
    return out


def dbfdump_read(path):
    """dbfdump -h -r -m: field descriptions and raw values, one per line."""
    p = run(["dbfdump", "-h", "-r", "-m", path])
    fields, records = [], []
    for line in p.stdout.decode("latin-1").splitlines():
        fm = re.match(r"^Field (\d+): Type=([^,]+), Title=`(.*)', Width=(\d+), Decimals=(\d+)", line)
        if fm:
            fields.append({"name": fm.group(3), "kind": fm.group(2), "width": int(fm.group(4)),
                           "decimals": int(fm.group(5))})
            continue
        if line.startswith("Record:"):
            records.append({})
            continue
        if records and ":" in line and fields:
            name, _, value = line.partition(": ")
            records[-1][name.strip()] = value
    return fields, records


# ---- OGR -------------------------------------------------------------------------------

def ogr():
    from osgeo import gdal, ogr as _ogr  # Debian's python3-gdal
    gdal.UseExceptions()
    return _ogr


def _ogr_points(g, flatten_m):
    pts = []
    for i in range(g.GetPointCount()):
        x, y = g.GetX(i), g.GetY(i)
        z = g.GetZ(i) if g.Is3D() else None
        m = nodata(g.GetM(i)) if g.IsMeasured() and not flatten_m else None
        pts.append((x, y, z, m))
    return pts


def ogr_parts(g, flatten_m=False):
    """Every linear piece of a geometry, in OGR's order."""
    if g is None:
        return []
    if g.GetGeometryCount() == 0:
        return [_ogr_points(g, flatten_m)]
    out = []
    for i in range(g.GetGeometryCount()):
        out += ogr_parts(g.GetGeometryRef(i), flatten_m)
    return out


def ogr_read(base):
    o = ogr()
    ds = o.Open(base + ".shp")
    lyr = ds.GetLayer(0)
    ext = lyr.GetExtent(force=0)
    out = {"numShapes": lyr.GetFeatureCount(force=0), "bbox": [ext[0], ext[2], ext[1], ext[3]],
           "records": [], "attrs": [], "fields": []}
    defn = lyr.GetLayerDefn()
    for i in range(defn.GetFieldCount()):
        fd = defn.GetFieldDefn(i)
        out["fields"].append({"name": fd.GetName(), "type": fd.GetTypeName(), "width": fd.GetWidth(),
                              "precision": fd.GetPrecision()})
    lyr.ResetReading()
    for feat in lyr:
        out["records"].append(feat.GetGeometryRef().Clone() if feat.GetGeometryRef() else None)
        out["attrs"].append([feat.GetField(k) if feat.IsFieldSet(k) and not feat.IsFieldNull(k) else None
                             for k in range(defn.GetFieldCount())])
    return out


def ogrinfo_clean(path):
    """ogrinfo reads every feature; anything on stderr is a complaint."""
    p = run(["ogrinfo", "-ro", "-al", "-q", path])
    err = p.stderr.decode(errors="replace").strip()
    if err:
        raise Mismatch("ogrinfo complained about %s:\n%s" % (path, err))


# ---- comparison --------------------------------------------------------------------------

def same_num(a, b, what):
    if a is None and b is None:
        return
    if a is None or b is None:
        raise Mismatch("%s: %r vs %r" % (what, a, b))
    if isinstance(a, float) and isinstance(b, float) and math.isnan(a) and math.isnan(b):
        return
    if a != b:
        raise Mismatch("%s: %r vs %r" % (what, a, b))


def same_pts(a, b, what):
    if len(a) != len(b):
        raise Mismatch("%s: %d points vs %d" % (what, len(a), len(b)))
    for k, (p, q) in enumerate(zip(a, b)):
        for j, axis in enumerate("xyzm"):
            same_num(p[j], q[j], "%s point %d %s" % (what, k + 1, axis))


def same_records(mine, theirs, who, check_part_types=True):
    """Records, parts, coordinates, heights and measures, value for value."""
    if len(mine) != len(theirs):
        raise Mismatch("%s: %d records vs %d" % (who, len(mine), len(theirs)))
    for i, (a, b) in enumerate(zip(mine, theirs)):
        what = "%s record %d" % (who, i + 1)
        if a is None or b is None:
            if a is not b:
                raise Mismatch("%s: null vs %r" % (what, a or b))
            continue
        if len(a["parts"]) != len(b["parts"]):
            raise Mismatch("%s: %d parts vs %d" % (what, len(a["parts"]), len(b["parts"])))
        for k, (pa, pb) in enumerate(zip(a["parts"], b["parts"])):
            if check_part_types and pa["type"] != pb["type"]:
                raise Mismatch("%s part %d: type %r vs %r" % (what, k + 1, pa["type"], pb["type"]))
            same_pts(pa["pts"], pb["pts"], "%s part %d" % (what, k + 1))
        if a.get("bbox") and b.get("bbox"):
            for j in range(4):
                same_num(a["bbox"][j], b["bbox"][j], what + " box")


def flat_ring_key(pts):
    return tuple(tuple(v for v in p) for p in pts)


def ogr_expected_parts(shape_type, record):
    """The linear pieces that OGR builds from one record of ours: rings and
    lines as they are, MultiPatch strips and fans as their triangles (OGR
    reports MultiPatch without measures)."""
    if shape_type != 31:
        return [p["pts"] for p in record["parts"]]
    out = []
    for part in record["parts"]:
        pts = [(x, y, z, None) for x, y, z, _ in part["pts"]]
        if part["type"] == 0:
            out += [[pts[i], pts[i + 1], pts[i + 2], pts[i]] for i in range(len(pts) - 2)]
        elif part["type"] == 1:
            out += [[pts[0], pts[i], pts[i + 1], pts[0]] for i in range(1, len(pts) - 1)]
        else:
            out.append(pts)
    return out


def ogr_measure_view(parts, measured):
    """What OGR makes of our measures when a file mixes records with and
    without a measure block: it decides from the file's first record whether
    the layer is measured at all, and gives 0 for a vertex of a record
    without measures in a measured layer."""
    return [[(x, y, z, (m if m is not None else 0.0) if measured else None) for x, y, z, m in part]
            for part in parts]


def same_as_ogr(shape_type, mine, theirs, mixed_measures=False):
    """OGR regroups polygon rings and triangulates MultiPatch parts, so those
    compare as multisets of rings; everything else in order."""
    recs = theirs["records"]
    if len(mine["records"]) != len(recs):
        raise Mismatch("ogr: %d records vs %d" % (len(mine["records"]), len(recs)))
    for i, (a, g) in enumerate(zip(mine["records"], recs)):
        what = "ogr record %d" % (i + 1)
        if a is None or not a["parts"]:
            if g is not None and not g.IsEmpty():
                raise Mismatch("%s: null vs %s" % (what, g.ExportToWkt()[:200]))
            continue
        if g is None:
            raise Mismatch("%s: no geometry" % what)
        want = ogr_expected_parts(shape_type, a)
        got = ogr_parts(g, flatten_m=shape_type == 31)
        if shape_type in MULTIPOINT_TYPES:  # OGR's points are one part of ours
            got = [[p for part in got for p in part]]
        if mixed_measures:
            want = ogr_measure_view(want, g.IsMeasured())
        if shape_type in POLYGON_TYPES or shape_type == 31:
            want = sorted(want, key=flat_ring_key)
            got = sorted(got, key=flat_ring_key)
        if len(want) != len(got):
            raise Mismatch("%s: %d parts vs %d (%s)" % (what, len(want), len(got), g.ExportToWkt()[:300]))
        for k, (pa, pb) in enumerate(zip(want, got)):
            same_pts(pa, pb, "%s part %d" % (what, k + 1))


def field_matches(code, text, theirs):
    """Our text of a field (None when blank) against an independent reader's
    typed value: numbers compare as numbers, logicals as truth values ('?'
    is unknown), dates as YYYYMMDD, text without its padding."""
    if isinstance(theirs, str) and code != 1003:
        theirs = theirs.strip() or None
    if code == 1002:  # OGR 3.6 hands the letter out as text, pyshp a bool
        if isinstance(theirs, str):
            theirs = {"T": True, "F": False}.get(theirs.upper())
        elif theirs is not None:
            theirs = bool(theirs)
        return {"T": True, "F": False}.get(text) == theirs
    if code in (1001, 1004):
        if text is None or theirs is None:
            return text is None and theirs is None
        return float(text) == float(theirs)
    if code == 1003:
        if hasattr(theirs, "year"):
            theirs = "%04d%02d%02d" % (theirs.year, theirs.month, theirs.day)
        elif isinstance(theirs, str):
            theirs = theirs.replace("/", "").replace("-", "").strip() or None
    return text == theirs
