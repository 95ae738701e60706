// Fuzz target: the writing interface driven by a coded sequence of calls.
//
// Input layout: byte 0 picks the record family (and with it the file's shape
// type), byte 1 holds flags (bit 0: keep file handles in reserve; bits 4-7:
// the type of a MultiPatch object's first part); then one operation per
// byte, each followed by its operands:
//   0-2  AppendCoord: a vertex (per value: a small integer or raw bits)
//   3    NewPart with a part type
//   4    Append, with a noMeasures flag
//   5    Shp_Close, then Shp_Open in append mode (2) on the same pair
//   6    SetId
//   7    Append the object to a file of another family's type (refused)
// A model kept beside the library says what each record must hold; at the
// end the pair is closed, opened for reading, and every record, the record
// count, the box and ranges of the header and both file lengths must be
// exactly what the model says.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "families.h"
#include "fuzz_util.h"
#include "ovrix32.h"
#include "platform/mem.h"

using namespace ovrix::fuzz;
using namespace ovrix::hardening;

namespace {

constexpr double kEmptyMin = 9.9e300;
constexpr double kEmptyMax = -9.9e300;

bool HasZ(int32_t t) { return t == SHP_POINTZ || t == SHP_POLYLINEZ || t == SHP_POLYGONZ || t == SHP_MULTIPOINTZ || t == SHP_MULTIPATCH; }
bool HasM(int32_t t) { return HasZ(t) || t == SHP_POINTM || t == SHP_POLYLINEM || t == SHP_POLYGONM || t == SHP_MULTIPOINTM; }

// The box folding of the append protocol: record 1 sets, later records
// widen, each axis testing its maximum only when its minimum did not move.
void Extend(Bbox& b, double first, double second) {
  if (first < b.xmin)
    b.xmin = first;
  else if (first > b.xmax)
    b.xmax = first;
  if (second < b.ymin)
    b.ymin = second;
  else if (second > b.ymax)
    b.ymax = second;
}

// What the file must hold.
struct ModelFile {
  int32_t type = 0;
  std::vector<RecordImage> records;
  Bbox box{kEmptyMin, kEmptyMin, kEmptyMax, kEmptyMax};
  Bbox mz{kEmptyMin, kEmptyMin, kEmptyMax, kEmptyMax};  // x = M, y = Z
};

// What the object under construction holds, as the model sees it, and the
// rules by which the library's calls change it and the file.
class ModelObject {
 public:
  ModelObject(const Family& f, int32_t firstPartType)
      : f_(f),
        types_{firstPartType},
        firstType_(firstPartType),
        hasMeasures_(f.dims >= 3 && f.kind != Kind::Point && f.kind != Kind::MultiPoint ? 1 : 0) {}

  void AppendCoord(Vertex v) {
    if (f_.dims < 3) v.m = 0;
    if (f_.dims < 4) v.z = 0;
    if (f_.kind == Kind::Point) {
      points_.assign(1, v);
      return;
    }
    points_.push_back(v);
    if (points_.size() == 1) {
      box_ = {v.x, v.y, v.x, v.y};
      mz_ = {v.m, v.z, v.m, v.z};
    } else {
      Extend(box_, v.x, v.y);
      Extend(mz_, v.m, v.z);
    }
  }

  // `accepted`: what the library answered (only MultiPatch refuses a part,
  // by its ring rules, and then changes nothing).
  void NewPart(int32_t partType, int32_t accepted) {
    const bool currentEmpty = !starts_.empty() && starts_.back() == static_cast<int32_t>(points_.size());
    if (f_.kind == Kind::MultiPatch) {
      if (!accepted) return;
      if (currentEmpty) {
        types_.back() = partType;  // an empty part takes the type instead
        if (types_.size() == 1) firstType_ = partType;
        return;
      }
      if (IsRing(types_.back())) CloseRing();
      starts_.push_back(static_cast<int32_t>(points_.size()));
      types_.push_back(partType);
      return;
    }
    if (f_.kind == Kind::Polygon) {
      CloseRing();
    } else if (currentEmpty) {
      return;  // never a new part behind an empty one
    }
    starts_.push_back(static_cast<int32_t>(points_.size()));
  }

  // Whether the library must accept NewPart with this type: only inner
  // rings (3) and rings (5) depend on the part before them, and an object
  // needs a part to start another.
  bool MustAcceptPart(int32_t partType) const {
    return f_.kind != Kind::MultiPatch || (!starts_.empty() && partType != 3 && partType != 5);
  }

  // The first step of every append, done even when the append then refuses:
  // a polygon's last ring is closed, a polyline's empty last part dropped.
  void FinishLastPart() {
    if (f_.kind == Kind::Polygon) {
      CloseRing();
    } else if (f_.kind == Kind::MultiPatch && !starts_.empty()) {
      if (IsRing(types_.back())) CloseRing();
      if (!starts_.empty() && starts_.back() == static_cast<int32_t>(points_.size())) {
        starts_.pop_back();
        types_.pop_back();
      }
    } else if (f_.kind == Kind::Line && !starts_.empty() && starts_.back() == static_cast<int32_t>(points_.size())) {
      starts_.pop_back();
    }
  }

  void Append(int32_t noMeasures, ModelFile& file) {
    if (f_.kind == Kind::Point) return AppendPoint(file);
    FinishLastPart();
    const bool measures = f_.dims >= 3 && noMeasures == 0;
    RecordImage rec;
    if (f_.kind != Kind::MultiPoint) {
      rec.numParts = static_cast<int32_t>(starts_.size());
      rec.partStarts = starts_;
    }
    if (f_.kind == Kind::MultiPatch) rec.partTypes = types_;
    rec.points = points_;
    for (Vertex& v : rec.points)
      if (f_.dims >= 3 && !measures) v.m = NO_DATA;
    rec.box = box_;
    file.records.push_back(rec);
    // The object is emptied; its boxes stay until the next first vertex.
    const bool empty = points_.empty();
    points_.clear();
    starts_.assign(1, 0);
    types_.assign(1, firstType_);  // the first part's type stays for the next record
    if (f_.dims >= 3)
      hasMeasures_ = (f_.kind == Kind::Polygon || f_.kind == Kind::MultiPatch || measures) ? 1 : 0;
    // A MultiPoint or MultiPatch object without points goes out with the
    // empty box and leaves the file's box and ranges alone.
    if (empty && (f_.kind == Kind::MultiPoint || f_.kind == Kind::MultiPatch)) {
      file.records.back().box = {kEmptyMin, kEmptyMin, kEmptyMax, kEmptyMax};
      return;
    }
    const bool first = file.records.size() == 1;
    if (first) {
      file.box = box_;
    } else {
      Extend(file.box, box_.xmin, box_.ymin);
      Extend(file.box, box_.xmax, box_.ymax);
    }
    if (f_.dims == 3 && measures) {
      const Bbox m{mz_.xmin, 0, mz_.xmax, 0};
      if (first) {
        file.mz = m;
      } else {
        Extend(file.mz, m.xmin, 0);
        Extend(file.mz, m.xmax, 0);
      }
    } else if (f_.dims == 4) {
      if (first && measures) {
        file.mz = mz_;
      } else if (first) {
        file.mz.ymin = mz_.ymin;
        file.mz.ymax = mz_.ymax;
      } else {
        // Without measures the file's own M range stands in for the
        // record's, read afresh for each corner.
        Extend(file.mz, measures ? mz_.xmin : file.mz.xmin, mz_.ymin);
        Extend(file.mz, measures ? mz_.xmax : file.mz.xmax, mz_.ymax);
      }
    }
  }

 private:
  // A point object is unchanged by the append; the file gains the record
  // and widens its boxes by the point.
  void AppendPoint(ModelFile& file) {
    RecordImage rec;
    rec.points.push_back(points_.empty() ? Vertex{} : points_[0]);
    const Vertex& v = rec.points[0];
    file.records.push_back(rec);
    if (file.records.size() == 1) {
      file.box = {v.x, v.y, v.x, v.y};
      file.mz = {v.m, v.z, v.m, v.z};
    } else {
      Extend(file.box, v.x, v.y);
      Extend(file.mz, v.m, v.z);
    }
  }

  // A vertex as GetCoord reports it.
  Vertex Reported(const Vertex& v) const {
    Vertex r = v;
    if (f_.dims >= 3 && hasMeasures_ == 0) r.m = NO_DATA;
    return r;
  }

  // Closes the last ring: drops it when empty, else repeats its first vertex
  // when the last one differs.
  void CloseRing() {
    if (starts_.empty()) return;
    const size_t first = static_cast<size_t>(starts_.back());
    if (points_.size() < first + 1) {
      starts_.pop_back();
      if (f_.kind == Kind::MultiPatch) types_.pop_back();
      return;
    }
    const Vertex a = Reported(points_[first]);
    const Vertex b = Reported(points_.back());
    if (!RingClosed(a, b, f_.dims)) AppendCoord(a);
  }

  const Family& f_;
  std::vector<Vertex> points_;
  std::vector<int32_t> starts_{0};
  std::vector<int32_t> types_;  // MultiPatch: type of each part
  int32_t firstType_;           // the type stored for part 1, kept when part 1 is dropped
  int32_t hasMeasures_;
  Bbox box_{kEmptyMin, kEmptyMin, kEmptyMax, kEmptyMax};
  Bbox mz_{kEmptyMin, kEmptyMin, kEmptyMax, kEmptyMax};
};

double Value(Reader& in) {
  const uint8_t how = in.U8();
  if (how & 1) return static_cast<double>(static_cast<int8_t>(how) >> 1);
  return in.Double();
}

Vertex VertexFor(const Family& f, Reader& in) {
  Vertex v;
  v.x = Value(in);
  v.y = Value(in);
  if (f.dims >= 3) v.m = Value(in);
  if (f.dims >= 4) v.z = Value(in);
  return v;
}

// The file's M and Z range as the header carries it across a close and an
// open: types without a range store zeros, and an M range that was never
// set is stored as zeros too.
Bbox HeaderRoundTrip(int32_t type, Bbox mz) {
  if (!HasZ(type)) mz.ymin = mz.ymax = 0;
  if (!HasM(type) || mz.xmin == kEmptyMin || mz.xmax == kEmptyMax) mz.xmin = mz.xmax = 0;
  return mz;
}

bool SameBox(const Bbox& a, const Bbox& b) {
  return SameBits(a.xmin, b.xmin) && SameBits(a.ymin, b.ymin) && SameBits(a.xmax, b.xmax) && SameBits(a.ymax, b.ymax);
}

// File-level checks after the pair was closed.
void CheckFiles(const std::string& base, const ModelFile& model) {
  const std::vector<uint8_t> shp = ReadBytes(base + ".shp");
  const std::vector<uint8_t> shx = ReadBytes(base + ".shx");
  FUZZ_CHECK(shp.size() >= 100 && shx.size() >= 100);
  auto be32 = [](const std::vector<uint8_t>& b, size_t at) {
    return static_cast<size_t>(b[at]) << 24 | static_cast<size_t>(b[at + 1]) << 16 | static_cast<size_t>(b[at + 2]) << 8 |
           static_cast<size_t>(b[at + 3]);
  };
  FUZZ_CHECK(be32(shp, 24) * 2 == shp.size());
  FUZZ_CHECK(be32(shx, 24) * 2 == shx.size());
  FUZZ_CHECK(shx.size() == 100 + 8 * model.records.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  const std::vector<Family>& families = Families();
  const Family& f = families[in.U8() % families.size()];
  const uint8_t flags = in.U8();
  const int64_t liveBefore = ovrix::Mem_LiveBlocks();
  if (flags & 1) FUZZ_CHECK(Shp_ReserveFileHandles(3) == 3);

  const std::string baseStr = ScratchPath("written");
  std::vector<char> base = WritableName(baseStr);
  const std::string otherStr = ScratchPath("other");
  std::vector<char> other = WritableName(otherStr);

  ShpFile* shp = Shp_Create();
  FUZZ_CHECK(shp != nullptr);
  FUZZ_CHECK(Shp_New(shp, base.data(), f.shapeType) == 1);
  void* obj = f.create(static_cast<int32_t>(flags >> 4));  // MultiPatch: the first part's type
  FUZZ_CHECK(obj != nullptr);
  const int32_t firstPartType = static_cast<int32_t>(flags >> 4);
  ModelObject mobj(f, firstPartType);
  ModelFile mfile;
  mfile.type = f.shapeType;

  int ops = 0;
  while (!in.Empty() && ops++ < 4096) {
    switch (in.U8() % 8) {
      case 0:
      case 1:
      case 2: {
        const Vertex v = VertexFor(f, in);
        FUZZ_CHECK(f.appendCoord(obj, v) == 1);
        mobj.AppendCoord(v);
        break;
      }
      case 3: {
        const int32_t partType = static_cast<int8_t>(in.U8());
        if (f.newPart == nullptr) break;
        const int32_t accepted = f.newPart(obj, partType);
        if (mobj.MustAcceptPart(partType)) FUZZ_CHECK(accepted == 1);
        mobj.NewPart(partType, accepted);
        break;
      }
      case 4: {
        const int32_t noMeasures = in.U8() & 1;
        FUZZ_CHECK(f.append(shp, obj, noMeasures) == 1);
        mobj.Append(noMeasures, mfile);
        FUZZ_CHECK(Shp_GetNumShapes(shp) == static_cast<int32_t>(mfile.records.size()));
        Bbox box;
        Shp_GetBoundingBox(shp, &box);
        FUZZ_CHECK(SameBox(box, mfile.box));
        break;
      }
      case 5: {
        FUZZ_CHECK(Shp_Close(shp) == 1);
        CheckFiles(baseStr, mfile);
        FUZZ_CHECK(Shp_Open(shp, base.data(), 2) == 1);
        FUZZ_CHECK(Shp_GetNumShapes(shp) == static_cast<int32_t>(mfile.records.size()));
        mfile.mz = HeaderRoundTrip(mfile.type, mfile.mz);
        break;
      }
      case 6: {
        const int32_t id = in.I32();
        f.setId(obj, id);
        FUZZ_CHECK(f.getId(obj) == id);
        break;
      }
      case 7: {
        // A file of every other type refuses the object and stays empty.
        const Family& g = families[in.U8() % families.size()];
        // (A point object goes into a file of any point type.)
        if (g.shapeType == f.shapeType || (f.kind == Kind::Point && g.kind == Kind::Point)) break;
        ShpFile* wrong = Shp_Create();
        FUZZ_CHECK(Shp_New(wrong, other.data(), g.shapeType) == 1);
        FUZZ_CHECK(f.append(wrong, obj, 0) == 0);
        mobj.FinishLastPart();
        FUZZ_CHECK(Shp_GetNumShapes(wrong) == 0);
        Shp_Destroy(wrong);
        break;
      }
    }
  }
  FUZZ_CHECK(Shp_Close(shp) == 1);
  CheckFiles(baseStr, mfile);

  // Read everything back.
  FUZZ_CHECK(Shp_Open(shp, base.data(), 3) == 1);
  FUZZ_CHECK(Shp_GetNumShapes(shp) == static_cast<int32_t>(mfile.records.size()));
  Bbox box;
  Shp_GetBoundingBox(shp, &box);
  if (!mfile.records.empty()) FUZZ_CHECK(SameBox(box, mfile.box));
  const Bbox mz = HeaderRoundTrip(mfile.type, mfile.mz);
  double mn, mx;
  Shp_GetMeasureRange(shp, &mn, &mx);
  if (!mfile.records.empty()) FUZZ_CHECK(SameBits(mn, mz.xmin) && SameBits(mx, mz.xmax));
  Shp_GetZCoordRange(shp, &mn, &mx);
  if (!mfile.records.empty()) FUZZ_CHECK(SameBits(mn, mz.ymin) && SameBits(mx, mz.ymax));
  void* back = f.create(0);
  for (size_t i = 0; i < mfile.records.size(); ++i) {
    FUZZ_CHECK(f.read(shp, static_cast<int32_t>(i + 1), back) == 1);
    const RecordImage got = Capture(f, back);
    FUZZ_CHECK(SamePoints(got.points, mfile.records[i].points, f.dims));
    FUZZ_CHECK(got.numParts == mfile.records[i].numParts && got.partStarts == mfile.records[i].partStarts &&
               got.partTypes == mfile.records[i].partTypes);
    if (f.kind != Kind::Point) FUZZ_CHECK(SameBox(got.box, mfile.records[i].box));
  }
  FUZZ_CHECK(f.read(shp, static_cast<int32_t>(mfile.records.size() + 1), back) == 0);
  FUZZ_CHECK(f.destroy(back) == 1);
  FUZZ_CHECK(f.destroy(obj) == 1);
  FUZZ_CHECK(Shp_Destroy(shp) == 1);
  if (flags & 1) // Files opened while the reserve was empty add a placeholder when they
  // close, so the reserve can only have grown.
  FUZZ_CHECK(Shp_FreeFileHandles() >= 3);
  FUZZ_CHECK(ovrix::Mem_LiveBlocks() == liveBefore);
  return 0;
}
