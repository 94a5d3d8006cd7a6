// AcDb3dSolid::cleanBody: faces that lie on one surface merged, the edges between them gone,
// by Open CASCADE's unification.
//
// Unifying a whole mesh of a hundred thousand faces costs more than reading it, though few of
// its faces merge. So in a solid of planar faces only the faces that lie on one plane with a
// neighbour are unified, the edges and vertices where they meet the other faces kept as they
// are, and the merged faces take the place of those they replace. Any other solid is unified
// whole.
#include <BRepTools_History.hxx>
#include <BRepTools_ReShape.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Geom_Plane.hxx>
#include <ShapeUpgrade_UnifySameDomain.hxx>
#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopTools_MapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Iterator.hxx>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "core/faults.h"
#include "modeler/occ_shape.h"

namespace {

// Far looser than the unification's own tolerances, which decide.
constexpr double kNearlyOnePlane = 1e-6, kNearlyParallel = 1e-9;

struct Part {
  bool whole = false;               // the shape must be unified whole
  std::vector<TopoDS_Shape> faces;  // those that may merge with a neighbour
  TopTools_MapOfShape kept;         // their edges shared with other faces, and those edges' ends
};

Handle(Geom_Plane) planeOf(const TopoDS_Shape& face) {
  return Handle(Geom_Plane)::DownCast(BRep_Tool::Surface(TopoDS::Face(face)));
}

// The faces round each edge, by the faces' places in `faces`; a mesh has so many that the
// modeller's own maps of shapes cost most of the work. Keyed by the shared data alone, so a
// shape with placed parts is refused (`placed`).
struct Adjacency {
  struct Use {
    TopoDS_Shape edge;
    int faces[2] = {-1, -1};
    int count = 0;  // faces met
  };
  std::vector<TopoDS_Shape> faces;  // oriented as the shape has them
  std::vector<Use> edges;
  bool placed = false;
  bool twoEdgeVertex = false;  // a vertex where only two edges meet

  explicit Adjacency(const TopoDS_Shape& shape) {
    std::unordered_map<const void*, std::size_t> byData;
    for (TopExp_Explorer fx(shape, TopAbs_FACE); fx.More(); fx.Next()) {
      int f = int(faces.size());
      faces.push_back(fx.Current());
      placed = placed || !fx.Current().Location().IsIdentity();
      for (TopExp_Explorer ex(fx.Current(), TopAbs_EDGE); ex.More(); ex.Next()) {
        auto [at, fresh] = byData.emplace(ex.Current().TShape().get(), edges.size());
        if (fresh) edges.push_back({ex.Current()});
        Use& u = edges[at->second];
        if (u.count > 0 && u.faces[std::min(u.count, 2) - 1] == f) continue;  // a seam, met twice
        if (u.count < 2) u.faces[u.count] = f;
        ++u.count;
      }
    }
    std::unordered_map<const void*, int> edgesAt;
    for (const Use& u : edges)
      for (TopoDS_Iterator v(u.edge); v.More(); v.Next()) ++edgesAt[v.Value().TShape().get()];
    for (const auto& [vertex, n] : edgesAt) twoEdgeVertex = twoEdgeVertex || n == 2;
  }
};

// The faces to unify. A face on another surface, an edge not between two faces, or a vertex
// where only two edges meet (edges that may join) asks for the whole shape.
Part partToUnify(const TopoDS_Shape& shape) {
  Part p;
  Adjacency adj(shape);
  p.whole = adj.placed || adj.twoEdgeVertex;
  std::vector<bool> in(adj.faces.size());
  for (const Adjacency::Use& u : adj.edges) {
    if (p.whole) break;
    Handle(Geom_Plane) a = u.count == 2 ? planeOf(adj.faces[std::size_t(u.faces[0])]) : nullptr;
    Handle(Geom_Plane) b = u.count == 2 ? planeOf(adj.faces[std::size_t(u.faces[1])]) : nullptr;
    if (a.IsNull() || b.IsNull()) p.whole = true;
    else if (a->Position().IsCoplanar(b->Position(), kNearlyOnePlane, kNearlyParallel))
      in[std::size_t(u.faces[0])] = in[std::size_t(u.faces[1])] = true;
  }
  if (p.whole) return p;
  for (std::size_t f = 0; f < in.size(); ++f)
    if (in[f]) p.faces.push_back(adj.faces[f]);
  for (const Adjacency::Use& u : adj.edges) {
    if (in[std::size_t(u.faces[0])] == in[std::size_t(u.faces[1])]) continue;
    p.kept.Add(u.edge);
    for (TopoDS_Iterator v(u.edge); v.More(); v.Next()) p.kept.Add(v.Value());
  }
  return p;
}

TopoDS_Shape unifiedWhole(const TopoDS_Shape& shape) {
  ShapeUpgrade_UnifySameDomain unify(shape, Standard_True, Standard_True, Standard_False);
  unify.Build();
  return unify.Shape();
}

// Whether two planar faces face one way.
bool sameFacing(const TopoDS_Shape& a, const TopoDS_Shape& b) {
  double along = planeOf(a)->Axis().Direction().Dot(planeOf(b)->Axis().Direction());
  return (along > 0) == (a.Orientation() == b.Orientation());
}

// The shape with the part's faces unified; null when the unification did something other than
// merge faces into one, and the whole shape must be unified instead.
TopoDS_Shape unifiedPart(const TopoDS_Shape& shape, const Part& p) {
  BRep_Builder builder;
  TopoDS_Compound part;
  builder.MakeCompound(part);
  for (const TopoDS_Shape& f : p.faces) builder.Add(part, f);
  ShapeUpgrade_UnifySameDomain unify(part, Standard_True, Standard_True, Standard_False);
  unify.KeepShapes(p.kept);
  unify.Build();
  BRepTools_ReShape reshape;
  TopTools_MapOfShape placed;
  for (const TopoDS_Shape& face : p.faces) {
    const TopTools_ListOfShape& images = unify.History()->Modified(face);
    if (images.IsEmpty()) continue;
    if (images.Extent() != 1 || images.First().ShapeType() != TopAbs_FACE) return TopoDS_Shape();
    TopoDS_Shape image = images.First();
    if (!placed.Add(image)) {
      reshape.Remove(face);
      continue;
    }
    reshape.Replace(face, sameFacing(face, image) ? image : image.Reversed());
  }
  // Faces are replaced whole: nothing below them is looked at.
  return reshape.Apply(shape, TopAbs_FACE);
}

int closedShells(const TopoDS_Shape& shape, int& shells) {
  int closed = 0;
  shells = 0;
  for (TopExp_Explorer x(shape, TopAbs_SHELL); x.More(); x.Next(), ++shells) closed += BRep_Tool::IsClosed(x.Current());
  return closed;
}

// Every shell still closes where it closed: the merged faces meet the others as before.
bool closesAsBefore(const TopoDS_Shape& before, const TopoDS_Shape& after) {
  int shellsBefore = 0, shellsAfter = 0;
  int closedAfter = closedShells(after, shellsAfter);
  if (closedAfter == shellsAfter) return true;  // as a solid's shells were before
  return closedAfter == closedShells(before, shellsBefore) && shellsAfter == shellsBefore;
}

TopoDS_Shape unified(const TopoDS_Shape& shape) {
  Part p = partToUnify(shape);
  if (p.whole) return unifiedWhole(shape);
  if (p.faces.empty()) return shape;
  TopoDS_Shape result = unifiedPart(shape, p);
  return !result.IsNull() && closesAsBefore(shape, result) ? result : unifiedWhole(shape);
}

}  // namespace

// Both roads leave their input as it was (the unification's safe input mode, the reshaping's
// copies), so a failure leaves the solid unchanged.
Acad::ErrorStatus AcDb3dSolid::cleanBody() {
  if (int st = kv::fault::check(kv::fault::Call::cleanBody, Acad::eGeneralModelingFailure)) return Acad::ErrorStatus(st);
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (isNull()) return Acad::eNullExtents;
  TopoDS_Shape& shape = kv::modeler::shapeOf(*this);
  try {
    TopoDS_Shape result = unified(shape);
    if (result.IsNull()) return Acad::eGeneralModelingFailure;
    shape = result;
  } catch (const Standard_Failure&) {
    return Acad::eGeneralModelingFailure;
  }
  return Acad::eOk;
}
