// Copies of polyhedra: see copyPolyhedron in occ_shape.h.
//
// The modeller's own copy rebuilds any shape through a general modifier that costs some
// thirty microseconds a face: more than reading the mesh the solid came from. A solid of
// planes and lines needs none of its generality: each vertex, edge and face is made anew once,
// with copies of its point, line or plane, and put together as the source is.
#include <cstdint>
#include <vector>

#include <BRep_Builder.hxx>
#include <BRep_CurveRepresentation.hxx>
#include <BRep_ListIteratorOfListOfCurveRepresentation.hxx>
#include <BRep_TEdge.hxx>
#include <BRep_TVertex.hxx>
#include <BRep_Tool.hxx>
#include <Geom_Line.hxx>
#include <Geom_Plane.hxx>
#include <Poly_Triangulation.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Iterator.hxx>

#include "modeler/occ_shape.h"
#include "opennurbs/point_index.h"

namespace kv::modeler {
namespace {

struct NotAPolyhedron {};

class PolyhedronCopy {
public:
  TopoDS_Shape copy(const TopoDS_Shape& s) {
    if (!s.Location().IsIdentity()) throw NotAPolyhedron{};
    // The shared data's address as a key of the platform's table of three words.
    auto address = reinterpret_cast<std::uintptr_t>(s.TShape().get());
    const std::uint32_t key[3] = {std::uint32_t(address), std::uint32_t(std::uint64_t(address) >> 32), 0};
    auto fresh = std::uint32_t(done_.size());
    std::uint32_t at = copies_.findOrAdd(key, kv::PointIndex::hash(key), fresh);
    if (at != fresh) return done_[at].Oriented(s.Orientation());
    done_.push_back(TopoDS_Shape());
    TopoDS_Shape made = empty(s);
    for (TopoDS_Iterator it(s, Standard_False, Standard_False); it.More(); it.Next()) builder_.Add(made, copy(it.Value()));
    made.Closed(s.Closed());
    made.Orientable(s.Orientable());
    done_[at] = made;
    return made.Oriented(s.Orientation());
  }

private:
  // A new shape of the source's kind and geometry, facing forward, holding nothing yet.
  TopoDS_Shape empty(const TopoDS_Shape& s) {
    switch (s.ShapeType()) {
      case TopAbs_VERTEX: return vertex(TopoDS::Vertex(s));
      case TopAbs_EDGE: return edge(TopoDS::Edge(s));
      case TopAbs_FACE: return face(TopoDS::Face(s));
      case TopAbs_WIRE: {
        TopoDS_Wire w;
        builder_.MakeWire(w);
        return w;
      }
      case TopAbs_SHELL: {
        TopoDS_Shell sh;
        builder_.MakeShell(sh);
        return sh;
      }
      case TopAbs_SOLID: {
        TopoDS_Solid so;
        builder_.MakeSolid(so);
        return so;
      }
      case TopAbs_COMPOUND: {
        TopoDS_Compound c;
        builder_.MakeCompound(c);
        return c;
      }
      default: throw NotAPolyhedron{};
    }
  }

  // Points on curves or surfaces tie a vertex to geometry that is not copied.
  TopoDS_Vertex vertex(const TopoDS_Vertex& v) {
    if (!Handle(BRep_TVertex)::DownCast(v.TShape())->Points().IsEmpty()) throw NotAPolyhedron{};
    TopoDS_Vertex out;
    builder_.MakeVertex(out, BRep_Tool::Pnt(v), BRep_Tool::Tolerance(v));
    return out;
  }

  // A line and nothing else: no curve on a surface, no polygon of a faceting.
  TopoDS_Edge edge(const TopoDS_Edge& e) {
    const BRep_ListOfCurveRepresentation& reps = Handle(BRep_TEdge)::DownCast(e.TShape())->Curves();
    if (reps.Extent() != 1 || !reps.First()->IsCurve3D()) throw NotAPolyhedron{};
    double a, b;
    Handle(Geom_Curve) curve = BRep_Tool::Curve(e, a, b);
    if (curve.IsNull() || curve->DynamicType() != STANDARD_TYPE(Geom_Line) || BRep_Tool::Degenerated(e))
      throw NotAPolyhedron{};
    TopoDS_Edge out;
    builder_.MakeEdge(out, Handle(Geom_Curve)::DownCast(curve->Copy()), BRep_Tool::Tolerance(e));
    builder_.Range(out, a, b);
    builder_.SameParameter(out, BRep_Tool::SameParameter(e));
    builder_.SameRange(out, BRep_Tool::SameRange(e));
    return out;
  }

  TopoDS_Face face(const TopoDS_Face& f) {
    TopLoc_Location where;
    Handle(Geom_Surface) surface = BRep_Tool::Surface(f, where);
    if (surface.IsNull() || surface->DynamicType() != STANDARD_TYPE(Geom_Plane) || !where.IsIdentity() ||
        !BRep_Tool::Triangulation(f, where).IsNull())
      throw NotAPolyhedron{};
    TopoDS_Face out;
    builder_.MakeFace(out, Handle(Geom_Surface)::DownCast(surface->Copy()), BRep_Tool::Tolerance(f));
    builder_.NaturalRestriction(out, BRep_Tool::NaturalRestriction(f));
    return out;
  }

  BRep_Builder builder_;
  kv::PointIndex copies_;            // a source's shared data to its copy's place in done_
  std::vector<TopoDS_Shape> done_;
};

}  // namespace

TopoDS_Shape copyPolyhedron(const TopoDS_Shape& shape) {
  if (shape.IsNull()) return shape;
  try {
    return PolyhedronCopy().copy(shape);
  } catch (const NotAPolyhedron&) {
    return TopoDS_Shape();
  }
}

}  // namespace kv::modeler
