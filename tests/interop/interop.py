#!/usr/bin/python3
"""interop.py TOOL WORK SAMPLES OVRIX. A reader brings a pair to {type, hdr, recs: [None | [(part, part
type, x, y, z, m)]], boxes} (None what the type lacks, "no data"), a table to {fields, live}."""
import ast, bisect, csv, json, os, random, shapefile, shutil, subprocess, sys
TOOL, WORK, SAMPLES, OVRIX = sys.argv[1:5]
Z, M, EMPTY = {11, 13, 15, 18, 31}, {11, 13, 15, 18, 31, 21, 23, 25, 28}, (9.9e300, -9.9e300)
KIND = {1: 0, 11: 0, 21: 0, 8: 1, 18: 1, 28: 1, 3: 2, 13: 2, 23: 2, 5: 3, 15: 3, 25: 3, 31: 4}
RING = lambda t, pt: KIND[t] == 3 or pt in (2, 3, 4, 5)
read = lambda path: open(path, "rb").read()
ms = lambda t, m: None if t not in M or m is None or m < -1e38 else m  # "no data" too
vtx = lambda t, j, pt, x, y, z, m: (j, [None, pt][t == 31], x, y, [None, z][t in Z], ms(t, m))
zm = lambda t, b: b and b[:4] + [v if t in Z else None for v in b[4:6]] + [ms(t, v) for v in b[6:8]]


def run(*cmd, stdin=""):
    p = subprocess.run(cmd, input=stdin.encode(), capture_output=True, timeout=60)
    assert not p.returncode and not (cmd[0][:3] == "ogr" and p.stderr), (cmd, p.stderr[-3000:])
    return p.stdout


def same(w, got, where):  # what each reader's dict in `got` shares with `w` must be equal
    bad = [(r, k, w[k], d[k]) for r, d in got.items() for k in d.keys() & w if w[k] != d[k]]
    assert not bad, "%s: %.6000s" % (where, bad)
    return got


def canon(t, recs, hdr, boxes=()):  # no hdr or boxes: left unchecked
    return {k: v for k, v in dict(type=[t], recs=recs, hdr=hdr and zm(t, hdr), boxes=[
        zm(t, b) for b in boxes]).items() if v or k == "recs"}


def flat(t, starts, types, pts):  # a record's vertices, each with its part and that part's type
    return [vtx(t, j, t == 31 and types[j - 1], *p) for i, p in enumerate(pts)
            for j in [bisect.bisect(starts, i)]]


def fl(t, r, nm=0, close=False):  # the same from a record's parts, rings closed if `close`
    return [vtx(t, (j + 1) * (KIND[t] > 1), pt, *p[:3], None if nm else p[3]) for j, (pt, ps)
            in enumerate(r) for p in ps + ps[:1] * (close and RING(t, pt) and ps[-1] != ps[0])]


def ours(base, mode=3, t=0, recs=(), nms=()):  # our reading after `recs` went in (in `mode`)
    lines = "".join("R %d\n" % nm + "".join("P %d\n" % (v[1] or 0) * (not k or r[k - 1][0] != v[0])
        + "V %r %r %r %r\n" % (*v[2:4], v[4] or 0.0, (v[5], -1e39)[v[5] is None]) for k, v in
        enumerate(r)) for r, nm in zip(recs, nms))
    d = ast.literal_eval(run(TOOL, "shp", base, str(mode), str(t), stdin=lines).decode())
    return canon(d["type"], [flat(d["type"], *r[1:]) if r[2:] else None for r in d["recs"][1:]],
                 d["recs"][0][0], [KIND[d["type"]] and r[0] or None for r in d["recs"][1:]])


def pyshp(base):
    with shapefile.Reader(base) as r:
        col, t = lambda s, a, d: getattr(s, a, 0) or [d] * len(s.points), r.shapeType
        return canon(t, [flat(t, s.parts if KIND[t] > 1 else [], getattr(s, "partTypes", []), [
            [*p[:2], z, m] for p, z, m in zip(s.points, col(s, "z", 0), col(s, "m", None))])
                         if s.shapeType else None for s in r.shapes()], [*r.bbox, *r.zbox, *r.mbox])


def agree(base, want=None):  # ours and pyshp read the pair as `want` (pyshp's if None), and
    run("ogrinfo", "-ro", "-al", "-q", base + ".shp")  # OGR without complaint (see run)
    run(OVRIX, "check", "--quiet", base + ".shp")  # and `ovrix check` finds nothing
    py = pyshp(base)
    return same(want or py, dict(ours=ours(base), pyshp=py), base)["ours"]


def norm(code, v):  # as all readers see it: numbers floats, logicals bools, dates YYYYMMDD
    if isinstance(v, str) or hasattr(v, "year"):
        d = "".join(filter(str.isdigit, str(v)))
        v = d.strip("0") and d if code == "D" else v.strip(" *")
        v = {"T": True, "Y": True, "F": False, "N": False}.get(v.upper()) if code == "L" else v
    return None if v in ("", None) else float(v) if code in "NF" else v


def tab(fields, rows):  # a table's fields and rows but the deleted ones
    return dict(fields=fields, live=[[norm(f[1], v) for f, v in zip(fields, r)] for r in rows])


def edits(rows, dead=()):  # our tool's lines that append `rows`, then delete rows `dead`
    return "A\n%sE\n" % "".join("".join("V %d %s\n" % (i + 1, v) for i, v in enumerate(r) if v)
                                 + "R\n" for r in rows) + "".join("D %d\n" % k for k in dead)


def table_agree(path, want=None, edit=""):  # the table after our `edit` read by all as `want`
    d = ast.literal_eval(run(TOOL, "dbf", path, stdin=edit).decode())
    run(OVRIX, "check", "--quiet", path)
    mine = tab(d["fields"], [[v.decode("latin1") for v in r] for x, r in d["rows"] if not x])
    with shapefile.Reader(dbf=open(path, "rb"), encoding="latin1") as r:
        py = tab([list(f) for f in r.fields[1:]], r.iterRecords())
    og = csv.reader(run("ogr2ogr", "-f", "CSV", "/vsistdout/", path).decode().splitlines()[1:])
    same(want or mine, dict(ours=mine, pyshp=py, ogr=tab(d["fields"], og)), path)


def gen(t, rng, empty):  # 5 records of type t, some rings given closed, maybe an empty one
    k, xy = KIND[t], lambda: rng.choice([rng.uniform(-1e4, 1e4), rng.randint(-9, 9) / 8])
    for i, rec in enumerate(recs := [[] for _ in range(5)]):
        for _ in range(0 if i == 2 and empty else 1 if k < 2 else rng.randint(1, 3)):
            pt = rec[-1][0] if rec else None  # inner rings after outer, rings after first
            pt = rng.choice([0, 1, 2, 4] + [(pt or 0) | 1] * RING(t, pt)) if k == 4 else None
            ps = [[xy(), xy(), rng.uniform(-50, 50), rng.uniform(-5, 5)]
                  for _ in range(rng.randint(1 if k == 1 else 3, 6) if k else 1)]
            rec.append([pt, ps + ps[:1] * (RING(t, pt) and rng.random() < .5)])
    return recs


def extent(v, e):  # box, z range and m range of the vertices v; e where an axis has no value
    x = lambda j, f: f((p[j] for p in v if p[j] is not None), default=e[f is max])
    return [*map(x, (2, 3, 2, 3, 4, 4, 5, 5), [min, min, max, max] + [min, max] * 2)]


def geojson_agree(base):  # our GeoJSON read back by OGR has OGR's geometry of the pair (rings may
    d, path = ours(base), os.path.join(WORK, os.path.basename(base) + ".geojson")  # start or turn
    open(path, "wb").write(run(OVRIX, "dump", "--format", "geojson", "--quiet", base))  # other-
    rot, patch = lambda r: r[r.index(min(r)):] + r[:r.index(min(r))], d["type"][0] == 31  # wise;
    ring = lambda r: min(rot(r[:-1]), rot(r[-2::-1]))  # OGR's multipatches lose z at random)
    shape = lambda g: g and ("Polygon" in g["type"] and sorted(ring([tuple(p[:3 - patch]) for p in
        r]) for q in ([g["coordinates"]], g["coordinates"])[g["type"][0] == "M"] for r in q) or g)
    ogr = lambda p: [shape(f["geometry"]) for f in json.loads(run("ogr2ogr", "-f", "GeoJSON", *[
        "-nlt", "MULTIPOLYGON"] * patch, "/vsistdout/", p))["features"]]
    assert ogr(path) == ogr(base + ".shp"), base  # and each vertex our reading's z and measure
    xyzm = lambda c, m: [(*c[:2], (c + [None])[2], m)] if not isinstance(c[0], list) else sum(
        (xyzm(a, b) for a, b in zip(c, m or [None] * len(c))), [])
    for f, r in zip(json.load(open(path))["features"], d["recs"]):
        g, want = f["geometry"], r and {v[2:] for v in r}
        assert (g and set(xyzm(g["coordinates"], f["properties"].get("measures")))) == want, path


def pairs(rng):  # ours at once and in two goes, then copied by pyshp and OGR (not to a PointZ
    for t in sorted(KIND):  # without measures: ours cannot read that)
        for var in ("with", "empty", "without", "mixed")[:(t in M) * 2 + 2 if KIND[t] else 1]:
            base, recs = os.path.join(WORK, "%d%s" % (t, var)), gen(t, rng, var == "empty")
            nms = [{"without": 1, "mixed": k % 2}.get(var, 0) for k in range(5)]
            ours(base + "once", 0, t, (inp := [fl(t, r) for r in recs]), nms)
            ours(base, 0, t, inp[:2], nms[:2]), ours(base, 2, t, inp[2:], nms[2:])
            assert all(read(base + e) == read(base + "once" + e) for e in (".shp", ".shx")), base
            recs = [fl(t, r, nm, True) for r, nm in zip(recs, nms)]  # how an empty record's box
            agree(base, canon(t, recs, [] not in recs and extent(sum(recs, []), (0.0, 0.0)), [
                KIND[t] and extent(r, EMPTY)[:8 - 2 * nm] + [-1e39] * 2 * nm or None  # widens the
                for r, nm in zip(recs, nms)]))  # file's is ours to choose
            _ = var == "with" and geojson_agree(base)
            with shapefile.Reader(base) as r, shapefile.Writer(shp=open(base + "py.shp", "wb"),
                    shx=open(base + "py.shx", "wb"), shapeType=t) as w:  # pyshp's copy, a null
                for i, s in enumerate(r.shapes()):  # record second (but points: ours refuse one)
                    _ = i == 1 and KIND[t] and w.null(), w.shape(s) if s.points else w.null()
            agree(base + "py")
            for dim in (["XYZ"] * (t in (13, 15, 18)) + ["layer_dim"] * (t < 31)) * (var == "with"):
                run("ogr2ogr", base + dim + ".shp", base + ".shp", "-dim", dim), agree(base + dim)


def tables():  # one of each field type, pyshp's copy, ours appended to it
    fields = [["NAME", "C", 20, 0], ["COUNT", "N", 8, 0], ["VALUE", "N", 12, 3],
              ["RATIO", "F", 10, 4], ["FLAG", "L", 1, 0], ["WHEN", "D", 8, 0]]
    rows = [r.split(",") for r in ("Lisboa,42,-1234.567,0.2500,T,20240229;gone,1,1.000,1.0000,t,2"
                                   "0000101;,,,,?,;  padded text ,-7,0.000,-3.1416,F,19991231;last "
                                   "one,99999999,99999999.999,12345.6789,f,21001011").split(";")]
    path, copy, live = os.path.join(WORK, "t.dbf"), os.path.join(WORK, "p.dbf"), rows[:1] + rows[2:]
    table_agree(path, tab(fields, live), "B\n%sN\n" % "".join("F %s %d %d %d\n" % (
        n, "CNLDF".index(c) + 1000, w, d) for n, c, w, d in fields) + edits(rows, [2]))
    with shapefile.Reader(dbf=open(path, "rb")) as r, open(copy, "wb") as out, \
            shapefile.Writer(dbf=out) as w:  # pyshp's header is in the file before ours appends
        [w.field(*f) for f in r.fields[1:]], [w.record(*v) for v in r.iterRecords()]
    table_agree(copy, tab(fields, live + rows[1:2]), "O\n" + edits(rows[1:2]))  # ours appended


def real_world():  # read by all (storms tables: no fields); our copy has the same bytes but
    for name in "nc olinda1 storms_xyz storms_xyz_feature storms_xyzm storms_xyzm_feature".split():
        base, copy = os.path.join(SAMPLES, name), os.path.join(WORK, name)  # the .shx Z range
        _, d = "storms" in name or table_agree(base + ".dbf"), agree(base)  # (ours 0s) or, for
        # storms_xyzm (PolylineM in the PolylineZ layout), the same records
        ours(copy, 0, d["type"][0], d["recs"], [all(v[5] is None for v in r) for r in d["recs"]])
        mask = lambda p: read(p + ".shp") + read(p + ".shx")[:68] + read(p + ".shx")[84:]
        assert agree(copy)["recs"] == d["recs"] if "xyzm" in name else mask(base) == mask(copy)
        geojson_agree(base)


shutil.rmtree(WORK, True), os.makedirs(WORK), pairs(random.Random(1)), tables(), real_world()
