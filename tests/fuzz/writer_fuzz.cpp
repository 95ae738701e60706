// Fuzz target: writing calls coded in bytes, checked against a model. Byte 0: family; byte 1:
// flags (bit 0 handles in reserve, bits 4-7 a MultiPatch's first part type); per operation byte
// % 8: 0-2 AppendCoord (per value an odd byte c gives c >> 1, an even one 8 raw bytes follow),
// 3 NewPart (type byte), 4 Append (noMeasures: bit 0), 5 close, reopen to append, 6 SetId
// (4 bytes), 7 Append to a pair of another family's type (family byte).
#include "fuzz_util.h"

// A box widens axis by axis (a maximum only when the minimum did not move), a file's by corners.
void Widen(double& lo, double& hi, double v) { if (v < lo) lo = v; else if (v > hi) hi = v; }
void Extend(Bbox& b, double x, double y) { Widen(b.xmin, b.xmax, x), Widen(b.ymin, b.ymax, y); }
void Fold(Bbox& b, bool first, const Bbox& r) {
  if (first) b = r; else Extend(b, r.xmin, r.ymin), Extend(b, r.xmax, r.ymax); }

// The object (a point object holds one point from the start) and the file, as they must be.
struct Model {
  const Family& f;
  int32_t firstType;  // of part 1, kept for the next record also when part 1 is dropped
  bool point = f.kind == Kind::Point, patch = f.kind == Kind::MultiPatch;
  bool line = f.kind == Kind::Line, poly = f.kind == Kind::Polygon, multi = !f.partOffset && !point;
  std::vector<Vertex> pts = std::vector<Vertex>(point);
  std::vector<int32_t> starts{0}, types{firstType};
  Bbox box = point ? Bbox{} : kEmpty, mz = box, fbox = kEmpty, fmz = kEmpty;
  std::vector<RecordImage> recs{};
  size_t bytes = 100;  // of the .shp

  bool LastEmpty() const { return !starts.empty() && starts.back() == int32_t(pts.size()); }
  bool Ring() { return poly || (patch && !starts.empty() && IsRing(types.back())); }
  void DropEmpty() { if (LastEmpty()) starts.pop_back(), types.resize(starts.size()); }
  void Add(Vertex v) {
    point ? pts.assign(1, v) : pts.push_back(v);
    if (pts.size() == 1) box = {v.x, v.y, v.x, v.y}, mz = {v.m, v.z, v.m, v.z};
    else Extend(box, v.x, v.y), Extend(mz, v.m, v.z); }
  void CloseRing() {  // an open ring gets a copy of its first point, an empty one is dropped
    const bool open = Ring() && !starts.empty() && !LastEmpty();
    if (open && !RingClosed(pts[starts.back()], pts.back(), f.dims)) Add(pts[starts.back()]);
    if (Ring()) DropEmpty(); }
  // MultiPatch: none once its only part is dropped; 3 after 3 or a full 2, 5 after 5 or a full 4.
  bool Accepts(int32_t t) const {
    if (!patch || starts.empty()) return !patch;
    const int32_t c = types.back(), full = !LastEmpty();
    return t == 3 ? c == 3 || (c == 2 && full) : t != 5 || c == 5 || (c == 4 && full); }
  // An empty MultiPatch part takes the new type instead; no line part follows an empty one.
  void NewPart(int32_t t) {
    if (patch && LastEmpty()) firstType = types.size() == 1 ? t : firstType, types.back() = t;
    else if (CloseRing(), !line || !LastEmpty()) starts.push_back(pts.size()), types.push_back(t); }
  void Finish() { CloseRing(), line || patch ? DropEmpty() : void(); }  // by any append
  bool Append(bool noMeasures) {  // returns noMeasures
    const bool m = f.dims >= 3 && (point || !noMeasures), first = recs.empty();
    const bool none = pts.empty() && (multi || patch);  // an empty box, the file's left alone
    Finish();
    RecordImage r;
    if (f.partOffset) r.numParts = int32_t(starts.size()), r.partStarts = starts;
    if (patch) r.partTypes = types;
    r.points = pts, r.box = box = none ? kEmpty : box, mz = none ? kEmpty : mz;
    for (Vertex& v : r.points) v.m = m || f.dims < 3 ? v.m : NO_DATA;
    if (f.dims >= 3) r.mmin = m ? mz.xmin : NO_DATA, r.mmax = m ? mz.xmax : NO_DATA;
    if (f.dims == 4) r.zmin = mz.ymin, r.zmax = mz.ymax;
    recs.push_back(r);
    const size_t n = pts.size(), head = f.partOffset ? 52 + 4 * starts.size() * (1 + patch) : 48;
    bytes += point ? 12 + 8 * f.dims : head + 16 * n + ((f.dims == 4) + m) * (16 + 8 * n);
    if (!point) pts.clear(), starts = {0}, types = {firstType};
    if (none) return noMeasures;
    Fold(fbox, first, box);
    if (m) Fold(fmz, first, f.dims == 4 ? mz : Bbox{mz.xmin, 0, mz.xmax, 0});
    else if (f.dims == 4 && first) fmz.ymin = mz.ymin, fmz.ymax = mz.ymax;
    // Without measures the file's own M range stands in for the record's, read afresh per corner.
    else if (f.dims == 4) Extend(fmz, fmz.xmin, mz.ymin), Extend(fmz, fmz.xmax, mz.ymax);
    return noMeasures;
  }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const Family& f = Families()[in.Take(1) % Families().size()];
  const int32_t flags = int32_t(in.Take(1));
  auto value = [&] { auto c = in.Take<int8_t>(1); return c & 1 ? c >> 1 : in.Take<double>(8); };
  return Guarded(flags & 1, 3, [&] {
    std::vector<char> name = WritableName(Scratch("out")), other = WritableName(Scratch("other"));
    ShpFile *shp = Shp_Create(), *wrong = Shp_Create();
    void* obj = f.create(flags >> 4);
    Model m{f, flags >> 4};
    CHECK(Shp_New(shp, name.data(), f.shapeType) == 1);
    // File sizes, header box and ranges (0 if absent or never set), records: as the model says.
    auto check = [&](int32_t mode) {
      CHECK(Shp_Close(shp) == 1);
      const Buf s = ReadFile(Scratch("out.shp")), x = ReadFile(Scratch("out.shx"));
      Bbox& r = m.fmz;
      if (f.dims < 4) r.ymin = r.ymax = 0;
      if (f.dims < 3 || r.xmin == kEmpty.xmin || r.xmax == kEmpty.xmax) r.xmin = r.xmax = 0;
      const double zm[] = {r.ymin, r.ymax, r.xmin, r.xmax};
      CHECK(s.size() == m.bytes && x.size() == 100 + 8 * m.recs.size() && !memcmp(&s[68], zm, 32));
      CHECK(2 * Be(s, 24) == s.size() && 2 * Be(x, 24) == x.size() && !memcmp(&s[36], &m.fbox, 32));
      CHECK(Shp_Open(shp, name.data(), 3) == 1 && Shp_GetNumShapes(shp) == int(m.recs.size()));
      void* o = f.create(0);
      for (size_t i = 0; i < m.recs.size(); ++i)
        CHECK(f.read(shp, int32_t(i + 1), o) && SameImage(f, Capture(f, o), m.recs[i], !m.point));
      CHECK(f.read(shp, int32_t(m.recs.size() + 1), o) == 0 && f.destroy(o) == 1);
      CHECK(Shp_Close(shp) == 1 && (mode == 3 || Shp_Open(shp, name.data(), mode) == 1));
    };
    for (int ops = 0; in.n > 0 && ops < 4096; ++ops) {
      const uint64_t op = in.Take(1) % 8;
      if (op == 5) check(2);
      else if (op == 4) CHECK(f.append(shp, obj, m.Append(in.Take(1) & 1)) == 1);
      else if (op <= 2) {
        const Vertex v{value(), value(), f.dims >= 3 ? value() : 0, f.dims >= 4 ? value() : 0};
        CHECK(f.appendCoord(obj, v) == 1), m.Add(v);
      } else if (op == 3) {
        const int32_t t = in.Take<int8_t>(1), ok = f.newPart ? f.newPart(obj, t) : 0;
        CHECK(!f.newPart || ok == m.Accepts(t)), ok ? m.NewPart(t) : void();
      } else if (op == 6) {
        const int32_t id = in.Take<int32_t>(4); f.setId(obj, id), CHECK(f.getId(obj) == id);
      } else {  // a pair of another type refuses the object (a point goes into any point pair)
        const Family& g = Families()[in.Take(1) % Families().size()];
        if (g.shapeType == f.shapeType || (m.point && g.kind == Kind::Point)) continue;
        CHECK(Shp_New(wrong, other.data(), g.shapeType) == 1 && f.append(wrong, obj, 0) == 0);
        CHECK(Shp_GetNumShapes(wrong) == 0), m.Finish();
      }
    }
    check(3);
    CHECK(f.destroy(obj) == 1 && Shp_Destroy(shp) == 1 && Shp_Destroy(wrong) == 1);
  });
}
