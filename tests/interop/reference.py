"""Reference geometry shared by the drivers, and what a file holding it
must read back as once our library has written it."""
import interop_common as ic

# ---- reference geometry (x, y only; heights and measures are added per type) ----

POINTS = [[[(1.5, -2.25)]], [[(1e6 + 0.1, 3.3e-7)]], [[(-180.0, 90.0)]], [[(0.1, 0.2)]]]
MULTIPOINTS = [
    [[(5.0, 5.0)]],
    [[(1.0, 2.0), (-3.5, 4.25), (1e-3, -1e-3)]],
    [[(10.0, 20.0), (11.0, 21.0), (12.5, 19.75), (13.0, 22.0), (1.0 / 3.0, 2.0 / 3.0)]],
]
LINES = [
    [[(0.0, 0.0), (10.0, 5.0), (20.0, 0.0)], [(30.0, 30.0), (40.0, 45.5)]],
    [[(-1.25, 3.75), (2.5, -7.125)]],
    [[(100.0, 100.0), (101.0, 102.0)], [(103.0, 104.0), (105.0, 106.0), (107.0, 108.0)],
     [(0.1, 0.2), (0.3, 0.4)]],
]
# Outer rings clockwise, holes counter-clockwise. Rings given open are closed
# by the library; the ones given closed must stay as they are.
POLYGONS = [
    [[(0.0, 0.0), (0.0, 10.0), (10.0, 10.0), (10.0, 0.0)],
     [(2.0, 2.0), (8.0, 2.0), (8.0, 8.0), (2.0, 8.0)]],
    [[(20.0, 20.0), (20.0, 30.0), (30.0, 30.0), (30.0, 20.0), (20.0, 20.0)],
     [(40.0, 40.0), (40.0, 45.0), (45.0, 40.0)]],
    [[(-10.0, -10.0), (-10.0, 10.5), (10.5, 10.5), (10.5, -10.0)],
     [(-8.0, -8.0), (-2.0, -8.0), (-2.0, -2.0), (-8.0, -2.0), (-8.0, -8.0)],
     [(2.0, 2.0), (8.25, 2.0), (8.25, 8.25)]],
]
# (part type, points): triangle strip 0, fan 1, outer 2, inner 3, first 4, ring 5.
MULTIPATCHES = [
    [(0, [(0.0, 0.0), (0.0, 1.0), (1.0, 0.0), (1.0, 1.0)]),
     (1, [(5.0, 5.0), (5.0, 6.0), (6.0, 6.5), (7.0, 6.0), (7.0, 5.0)])],
    [(2, [(0.0, 0.0), (0.0, 10.0), (10.0, 10.0), (10.0, 0.0)]),
     (3, [(2.0, 2.0), (8.0, 2.0), (8.0, 8.0), (2.0, 8.0)])],
    [(4, [(20.0, 20.0), (20.0, 30.0), (30.0, 30.0), (30.0, 20.0), (20.0, 20.0)]),
     (5, [(22.0, 22.0), (28.0, 22.0), (28.0, 28.0)])],
]


def dress(shape_type, geometry, typed_parts=False):
    """Adds heights and measures: each vertex of a record gets its own z and
    m, and a ring given closed repeats its first vertex's values too."""
    records = []
    for r, rec in enumerate(geometry):
        parts, k = [], 0
        for part in rec:
            ptype, pts = part if typed_parts else (None, part)
            out = []
            for i, (x, y) in enumerate(pts):
                z = 100.0 + 10 * r + 0.5 * k if shape_type in ic.Z_TYPES else None
                m = -1.0 + 1.25 * k + r / 8.0 if shape_type in ic.M_TYPES else None
                if i == len(pts) - 1 and len(pts) > 1 and (x, y) == pts[0]:
                    z, m = out[0][2], out[0][3]
                out.append((x, y, z, m))
                k += 1
            parts.append({"type": ptype, "pts": out})
        records.append({"parts": parts})
    return records


def expected(shape_type, records, no_measures):
    """What the file must hold: rings closed by repeating their first vertex,
    measures gone where the record was written without them."""
    out = []
    for rec in records:
        nm = rec.get("noMeasures", no_measures)
        parts = []
        for part in rec["parts"]:
            pts = list(part["pts"])
            ring = shape_type in ic.POLYGON_TYPES or (shape_type == 31 and part["type"] in ic.RING_PART_TYPES)
            if ring and len(pts) > 1 and pts[-1] != pts[0]:
                pts.append(pts[0])
            if nm:
                pts = [(x, y, z, None) for x, y, z, _ in pts]
            ptype = part["type"] if shape_type == 31 else None
            parts.append({"type": ptype, "pts": pts})
        xs = [p[0] for part in parts for p in part["pts"]]
        ys = [p[1] for part in parts for p in part["pts"]]
        out.append({"parts": parts, "bbox": [min(xs), min(ys), max(xs), max(ys)]})
    return out


GEOMETRY = {"point": POINTS, "multipoint": MULTIPOINTS, "polyline": LINES, "polygon": POLYGONS,
            "multipatch": MULTIPATCHES}
