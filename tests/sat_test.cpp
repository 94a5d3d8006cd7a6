// SAT files: reading outside files, round trips of our own, and refusals of broken input.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepBuilderAPI_NurbsConvert.hxx>
#include <BRepCheck_Analyzer.hxx>
#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakePrism.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRepPrimAPI_MakeTorus.hxx>
#include <BRep_Tool.hxx>
#include <BRepAdaptor_Curve.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <GCPnts_AbscissaPoint.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>

#include "host_fixture.h"
#include "modeler/occ_shape.h"
#include "modeler/sat_acis.h"
#include "modeler/sat_reader.h"
#include "modeler/sat_writer.h"
#include "modeler/solids.h"

namespace fs = std::filesystem;
using std::numbers::pi;
namespace sat = kv::modeler::sat;

#include "test_files.h"

namespace {

// Adaptive integration: the default one is off by 1e-3 on B-spline faces.
double volume(const TopoDS_Shape& s) {
  GProp_GProps props;
  BRepGProp::VolumeProperties(s, props, 1e-9);
  return props.Mass();
}

double area(const TopoDS_Shape& s) {
  GProp_GProps props;
  BRepGProp::SurfaceProperties(s, props, 1e-9);
  return props.Mass();
}

int count(const TopoDS_Shape& s, TopAbs_ShapeEnum type) {
  int n = 0;
  for (TopExp_Explorer x(s, type); x.More(); x.Next()) ++n;
  return n;
}

// Surface types of a shape's faces, by Open CASCADE's enumeration.
std::map<GeomAbs_SurfaceType, int> surfaceTypes(const TopoDS_Shape& s) {
  std::map<GeomAbs_SurfaceType, int> n;
  for (TopExp_Explorer x(s, TopAbs_FACE); x.More(); x.Next()) ++n[BRepAdaptor_Surface(TopoDS::Face(x.Current())).GetType()];
  return n;
}

const char* className(const void* p) { return static_cast<const AcDbEntity*>(p)->isA()->name(); }

void deleteAll(AcDbVoidPtrArray& items) {
  for (int i = 0; i < items.length(); ++i) delete static_cast<AcDbEntity*>(items[i]);
  items.setLogicalLength(0);
}

const fs::path kSharedSat = fs::path(KV_SHARED_DIR) / "testdata" / "sat";

// Our own SAT of a shape, read back in memory.
std::vector<sat::ReadBody> throughSat(const TopoDS_Shape& shape, sat::BodyKind kind, std::string* text = nullptr) {
  std::string out, error;
  EXPECT_TRUE(sat::write({{shape, kind}}, out, error)) << error;
  if (text) *text = out;
  std::vector<sat::ReadBody> bodies;
  EXPECT_TRUE(sat::read(out, bodies, error)) << error << "\n" << out;
  return bodies;
}

// Reads text that must be refused; answers the reason.
std::string refusal(const std::string& text) {
  std::vector<sat::ReadBody> bodies;
  std::string error;
  EXPECT_FALSE(sat::read(text, bodies, error)) << text.substr(0, 400);
  EXPECT_FALSE(error.empty());
  return error;
}

std::string boxText() {
  std::string text, error;
  EXPECT_TRUE(sat::write({{BRepPrimAPI_MakeBox(2, 3, 4).Shape(), sat::BodyKind::Solid}}, text, error)) << error;
  return text;
}

// The line of record `number` in our own output (which numbers every record).
std::size_t recordLine(const std::string& text, int number) {
  std::size_t at = text.find("\n-" + std::to_string(number) + " ");
  EXPECT_NE(at, std::string::npos);
  return at + 1;
}

std::string replaceInRecord(std::string text, int number, const std::string& from, const std::string& to) {
  std::size_t at = recordLine(text, number);
  std::size_t end = text.find('#', at);
  std::size_t hit = text.find(from, at);
  EXPECT_TRUE(hit != std::string::npos && hit < end) << from << " not in record " << number;
  if (hit != std::string::npos && hit < end) text.replace(hit, from.size(), to);
  return text;
}

int firstRecordOfType(const std::string& text, const std::string& type) {
  std::smatch m;
  std::regex re("\\n-(\\d+) " + type + " ");
  EXPECT_TRUE(std::regex_search(text, m, re)) << type;
  return std::stoi(m[1]);
}

// 7.0 text of ours as 4.0 text: no id and pattern fields, no edge parameters or convexity, no
// approximation word in spline data.
std::string asVersion400(const std::string& text) {
  std::string out = std::regex_replace(text, std::regex("^700 "), "400 ");
  out = std::regex_replace(out, std::regex(" \\$-1 -1 \\$-1"), " $-1");
  out = std::regex_replace(out, std::regex("( edge \\$-1 \\$\\d+) \\S+ (\\$\\d+) \\S+"), "$1 $2");
  out = std::regex_replace(out, std::regex(" @7 unknown"), "");
  out = std::regex_replace(out, std::regex("(exact(sur|cur)) full"), "$1");
  return out;
}

// Our text with its records in reverse order, each keeping its number.
std::string reversedRecords(const std::string& text) {
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) start = text.find('\n', start) + 1;
  std::size_t end = text.find("End-of-ACIS-data");
  std::vector<std::string> records;
  for (std::size_t at = start; at < end;) {
    std::size_t stop = text.find(" #\n", at) + 3;
    records.push_back(text.substr(at, stop - at));
    at = stop;
  }
  std::string out = text.substr(0, start);
  for (auto it = records.rbegin(); it != records.rend(); ++it) out += *it;
  return out + text.substr(end);
}

TopoDS_Shape splineProfilePrism() {
  // A closed non-rational B-spline outline extruded: B-spline edges and swept side faces.
  TColgp_Array1OfPnt poles(1, 7);
  const double pts[7][2] = {{0, 0}, {4, -1}, {6, 2}, {5, 5}, {2, 6}, {-1, 4}, {0, 0}};
  for (int i = 0; i < 7; ++i) poles(i + 1) = gp_Pnt(pts[i][0], pts[i][1], 0);
  TColStd_Array1OfReal knots(1, 5);
  TColStd_Array1OfInteger mults(1, 5);
  for (int i = 1; i <= 5; ++i) {
    knots(i) = i - 1;
    mults(i) = (i == 1 || i == 5) ? 4 : 1;
  }
  Handle(Geom_BSplineCurve) outline = new Geom_BSplineCurve(poles, knots, mults, 3);
  TopoDS_Wire wire = BRepBuilderAPI_MakeWire(BRepBuilderAPI_MakeEdge(outline).Edge()).Wire();
  TopoDS_Face face = BRepBuilderAPI_MakeFace(wire, Standard_True).Face();
  return BRepPrimAPI_MakePrism(face, gp_Vec(0, 0, 3)).Shape();
}

// Our own output's records by number: the type, then the fields behind the 7.0 prefix.
struct TextRecord {
  std::string type;
  std::vector<std::string> fields;
};

std::map<int, TextRecord> recordsOf(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  for (int i = 0; i < 3; ++i) std::getline(in, line);
  std::map<int, TextRecord> out;
  std::string word, number;
  TextRecord r;
  while (in >> word && word != "End-of-ACIS-data") {
    if (number.empty()) {
      number = word;
    } else if (r.type.empty()) {
      r.type = word;
    } else if (word == "#") {
      EXPECT_GE(r.fields.size(), 3u) << number;
      r.fields.erase(r.fields.begin(), r.fields.begin() + 3);  // $attrib id $pattern
      out[-std::stoi(number)] = r;
      number.clear();
      r = TextRecord();
    } else {
      r.fields.push_back(word);
    }
  }
  return out;
}

// Composite Simpson rule on [a, b] with n (even) steps.
double simpson(const std::function<double(double)>& f, double a, double b, int n = 2000) {
  double h = (b - a) / n, sum = f(a) + f(b);
  for (int i = 1; i < n; ++i) sum += (i % 2 ? 4 : 2) * f(a + i * h);
  return sum * h / 3;
}

// dagmc_cones.sat, worked out from its own records (identity transform): four cone-surfaces
// centred at the origin with base radius 25, sine -cosine (half angle 45 degrees, narrowing
// along the axis), axes -x, +x, -z, +z, closed by the planes x = 25, x = -25, z = 25, z = -25.
// So four right cones of base radius 50 and height 50, two about x with apexes at x = -25 and
// x = 25, two the same about z; all faces forward, so the solid is their union. Seen along y,
// the union spans |y| up to the largest half width of the four: sqrt((25 + |x|)^2 - z^2) for
// |x| <= 25 from the x cones, the same with x and z swapped from the z cones. In the quarter
// x, z >= 0 the x cones are the wider where x >= z; by the symmetries the volume is 16 times
// the part over x >= z >= 0:
//   I1 = integral over 0 <= z <= x <= 25 of sqrt((25 + x)^2 - z^2),
//   I2 = integral over 25 < x <= 25 + z, 0 <= z <= 25 of sqrt((25 + z)^2 - x^2),
// each with its inner integral in closed form. z = t^2 takes the square root out of I2's end.
// The file's edges between cones are fitted B-splines: the solid read is within about 1e-7.
double crossedConesVolume() {
  double i1 = simpson(
      [](double x) {
        double r = 25 + x;
        return x / 2 * std::sqrt(r * r - x * x) + r * r / 2 * std::asin(x / r);
      },
      0, 25);
  double i2 = simpson(
      [](double t) {
        double r = 25 + t * t;
        return 2 * t * (r * r / 2 * std::acos(25 / r) - 12.5 * t * std::sqrt(t * t + 50));
      },
      0, 5);
  return 16 * (i1 + i2);
}

// The surface of the same union. A cap (x = 25, radius 50) loses what lies inside the z cones,
// |y| <= sqrt(z^2 + 50 |z|) for |z| <= 25: 2500 pi - 2500 sqrt(3) + 1250 ln(2 + sqrt(3)). A
// mantle (slant sqrt(2) dx, radius r = 25 + x) is inside the other x cone for x < 0, and at
// x >= 0 outside the z cones where |sin| of its angle about x is below x / r or above 25 / r:
// 4 asin(x / r) + 4 acos(25 / r) of its turn.
double crossedConesArea() {
  double cap = 2500 * pi - 2500 * std::sqrt(3.0) + 1250 * std::log(2 + std::sqrt(3.0));
  double mantle = simpson(
      [](double t) {
        double r = 25 + t * t;
        return 2 * t * std::sqrt(2.0) * r * (4 * std::asin(t * t / r) + 4 * std::acos(25 / r));
      },
      0, 5);
  return 4 * (cap + mantle);
}

// A sheet of one face without loops, so the whole patch, on a spline surface of degree 2 in u
// and 1 in v. Its control points, u varying fastest: (0 0 0) (1 0 2) (2 0 0), then (0 1 0)
// (1 1 0) (2 1 0). Along v = 0 it is the parabola from (0, 0, 0) over (1, 0, 1) to (2, 0, 0),
// along v = 1 the straight line beside it, so S(u, v) = (2u, v, 4u (1 - u) (1 - v)).
const char* const kSplineSurfaceRecord =
    "spline-surface $-1 -1 $-1 forward { exactsur full nubs 2 1 open open none none 2 2\n"
    "0 2 1 2 0 1 1 1\n"
    "0 0 0 1 0 2 2 0 0 0 1 0 1 1 0 2 1 0\n"
    "0 0 0 0 0 0 0 F 0 F 1 F 0 F 1 } I I I I #\n";

std::string splineSheetText() {
  return std::string("700 0 1 0\n"
                     "8 somebody 11 ACIS 7.0 NT 24 Thu Jan 16 12:00:00 2025\n"
                     "1 9.9999999999999995e-007 1e-010\n"
                     "-0 body $-1 -1 $-1 $1 $-1 $-1 #\n"
                     "-1 lump $-1 -1 $-1 $-1 $2 $0 #\n"
                     "-2 shell $-1 -1 $-1 $-1 $-1 $3 $-1 $1 #\n"
                     "-3 face $-1 -1 $-1 $-1 $-1 $2 $-1 $4 forward double out #\n"
                     "-4 ") +
         kSplineSurfaceRecord + "End-of-ACIS-data\n";
}

// The one face of a shape read from splineSheetText(), checked against S(u, v) worked out by
// hand: its extents, points at two (u, v), and the normal Su x Sv at one of them.
void expectTheSplineSheet(const TopoDS_Shape& shape) {
  ASSERT_EQ(count(shape, TopAbs_FACE), 1);
  TopoDS_Face face = TopoDS::Face(TopExp_Explorer(shape, TopAbs_FACE).Current());
  BRepAdaptor_Surface s(face);
  ASSERT_EQ(s.GetType(), GeomAbs_BSplineSurface);
  EXPECT_EQ(s.UDegree(), 2);
  EXPECT_EQ(s.VDegree(), 1);
  EXPECT_NEAR(s.FirstUParameter(), 0, 1e-12);
  EXPECT_NEAR(s.LastUParameter(), 1, 1e-12);
  EXPECT_NEAR(s.FirstVParameter(), 0, 1e-12);
  EXPECT_NEAR(s.LastVParameter(), 1, 1e-12);
  EXPECT_LT(s.Value(0.5, 0.25).Distance(gp_Pnt(1, 0.25, 0.75)), 1e-12);
  EXPECT_LT(s.Value(0.25, 0.5).Distance(gp_Pnt(0.5, 0.5, 0.375)), 1e-12);
  // Su = (2, 0, 0) and Sv = (0, 1, -1) at (0.5, 0.25).
  gp_Pnt p;
  gp_Vec su, sv;
  s.D1(0.5, 0.25, p, su, sv);
  gp_Vec normal = su.Crossed(sv);
  if (face.Orientation() == TopAbs_REVERSED) normal.Reverse();
  EXPECT_LT(normal.Normalized().XYZ().Subtracted(gp_XYZ(0, 1, 1).Normalized()).Modulus(), 1e-12);
  Bnd_Box box;
  BRepBndLib::AddOptimal(shape, box, Standard_False, Standard_False);
  double lo[3], hi[3];
  box.Get(lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
  const double expectLo[3] = {0, 0, 0}, expectHi[3] = {2, 1, 1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(lo[i], expectLo[i], 1e-6) << i;
    EXPECT_NEAR(hi[i], expectHi[i], 1e-6) << i;
  }
}

// The tokens of a record of `type` in our own output, from the type on.
std::vector<std::string> recordTokens(const std::string& text, const std::string& type) {
  std::vector<std::string> out;
  std::size_t at = text.find(" " + type + " ");
  if (at == std::string::npos) return out;
  std::istringstream words(text.substr(at, text.find('#', at) - at + 1));
  for (std::string w; words >> w;) out.push_back(w);
  return out;
}

}  // namespace

class Sat : public HostTest {
protected:
  ~Sat() override { deleteAll(read_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  static Acad::ErrorStatus acisIn(const std::string& file, AcDbVoidPtrArray& out) {
    return AcDbBody::acisIn(file.c_str(), out);
  }
  static Acad::ErrorStatus acisOut(const std::string& file, const AcDbVoidPtrArray& in) {
    return AcDbBody::acisOut(file.c_str(), in);
  }

  // Writes one entity to SAT, reads it back, and checks that the one entity read is of
  // `className` and keeps volume and area (or has those given, where the source's own
  // integration is the less exact one).
  void expectRoundTrip(AcDbModelerEntity* source, const char* className, double tol = 1e-6, double exactVolume = 0,
                       double exactArea = 0) {
    const TopoDS_Shape& before = kv::modeler::shapeOf(*source);
    AcDbVoidPtrArray in;
    in.append(static_cast<AcDbEntity*>(source));
    std::string file = path("trip.sat");
    ASSERT_EQ(acisOut(file, in), Acad::eOk);
    deleteAll(read_);
    ASSERT_EQ(acisIn(file, read_), Acad::eOk);
    ASSERT_EQ(read_.length(), 1);
    EXPECT_STREQ(::className(read_[0]), className);
    const TopoDS_Shape& after = kv::modeler::shapeOf(*static_cast<AcDbModelerEntity*>(static_cast<AcDbEntity*>(read_[0])));
    EXPECT_TRUE(BRepCheck_Analyzer(after).IsValid());
    double a = exactArea > 0 ? exactArea : area(before);
    EXPECT_NEAR(area(after), a, tol * a);
    double v = exactVolume > 0 ? exactVolume : volume(before);
    if (std::fabs(v) > 1e-12) {
      EXPECT_GT(volume(after), 0);
      EXPECT_NEAR(volume(after), v, tol * v);
    }
    EXPECT_EQ(count(after, TopAbs_FACE), count(before, TopAbs_FACE));
  }

  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
  AcDbVoidPtrArray read_;
};

// --- round trips ---------------------------------------------------------------------------

TEST_F(Sat, EveryPrimitiveKeepsVolumeAndAreaThroughSat) {
  struct Case {
    const char* name;
    std::function<Acad::ErrorStatus(AcDb3dSolid&)> make;
    double volume;
  };
  const Case cases[] = {
      {"box", [](AcDb3dSolid& s) { return s.createBox(2, 3, 4); }, 24},
      {"sphere", [](AcDb3dSolid& s) { return s.createSphere(1.5); }, 4.0 / 3 * pi * 1.5 * 1.5 * 1.5},
      {"cylinder", [](AcDb3dSolid& s) { return s.createFrustum(4, 1, 1, 1); }, pi * 4},
      {"cone", [](AcDb3dSolid& s) { return s.createFrustum(3, 2, 2, 0); }, pi * 4 * 3 / 3},
      {"frustum", [](AcDb3dSolid& s) { return s.createFrustum(2, 2, 2, 1); }, pi * 2 / 3 * (4 + 2 + 1)},
      {"torus", [](AcDb3dSolid& s) { return s.createTorus(5, 1); }, 2 * pi * pi * 5},
      {"wedge", [](AcDb3dSolid& s) { return s.createWedge(2, 3, 4); }, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AcDb3dSolid solid;
    ASSERT_EQ(c.make(solid), Acad::eOk);
    ASSERT_NEAR(volume(kv::modeler::shapeOf(solid)), c.volume, 1e-6 * c.volume);
    expectRoundTrip(&solid, "AcDb3dSolid");
  }
}

TEST_F(Sat, BooleanResultsKeepVolumeAndAreaThroughSat) {
  struct Case {
    const char* name;
    AcDb::BoolOperType op;
    std::function<void(AcDb3dSolid&, AcDb3dSolid&)> make;
  };
  AcGeMatrix3d shift = AcGeMatrix3d::translation(AcGeVector3d(0.7, 0.4, 0.3));
  const Case cases[] = {
      {"box with a hole", AcDb::kBoolSubtract,
       [](AcDb3dSolid& a, AcDb3dSolid& b) {
         a.createBox(4, 4, 2);
         b.createFrustum(3, 1, 1, 1);
       }},
      {"box and sphere", AcDb::kBoolUnite,
       [&](AcDb3dSolid& a, AcDb3dSolid& b) {
         a.createBox(2, 2, 2);
         b.createSphere(1.2);
         b.transformBy(shift);
       }},
      {"cylinder and torus", AcDb::kBoolIntersect,
       [](AcDb3dSolid& a, AcDb3dSolid& b) {
         a.createFrustum(1, 5, 5, 5);
         b.createTorus(4, 1.5);
       }},
      {"box less a cone", AcDb::kBoolSubtract,
       [&](AcDb3dSolid& a, AcDb3dSolid& b) {
         a.createBox(4, 4, 2);
         b.createFrustum(3, 1.5, 1.5, 0);
         b.transformBy(shift);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AcDb3dSolid a, b;
    c.make(a, b);
    double before = volume(kv::modeler::shapeOf(a));
    ASSERT_EQ(a.booleanOper(c.op, &b), Acad::eOk);
    ASSERT_FALSE(a.isNull());
    ASSERT_NE(volume(kv::modeler::shapeOf(a)), before);
    expectRoundTrip(&a, "AcDb3dSolid");
  }
}

TEST_F(Sat, BSplineFacedSolidsKeepVolumeAndAreaThroughSat) {
  TopoDS_Shape holed = BRepAlgoAPI_Cut(BRepPrimAPI_MakeBox(gp_Pnt(-2, -2, 0), 4, 4, 2).Shape(),
                                       BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, -1), gp::DZ()), 1, 4).Shape())
                           .Shape();
  // The outline's region has area 5011/180 (Green's theorem on its polynomial pieces); the
  // modeller integrates its swept faces less exactly than their B-spline form.
  TopoDS_Shape prism = splineProfilePrism();
  double outline = 0;
  for (TopExp_Explorer x(prism, TopAbs_EDGE); x.More(); x.Next()) {
    BRepAdaptor_Curve c(TopoDS::Edge(x.Current()));
    if (c.GetType() == GeomAbs_BSplineCurve) outline = std::max(outline, GCPnts_AbscissaPoint::Length(c, 1e-10));
  }
  ASSERT_GT(outline, 0);
  struct Case {
    const char* name;
    TopoDS_Shape shape;
    double volume = 0, area = 0;
  };
  const Case cases[] = {
      {"rational sphere", BRepBuilderAPI_NurbsConvert(BRepPrimAPI_MakeSphere(2).Shape()).Shape()},
      {"rational torus", BRepBuilderAPI_NurbsConvert(BRepPrimAPI_MakeTorus(4, 1).Shape()).Shape()},
      {"box with a hole", BRepBuilderAPI_NurbsConvert(holed).Shape()},
      {"swept B-spline outline", prism, 5011.0 / 60, 2 * 5011.0 / 180 + 3 * outline},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(BRepCheck_Analyzer(c.shape).IsValid());
    auto types = surfaceTypes(c.shape);
    ASSERT_GT(types[GeomAbs_BSplineSurface] + types[GeomAbs_SurfaceOfExtrusion], 0);
    AcDb3dSolid solid;
    kv::modeler::shapeOf(solid) = c.shape;
    expectRoundTrip(&solid, "AcDb3dSolid", 1e-5, c.volume, c.area);
    auto back = surfaceTypes(kv::modeler::shapeOf(*static_cast<AcDbModelerEntity*>(static_cast<AcDbEntity*>(read_[0]))));
    EXPECT_GT(back[GeomAbs_BSplineSurface], 0);
  }
}

TEST_F(Sat, RegionsAndOpenBodiesKeepTheirKind) {
  // A square with a round hole, in the plane z = 1.
  TopoDS_Shape plate = BRepAlgoAPI_Cut(BRepBuilderAPI_MakeFace(gp_Pln(gp_Pnt(0, 0, 1), gp::DZ()), -2, 2, -2, 2).Shape(),
                                       BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, 0), gp::DZ()), 1, 2).Shape())
                           .Shape();
  AcDbRegion region;
  kv::modeler::shapeOf(region) = plate;
  ASSERT_NEAR(area(plate), 16 - pi, 1e-9);
  expectRoundTrip(&region, "AcDbRegion");

  // Three faces of a box: an open shell with a curved neighbour is a body, not a region.
  TopoDS_Shape box = BRepPrimAPI_MakeBox(1, 1, 1).Shape();
  TopoDS_Compound open;
  BRep_Builder builder;
  builder.MakeCompound(open);
  int n = 0;
  for (TopExp_Explorer x(box, TopAbs_FACE); x.More() && n < 3; x.Next(), ++n) builder.Add(open, x.Current());
  AcDbBody body;
  kv::modeler::shapeOf(body) = open;
  expectRoundTrip(&body, "AcDbBody");

  TopoDS_Shape sphere = BRepPrimAPI_MakeSphere(1).Shape();
  AcDbBody skin;
  kv::modeler::shapeOf(skin) = TopExp_Explorer(sphere, TopAbs_SHELL).Current();
  expectRoundTrip(&skin, "AcDbBody");
}

TEST_F(Sat, SeveralEntitiesGoIntoOneFileAndComeBackInOrder) {
  AcDb3dSolid box, sphere;
  box.createBox(1, 2, 3);
  sphere.createSphere(2);
  AcDbRegion region;
  kv::modeler::shapeOf(region) = BRepBuilderAPI_MakeFace(gp_Pln(gp::XOY()), 0, 1, 0, 1).Shape();
  AcDbVoidPtrArray in;
  in.append(static_cast<AcDbEntity*>(&box));
  in.append(static_cast<AcDbEntity*>(&region));
  in.append(static_cast<AcDbEntity*>(&sphere));
  // Windows separators are taken as well.
  std::string file = path("three.sat");
  std::string windows = file;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  ASSERT_EQ(acisOut(windows, in), Acad::eOk);
  std::string text = readFile(file);
  EXPECT_EQ(text.substr(0, 10), "700 0 3 0\n");
  EXPECT_NE(text.find("End-of-ACIS-data"), std::string::npos);

  ASSERT_EQ(acisIn(windows, read_), Acad::eOk);
  ASSERT_EQ(read_.length(), 3);
  EXPECT_STREQ(className(read_[0]), "AcDb3dSolid");
  EXPECT_STREQ(className(read_[1]), "AcDbRegion");
  EXPECT_STREQ(className(read_[2]), "AcDb3dSolid");
  auto shape = [&](int i) { return kv::modeler::shapeOf(*static_cast<AcDbModelerEntity*>(static_cast<AcDbEntity*>(read_[i]))); };
  EXPECT_NEAR(volume(shape(0)), 6, 1e-9);
  EXPECT_NEAR(area(shape(1)), 1, 1e-9);
  EXPECT_NEAR(volume(shape(2)), 4.0 / 3 * pi * 8, 1e-6);
  // The entities read are new and in no database.
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(read_[i], in[i]);
    EXPECT_TRUE(static_cast<AcDbEntity*>(read_[i])->objectId().isNull());
  }
}

TEST_F(Sat, OurOutputFollowsTheRecordRules) {
  AcDb3dSolid solid, hole;
  solid.createBox(4, 4, 2);
  hole.createFrustum(3, 1, 1, 1);
  ASSERT_EQ(solid.booleanOper(AcDb::kBoolSubtract, &hole), Acad::eOk);
  std::string text, error;
  ASSERT_TRUE(sat::write({{kv::modeler::shapeOf(solid), sat::BodyKind::Solid}}, text, error)) << error;

  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "700 0 1 0");
  std::getline(lines, line);
  EXPECT_TRUE(std::regex_match(line, std::regex(R"(15 Kavlor platform 11 ACIS 7\.0 NT 24 \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4})")))
      << line;
  std::getline(lines, line);
  EXPECT_EQ(line, "1 9.9999999999999995e-07 1e-10");
  std::map<std::string, int> types;
  std::vector<std::string> records;
  std::string record;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 200u);
    if (line == "End-of-ACIS-data") break;
    record += line + " ";
    if (line.size() >= 1 && line.back() == '#') {
      records.push_back(record);
      record.clear();
    }
  }
  EXPECT_TRUE(record.empty());
  // Records are numbered in order, and every pointer names a record.
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::istringstream words(records[i]);
    std::string number, type;
    words >> number >> type;
    EXPECT_EQ(number, "-" + std::to_string(i));
    ++types[type];
    for (std::string w; words >> w;) {
      if (w[0] != '$') continue;
      int p = std::stoi(w.substr(1));
      EXPECT_TRUE(p == -1 || (p >= 0 && std::size_t(p) < records.size())) << records[i];
    }
  }
  EXPECT_EQ(types["body"], 1);
  EXPECT_EQ(types["face"], 7);
  EXPECT_EQ(types["face"], types["plane-surface"] + types["cone-surface"]);
  EXPECT_EQ(types["edge"] * 2, types["coedge"]);
  EXPECT_EQ(types["vertex"], types["point"]);
  EXPECT_EQ(types["edge"], types["straight-curve"] + types["ellipse-curve"] + types["intcurve-curve"]);
}

// What our own reader passes over must be right for other readers: every link of the topology
// agrees with its way back, partners share their edge, and each coedge ends where the next
// one starts.
TEST_F(Sat, OurTopologyLinksAgreeBothWays) {
  TopoDS_Shape holed = BRepAlgoAPI_Cut(BRepPrimAPI_MakeBox(4, 4, 2).Shape(),
                                       BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(2, 2, -1), gp::DZ()), 1, 4).Shape())
                           .Shape();
  TopoDS_Shape plate = BRepAlgoAPI_Cut(BRepBuilderAPI_MakeFace(gp_Pln(gp::XOY()), -2, 2, -2, 2).Shape(),
                                       BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, -1), gp::DZ()), 1, 2).Shape())
                           .Shape();
  struct Case {
    const char* name;
    TopoDS_Shape shape;
    sat::BodyKind kind;
  };
  const Case cases[] = {{"box with a hole", holed, sat::BodyKind::Solid},
                        {"sphere", BRepPrimAPI_MakeSphere(2).Shape(), sat::BodyKind::Solid},
                        {"plate with a hole", plate, sat::BodyKind::Region}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text, error;
    ASSERT_TRUE(sat::write({{c.shape, c.kind}}, text, error)) << error;
    std::map<int, TextRecord> recs = recordsOf(text);
    // Field i of record n, a pointer to a record of `type` or null.
    auto at = [&](int n, std::size_t i, const std::string& type) {
      const std::vector<std::string>& f = recs.at(n).fields;
      EXPECT_LT(i, f.size());
      if (i >= f.size() || f[i] == "$-1") return -1;
      int p = std::stoi(f[i].substr(1));
      EXPECT_EQ(recs.count(p) ? recs.at(p).type : "none", type) << "field " << i << " of record " << n;
      return recs.count(p) && recs.at(p).type == type ? p : -1;
    };
    // Whether the chain from `head` through field `next` reaches `target`.
    auto reaches = [&](int head, std::size_t next, const std::string& type, int target) {
      for (int p = head, steps = 0; p >= 0 && steps <= int(recs.size()); p = at(p, next, type), ++steps)
        if (p == target) return true;
      return false;
    };
    // The vertex a coedge starts or ends at, by its edge and sense.
    auto vertexOf = [&](int coedge, bool head) {
      int edge = at(coedge, 3, "edge");
      if (edge < 0) return -1;
      bool forward = recs.at(coedge).fields[4] == "forward";
      return at(edge, forward == head ? 2 : 0, "vertex");
    };
    int coedges = 0;
    for (const auto& [n, r] : recs) {
      if (r.type == "face") {
        // Solids' faces have material on one side; a sheet's are void on both.
        const std::vector<std::string> single{"single"}, sheet{"double", "out"};
        std::vector<std::string> sides(r.fields.begin() + 6, r.fields.end());
        EXPECT_EQ(sides, c.kind == sat::BodyKind::Solid ? single : sheet) << "face " << n;
      }
      if (r.type == "coedge") {
        ++coedges;
        int next = at(n, 0, "coedge"), previous = at(n, 1, "coedge"), partner = at(n, 2, "coedge");
        ASSERT_GE(next, 0);
        ASSERT_GE(previous, 0);
        EXPECT_EQ(at(next, 1, "coedge"), n);
        EXPECT_EQ(at(previous, 0, "coedge"), n);
        EXPECT_EQ(at(next, 5, "loop"), at(n, 5, "loop"));
        EXPECT_EQ(vertexOf(n, true), vertexOf(next, false)) << "coedge " << n;
        if (c.kind == sat::BodyKind::Solid) {
          EXPECT_GE(partner, 0) << "coedge " << n;
        }
        if (partner >= 0) {
          EXPECT_EQ(at(partner, 2, "coedge"), n);
          EXPECT_EQ(at(partner, 3, "edge"), at(n, 3, "edge"));
          EXPECT_NE(recs.at(partner).fields[4], r.fields[4]);
        }
        EXPECT_TRUE(reaches(at(at(n, 5, "loop"), 1, "coedge"), 0, "coedge", n));
      } else if (r.type == "edge") {
        EXPECT_EQ(at(at(n, 4, "coedge"), 3, "edge"), n);
      } else if (r.type == "vertex") {
        int edge = at(n, 0, "edge");
        EXPECT_TRUE(at(edge, 0, "vertex") == n || at(edge, 2, "vertex") == n) << "vertex " << n;
      } else if (r.type == "loop") {
        EXPECT_TRUE(reaches(at(at(n, 2, "face"), 1, "loop"), 0, "loop", n)) << "loop " << n;
      } else if (r.type == "face") {
        EXPECT_TRUE(reaches(at(at(n, 2, "shell"), 2, "face"), 0, "face", n)) << "face " << n;
      } else if (r.type == "shell") {
        EXPECT_TRUE(reaches(at(at(n, 4, "lump"), 1, "shell"), 0, "shell", n)) << "shell " << n;
      } else if (r.type == "lump") {
        EXPECT_TRUE(reaches(at(at(n, 2, "body"), 0, "lump"), 0, "lump", n)) << "lump " << n;
      }
    }
    EXPECT_GE(coedges, 2);
  }
}

// The independent reader of ezdxf takes our output: every body with its faces, and the
// planar ones meshed to their volume.
TEST_F(Sat, EzdxfReadsOurOutput) {
  KV_SKIP_UNLESS(std::system("/usr/bin/python3 -c 'import ezdxf.acis.api' >/dev/null 2>&1") == 0,
                 "Debian's python3-ezdxf with its ACIS module");
  // Two cubes overlapping at a corner: an L-shaped solid whose faces have no holes.
  AcDb3dSolid box, other, wedge, cylinder, sphere, torus, cone;
  box.createBox(2, 2, 2);
  other.createBox(2, 2, 2);
  other.transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 1, 0)));
  ASSERT_EQ(box.booleanOper(AcDb::kBoolUnite, &other), Acad::eOk);
  wedge.createWedge(2, 2, 2);
  cylinder.createFrustum(2, 1, 1, 1);
  sphere.createSphere(1);
  torus.createTorus(3, 1);
  cone.createFrustum(2, 1, 1, 0);
  AcDbVoidPtrArray in;
  for (AcDb3dSolid* s : {&box, &wedge, &cylinder, &sphere, &torus, &cone}) in.append(static_cast<AcDbEntity*>(s));
  std::string file = path("ours.sat");
  ASSERT_EQ(acisOut(file, in), Acad::eOk);
  std::string script = path("check.py");
  std::ofstream(script) << "import sys\n"
                           "from ezdxf.acis import api as acis, entities\n"
                           "for b in acis.load(open(sys.argv[1]).read()):\n"
                           "    faces = [f for l in b.lumps() for s in l.shells() for f in s.faces()]\n"
                           "    if not all(isinstance(f.surface, entities.Plane) for f in faces):\n"
                           "        print(len(faces))\n"
                           "        continue\n"
                           "    for m in acis.mesh_from_body(b):\n"
                           "        v = 0.0\n"
                           "        for f in m.faces:\n"
                           "            p = [m.vertices[i] for i in f]\n"
                           "            for i in range(1, len(p) - 1):\n"
                           "                v += p[0].dot(p[i].cross(p[i + 1])) / 6\n"
                           "        print(len(m.faces), round(v, 6))\n";
  std::string result = path("result.txt");
  ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + file + " > " + result).c_str()), 0);
  ASSERT_EQ(count(kv::modeler::shapeOf(box), TopAbs_FACE), 10);
  EXPECT_EQ(readFile(result), "10 14.0\n5 4.0\n3\n1\n1\n2\n");
}

// DXF keeps one entity per solid: every body of its data goes into that entity.
TEST_F(Sat, TextIntoOneEntityTakesEveryBody) {
  std::string two, error;
  TopoDS_Shape square = BRepBuilderAPI_MakeFace(gp_Pln(gp::XOY()), 5, 6, 0, 1).Shape();
  ASSERT_TRUE(sat::write(
      {{BRepPrimAPI_MakeBox(1, 2, 3).Shape(), sat::BodyKind::Solid}, {square, sat::BodyKind::Region}}, two, error))
      << error;
  AcDb3dSolid solid;
  int bodies = 0;
  ASSERT_EQ(kv::modeler::satInTextInto(two, solid, bodies), Acad::eOk);
  EXPECT_EQ(bodies, 2);
  ASSERT_EQ(kv::modeler::shapeOf(solid).ShapeType(), TopAbs_COMPOUND);
  EXPECT_EQ(count(kv::modeler::shapeOf(solid), TopAbs_SOLID), 1);
  EXPECT_EQ(count(kv::modeler::shapeOf(solid), TopAbs_FACE), 7);
  EXPECT_NEAR(volume(TopExp_Explorer(kv::modeler::shapeOf(solid), TopAbs_SOLID).Current()), 6, 1e-9);
  EXPECT_NEAR(area(kv::modeler::shapeOf(solid)), 22 + 1, 1e-9);

  // One body is the entity's shape itself.
  AcDbRegion region;
  ASSERT_EQ(kv::modeler::satInTextInto(boxText(), region, bodies), Acad::eOk);
  EXPECT_EQ(bodies, 1);
  EXPECT_EQ(kv::modeler::shapeOf(region).ShapeType(), TopAbs_SOLID);
  EXPECT_NEAR(volume(kv::modeler::shapeOf(region)), 24, 1e-9);

  // Text without a body, and text not understood, leave the entity as it was.
  AcDbBody body;
  kv::modeler::shapeOf(body) = square;
  ASSERT_EQ(kv::modeler::satInTextInto("700 0 0 0\n1 x\n1 1e-06 1e-10\nEnd-of-ACIS-data\n", body, bodies), Acad::eOk);
  EXPECT_EQ(bodies, 0);
  EXPECT_TRUE(kv::modeler::shapeOf(body).IsSame(square));
  std::string why;
  bodies = 7;
  EXPECT_EQ(kv::modeler::satInTextInto("hello\n", body, bodies, &why), Acad::eCannotRestoreFromAcisFile);
  EXPECT_EQ(why, "header line 1 is not four integers");
  EXPECT_EQ(bodies, 7);
  EXPECT_TRUE(kv::modeler::shapeOf(body).IsSame(square));
}

// --- outside files ---------------------------------------------------------------------------

TEST_F(Sat, EveryOutsideFileReadsIntoSolidsOfTheRightSize) {
  KV_SKIP_UNLESS(fs::is_directory(kSharedSat), "the shared test data at " << kSharedSat);
  struct Expect {
    const char* file;
    int faces;
    double volume, area;
    double lo[3], hi[3];  // extents; the cube's transform moves it into the positive octant
  };
  const double hole = pi * 0.005 * 0.005 * 0.04;
  const double holeArea = 6 * 0.04 * 0.04 - 2 * pi * 0.005 * 0.005 + 2 * pi * 0.005 * 0.04;
  // The prism's volume and area are those of its ten planar faces, walked from its loops; its
  // extents are those of its eight point records.
  const Expect expected[] = {
      {"dagmc_cones.sat", 32, crossedConesVolume(), crossedConesArea(), {-50, -50, -50}, {50, 50, 50}},
      {"dagmc_cylinder.sat", 3, pi * 100 * 20, 2 * pi * 100 + 2 * pi * 10 * 20, {-10, -10, -10}, {10, 10, 10}},
      {"ezdxf_cube777.sat", 6, 777.0 * 777 * 777, 6 * 777.0 * 777, {0, 0, 0}, {777, 777, 777}},
      {"ezdxf_prism.sat", 10, 20.493389172734968, 53.6421286755635, {-5.4590810943528094, -2.7566329035843307, 0},
       {-0.80737076448470901, 2.2983491971566998, 2}},
      {"pymapdl_cube_with_hole.sat", 7, 0.04 * 0.04 * 0.04 - hole, holeArea, {-0.02, 0, -0.02}, {0.02, 0.04, 0.02}},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.file);
    fs::path file = kSharedSat / e.file;
    KV_SKIP_UNLESS(fs::exists(file), file);
    deleteAll(read_);
    std::string why;
    ASSERT_EQ(kv::modeler::satIn(file.c_str(), read_, &why), Acad::eOk) << why;
    ASSERT_EQ(read_.length(), 1);
    ASSERT_STREQ(className(read_[0]), "AcDb3dSolid");
    const TopoDS_Shape& s = kv::modeler::shapeOf(*static_cast<AcDbModelerEntity*>(static_cast<AcDbEntity*>(read_[0])));
    EXPECT_TRUE(BRepCheck_Analyzer(s).IsValid());
    EXPECT_EQ(count(s, TopAbs_FACE), e.faces);
    EXPECT_NEAR(volume(s), e.volume, 1e-6 * e.volume);
    EXPECT_NEAR(area(s), e.area, 1e-6 * e.area);
    Bnd_Box box;
    BRepBndLib::AddOptimal(s, box, Standard_False, Standard_False);
    double lo[3], hi[3];
    box.Get(lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
    double size = e.hi[0] - e.lo[0];
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(lo[i], e.lo[i], 1e-5 * size);
      EXPECT_NEAR(hi[i], e.hi[i], 1e-5 * size);
    }
    // And what we write of it reads back to the same measures.
    auto again = throughSat(s, sat::BodyKind::Solid);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].kind, sat::BodyKind::Solid);
    EXPECT_NEAR(volume(again[0].shape), e.volume, 1e-6 * e.volume);
    EXPECT_NEAR(area(again[0].shape), e.area, 1e-6 * e.area);
  }
}

// A file written as 4.0, without record numbers, with Windows line ends, or with its records
// in another order, reads as its 7.0 original does.
TEST_F(Sat, OlderAndUnnumberedFormsReadAlike) {
  TopoDS_Shape holed = BRepAlgoAPI_Cut(BRepPrimAPI_MakeBox(gp_Pnt(-2, -2, 0), 4, 4, 2).Shape(),
                                       BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, -1), gp::DZ()), 1, 4).Shape())
                           .Shape();
  const TopoDS_Shape shapes[] = {holed, BRepPrimAPI_MakeTorus(3, 1).Shape(),
                                 BRepBuilderAPI_NurbsConvert(BRepPrimAPI_MakeSphere(2).Shape()).Shape()};
  for (const TopoDS_Shape& shape : shapes) {
    std::string text, error;
    ASSERT_TRUE(sat::write({{shape, sat::BodyKind::Solid}}, text, error)) << error;
    const std::string forms[] = {asVersion400(text), std::regex_replace(text, std::regex("\\n-\\d+ "), "\n"),
                                 std::regex_replace(text, std::regex("\\n"), "\r\n"), reversedRecords(text)};
    for (const std::string& form : forms) {
      ASSERT_NE(form, text);
      std::vector<sat::ReadBody> bodies;
      ASSERT_TRUE(sat::read(form, bodies, error)) << error << "\n" << form.substr(0, 600);
      ASSERT_EQ(bodies.size(), 1u);
      EXPECT_EQ(bodies[0].kind, sat::BodyKind::Solid);
      EXPECT_NEAR(volume(bodies[0].shape), volume(shape), 1e-5 * volume(shape));
    }
  }
}

TEST_F(Sat, FacesWithoutLoopsAreWholeSurfacesAndTransformsApply) {
  // A torus as full-surface faces write it: one face, no loop; moved and scaled by its body
  // transform (rows are the images of the axes).
  const std::string text =
      "400 0 1 0\n"
      "8 somebody 8 ACIS 4.0 24 Thu Jan 16 12:00:00 2025\n"
      "1 9.9999999999999995e-007 1e-010\n"
      "body $-1 $1 $-1 $5 #\n"
      "lump $-1 $-1 $2 $0 #\n"
      "shell $-1 $-1 $-1 $3 $-1 $1 #\n"
      "face $-1 $-1 $-1 $2 $-1 $4 forward single #\n"
      "torus-surface $-1 0 0 0 0 0 1 4 1 1 0 0 forward_v I I I I #\n"
      "transform $-1 0 1 0 -1 0 0 0 0 1 10 20 30 2 rotate no_reflect no_shear #\n"
      "End-of-ACIS-data\n";
  std::vector<sat::ReadBody> bodies;
  std::string error;
  ASSERT_TRUE(sat::read(text, bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(bodies[0].kind, sat::BodyKind::Solid);
  EXPECT_NEAR(volume(bodies[0].shape), 8 * 2 * pi * pi * 4, 1e-6 * 8 * 2 * pi * pi * 4);
  Bnd_Box box;
  BRepBndLib::AddOptimal(bodies[0].shape, box, Standard_False, Standard_False);
  double x0, y0, z0, x1, y1, z1;
  box.Get(x0, y0, z0, x1, y1, z1);
  EXPECT_NEAR(x0, 0, 1e-6);
  EXPECT_NEAR(x1, 20, 1e-6);
  EXPECT_NEAR(z0, 28, 1e-6);
  EXPECT_NEAR(z1, 32, 1e-6);

  // A sphere of negative radius (normal inwards) still reads as a solid of positive volume.
  std::string hollow = std::regex_replace(text, std::regex("torus-surface \\$-1 .* forward_v"),
                                          "sphere-surface $-1 0 0 0 -2 1 0 0 0 0 1 forward_v");
  hollow = std::regex_replace(hollow, std::regex("\\$5 #"), "$-1 #");
  ASSERT_TRUE(sat::read(hollow, bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_NEAR(volume(bodies[0].shape), 4.0 / 3 * pi * 8, 1e-6 * 4.0 / 3 * pi * 8);
}

// The transform turns a body about the world's axes, not its own: a unit box at x from 1 to 2,
// turned a quarter about the z axis through the origin (x to y, y to -x), doubled and moved by
// (10, 20, 30). Its corners, worked out by hand: (x, y, z) goes to (10 - 2y, 20 + 2x, 30 + 2z).
TEST_F(Sat, TransformsTurnBodiesAboutTheWorldAxes) {
  std::string text, error;
  ASSERT_TRUE(sat::write({{BRepPrimAPI_MakeBox(gp_Pnt(1, 0, 0), 1, 1, 1).Shape(), sat::BodyKind::Solid}}, text, error))
      << error;
  text = replaceInRecord(text, 0, "$-1 $-1 #", "$-1 $999 #");
  text = std::regex_replace(text, std::regex("End-of-ACIS-data"),
                            "-999 transform $-1 -1 0 1 0 -1 0 0 0 0 1 10 20 30 2 rotate no_reflect no_shear #\n"
                            "End-of-ACIS-data");
  std::vector<sat::ReadBody> bodies;
  ASSERT_TRUE(sat::read(text, bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(bodies[0].kind, sat::BodyKind::Solid);
  EXPECT_NEAR(volume(bodies[0].shape), 8, 1e-9);

  const double corners[8][3] = {{10, 22, 30}, {10, 24, 30}, {8, 22, 30}, {8, 24, 30},
                                {10, 22, 32}, {10, 24, 32}, {8, 22, 32}, {8, 24, 32}};
  TopTools_IndexedMapOfShape vertices;
  TopExp::MapShapes(bodies[0].shape, TopAbs_VERTEX, vertices);
  ASSERT_EQ(vertices.Extent(), 8);
  std::vector<bool> found(8);
  for (int i = 1; i <= vertices.Extent(); ++i) {
    gp_Pnt p = BRep_Tool::Pnt(TopoDS::Vertex(vertices(i)));
    for (int k = 0; k < 8; ++k)
      if (p.Distance(gp_Pnt(corners[k][0], corners[k][1], corners[k][2])) < 1e-9) found[std::size_t(k)] = true;
  }
  for (int k = 0; k < 8; ++k)
    EXPECT_TRUE(found[std::size_t(k)]) << "no corner at " << corners[k][0] << " " << corners[k][1] << " "
                                       << corners[k][2];
  Bnd_Box box;
  BRepBndLib::AddOptimal(bodies[0].shape, box, Standard_False, Standard_False);
  double lo[3], hi[3];
  box.Get(lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
  const double expectLo[3] = {8, 22, 30}, expectHi[3] = {10, 24, 32};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(lo[i], expectLo[i], 1e-9);
    EXPECT_NEAR(hi[i], expectHi[i], 1e-9);
  }
}

// Edge parameters of an edge that runs against its curve are the curve's, negated. They are
// what places an edge whose end sits on the seam of a closed curve: here a unit square's
// outline as one closed polyline from (0, 0, 0) round to itself (parameters 0 to 4), split at
// (1, 1, 0) into two edges that both run against it, so that a vertex projected onto the
// seam would land at the wrong end of one of them.
TEST_F(Sat, EdgesAgainstTheirCurveTakeTheNegatedParameters) {
  const std::string text =
      "700 0 1 0\n"
      "8 somebody 11 ACIS 7.0 NT 24 Thu Jan 16 12:00:00 2025\n"
      "1 9.9999999999999995e-007 1e-010\n"
      "-0 body $-1 -1 $-1 $1 $-1 $-1 #\n"
      "-1 lump $-1 -1 $-1 $-1 $2 $0 #\n"
      "-2 shell $-1 -1 $-1 $-1 $-1 $3 $-1 $1 #\n"
      "-3 face $-1 -1 $-1 $-1 $4 $2 $-1 $5 forward double out #\n"
      "-4 loop $-1 -1 $-1 $-1 $6 $3 #\n"
      "-5 plane-surface $-1 -1 $-1 0 0 0 0 0 1 1 0 0 forward_v I I I I #\n"
      "-6 coedge $-1 -1 $-1 $7 $7 $-1 $8 reversed $4 $-1 #\n"
      "-7 coedge $-1 -1 $-1 $6 $6 $-1 $9 reversed $4 $-1 #\n"
      "-8 edge $-1 -1 $-1 $11 -2 $10 0 $6 $12 reversed @7 unknown #\n"
      "-9 edge $-1 -1 $-1 $10 -4 $11 -2 $7 $12 reversed @7 unknown #\n"
      "-10 vertex $-1 -1 $-1 $8 $13 #\n"
      "-11 vertex $-1 -1 $-1 $8 $14 #\n"
      "-12 intcurve-curve $-1 -1 $-1 forward { exactcur full nubs 1 open 5 0 1 1 1 2 1 3 1 4 1\n"
      "0 0 0 1 0 0 1 1 0 0 1 0 0 0 0 0 null_surface null_surface nullbs nullbs F 0 F 4 0 0 0 F 0 F 4 } I I #\n"
      "-13 point $-1 -1 $-1 0 0 0 #\n"
      "-14 point $-1 -1 $-1 1 1 0 #\n"
      "End-of-ACIS-data\n";
  std::vector<sat::ReadBody> bodies;
  std::string error;
  ASSERT_TRUE(sat::read(text, bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(bodies[0].kind, sat::BodyKind::Region);
  EXPECT_NEAR(area(bodies[0].shape), 1, 1e-9);
  double length = 0;
  for (TopExp_Explorer x(bodies[0].shape, TopAbs_EDGE); x.More(); x.Next())
    length += GCPnts_AbscissaPoint::Length(BRepAdaptor_Curve(TopoDS::Edge(x.Current())));
  EXPECT_NEAR(length, 4, 1e-9);
}

// Spline surfaces against a control net worked out by hand, not against our own writer: the
// file's points run u fastest, on reading and on writing.
TEST_F(Sat, SplineSurfacePointsRunUFastestBothWays) {
  std::vector<sat::ReadBody> bodies;
  std::string error;
  ASSERT_TRUE(sat::read(splineSheetText(), bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(bodies[0].kind, sat::BodyKind::Body);
  expectTheSplineSheet(bodies[0].shape);

  // The net as the modeller holds it, once read (checked against the hand-worked points
  // above): written, its record is the hand-written one token for token.
  const TopoDS_Shape face = bodies[0].shape;
  std::string text;
  ASSERT_TRUE(sat::write({{face, sat::BodyKind::Body}}, text, error)) << error;
  std::vector<std::string> expected;
  std::istringstream words(kSplineSurfaceRecord);
  for (std::string w; words >> w;) expected.push_back(w);
  EXPECT_EQ(recordTokens(text, "spline-surface"), expected) << text;
}

// Writers may put a '+' in front of an integer: it reads as the integer. "+-1" is no number.
TEST_F(Sat, IntegersWithALeadingPlusReadAsWithout) {
  auto edited = [](std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  // The header's counts, an entity id, degrees, knot counts and multiplicities.
  std::string plus = edited(splineSheetText(), "700 0 1 0\n", "700 +0 +1 +0\n");
  plus = edited(plus, "-3 face $-1 -1 $-1", "-3 face $-1 +5 $-1");
  plus = edited(plus, "nubs 2 1 open open none none 2 2\n0 2 1 2 0 1 1 1\n",
                "nubs +2 +1 open open none none +2 +2\n0 +2 1 +2 0 +1 1 +1\n");
  std::vector<sat::ReadBody> bodies;
  std::string error;
  ASSERT_TRUE(sat::read(plus, bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  expectTheSplineSheet(bodies[0].shape);

  EXPECT_EQ(refusal(edited(splineSheetText(), "nubs 2 1", "nubs +-1 1")), "record 4 (spline-surface): no degree");
}

// --- refusals ------------------------------------------------------------------------------

TEST_F(Sat, MissingAndUnreadableFilesAnswerTheirStatuses) {
  EXPECT_EQ(acisIn(path("none.sat"), read_), Acad::eFileNotFound);
  std::ofstream(path("text.sat")) << "hello\n";
  std::string why;
  EXPECT_EQ(kv::modeler::satIn(path("text.sat").c_str(), read_, &why), Acad::eCannotRestoreFromAcisFile);
  EXPECT_EQ(why, "header line 1 is not four integers");
  EXPECT_EQ(read_.length(), 0);

  // The fault answers before the file is touched.
  std::ofstream(path("box.sat")) << boxText();
  kv::fault::arm(kv::fault::Call::acisIn, 1);
  EXPECT_EQ(acisIn(path("box.sat"), read_), Acad::eCannotRestoreFromAcisFile);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::acisIn), 1);
  EXPECT_EQ(read_.length(), 0);
  EXPECT_EQ(acisIn(path("box.sat"), read_), Acad::eOk);
  EXPECT_EQ(read_.length(), 1);
}

TEST_F(Sat, WritingRefusesWhatIsNoModellerDataAndUnwritablePaths) {
  AcDb3dSolid solid, empty;
  solid.createBox(1, 1, 1);
  AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
  AcDbVoidPtrArray in;
  in.append(static_cast<AcDbEntity*>(&solid));
  in.append(static_cast<AcDbEntity*>(&line));
  EXPECT_EQ(acisOut(path("a.sat"), in), Acad::eInvalidInput);
  in.setLogicalLength(1);
  in.append(static_cast<AcDbEntity*>(&empty));
  EXPECT_EQ(acisOut(path("a.sat"), in), Acad::eInvalidInput);
  in.setLogicalLength(1);
  in.append(nullptr);
  EXPECT_EQ(acisOut(path("a.sat"), in), Acad::eInvalidInput);
  EXPECT_FALSE(fs::exists(path("a.sat")));
  in.setLogicalLength(1);
  EXPECT_EQ(acisOut((dir_ / "no" / "such" / "a.sat").string(), in), Acad::eFileAccessErr);
  kv::fault::arm(kv::fault::Call::acisOut, 1);
  EXPECT_EQ(acisOut(path("a.sat"), in), Acad::eFileAccessErr);
  EXPECT_FALSE(fs::exists(path("a.sat")));
  EXPECT_EQ(acisOut(path("a.sat"), in), Acad::eOk);
}

TEST_F(Sat, EveryTruncationIsRefused) {
  std::string text = boxText();
  std::size_t end = text.find("End-of-ACIS-data");
  ASSERT_NE(end, std::string::npos);
  // Every prefix that has not reached the end marker in full.
  for (std::size_t n = 0; n < end + 16; ++n) {
    std::vector<sat::ReadBody> bodies;
    std::string error;
    ASSERT_FALSE(sat::read(text.substr(0, n), bodies, error)) << n;
    ASSERT_FALSE(error.empty());
  }
  std::ofstream(path("cut.sat")) << text.substr(0, text.size() / 2);
  EXPECT_EQ(acisIn(path("cut.sat"), read_), Acad::eCannotRestoreFromAcisFile);
}

TEST_F(Sat, BrokenPointersAndRingsAreRefused) {
  const std::string text = boxText();
  int coedge = firstRecordOfType(text, "coedge");
  int face = firstRecordOfType(text, "face");
  int loop = firstRecordOfType(text, "loop");

  // An edge pointer to a record that does not exist.
  std::string dangling = std::regex_replace(text, std::regex("(\\n-" + std::to_string(coedge) + " coedge( \\S+){6}) \\$\\d+"),
                                            "$1 $$99999");
  ASSERT_NE(dangling, text);
  EXPECT_NE(refusal(dangling).find("missing record $99999"), std::string::npos) << refusal(dangling);

  // A word where the edge pointer belongs: the refusal names the field.
  std::string word = std::regex_replace(text, std::regex("(\\n-" + std::to_string(coedge) + " coedge( \\S+){6}) \\$\\d+"),
                                        "$1 x");
  ASSERT_NE(word, text);
  EXPECT_EQ(refusal(word), "record " + std::to_string(coedge) + " (coedge): no edge pointer");

  // A pointer to a record of the wrong type.
  std::string wrongType = replaceInRecord(text, face, " $" + std::to_string(loop) + " ", " $0 ");
  EXPECT_NE(refusal(wrongType).find("is a body, not a loop"), std::string::npos);

  // A coedge ring that runs into itself without coming back to its first coedge.
  std::string ring = std::regex_replace(text, std::regex("(\\n-" + std::to_string(coedge + 1) + " coedge \\$-1 -1 \\$-1) \\$\\d+"),
                                        "$1 $$" + std::to_string(coedge + 1));
  ASSERT_NE(ring, text);
  EXPECT_NE(refusal(ring).find("ring does not come back"), std::string::npos) << refusal(ring);

  // Records numbered twice, and a record number far out of range, which must not be allocated.
  EXPECT_NE(refusal(std::regex_replace(text, std::regex("\\n-1 lump"), "\n-0 lump")).find("appears twice"), std::string::npos);
  std::string far = std::regex_replace(text, std::regex("\\n-1 lump"), "\n-999999999999 lump");
  EXPECT_NE(refusal(far).find("missing record $1"), std::string::npos);
}

TEST_F(Sat, PointerCyclesEndTheWalk) {
  // The last face pointing back at the first makes a cycle; the faces are read once.
  const std::string text = boxText();
  int face = firstRecordOfType(text, "face");
  std::string cyclic = replaceInRecord(text, face + 5, "$-1 -1 $-1 $-1", "$-1 -1 $-1 $" + std::to_string(face));
  std::vector<sat::ReadBody> bodies;
  std::string error;
  ASSERT_TRUE(sat::read(cyclic, bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(count(bodies[0].shape, TopAbs_FACE), 6);
  EXPECT_NEAR(volume(bodies[0].shape), 24, 1e-9);

  // A lump that is its own successor.
  std::string lumps = replaceInRecord(text, 1, "$-1 -1 $-1 $-1", "$-1 -1 $-1 $1");
  ASSERT_TRUE(sat::read(lumps, bodies, error)) << error;
  EXPECT_NEAR(volume(bodies[0].shape), 24, 1e-9);
}

TEST_F(Sat, AbsurdCountsAndUnknownGeometryAreRefused) {
  AcDb3dSolid solid;
  kv::modeler::shapeOf(solid) = BRepBuilderAPI_NurbsConvert(BRepPrimAPI_MakeSphere(2).Shape()).Shape();
  std::string text, error;
  ASSERT_TRUE(sat::write({{kv::modeler::shapeOf(solid), sat::BodyKind::Solid}}, text, error)) << error;

  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, std::regex("exactsur full nurbs (\\d+) (\\d+) both open open none none (\\d+) (\\d+)")));
  std::string head = m[0];
  auto with = [&](const std::string& replacement) {
    std::string out = text;
    out.replace(std::size_t(m.position(0)), head.size(), replacement);
    return out;
  };
  EXPECT_NE(refusal(with("exactsur full nurbs 2 2 both open open none none 999999999 3")).find("knot count"), std::string::npos);
  EXPECT_NE(refusal(with("exactsur full nurbs 900 2 both open open none none 3 3")).find("degree"), std::string::npos);
  EXPECT_NE(refusal(with("exactsur full nullbs")).find("no B-spline"), std::string::npos);
  // The file's end knots are one short of the modeller's: a full end multiplicity is one too many.
  std::smatch knot;
  ASSERT_TRUE(std::regex_search(text, knot, std::regex("none none (\\d+) (\\d+) (\\S+) (\\d+)")));
  std::string fullEnd = text;
  fullEnd.replace(std::size_t(knot.position(4)), knot[4].length(), std::to_string(std::stoi(m[1]) + 1));
  EXPECT_NE(refusal(fullEnd).find("end knot multiplicity too high"), std::string::npos) << refusal(fullEnd);
  EXPECT_NE(refusal(std::regex_replace(text, std::regex("exactsur full"), "skinsur none")).find("holds no B-spline"),
            std::string::npos);
  // A counted string longer than the file.
  EXPECT_NE(refusal(std::regex_replace(text, std::regex("@7 unknown"), "@999999999 unknown")).find("past the end"),
            std::string::npos);

  // A surface type we do not know, under a face.
  std::string box = boxText();
  EXPECT_NE(refusal(std::regex_replace(box, std::regex("plane-surface"), "blend-surface")).find("not supported"),
            std::string::npos);
  // The same type nobody points at is harmless.
  std::string extra = std::regex_replace(box, std::regex("End-of-ACIS-data"), "mystery-surface $-1 -1 $-1 1 2 { x } #\nEnd-of-ACIS-data");
  std::vector<sat::ReadBody> bodies;
  ASSERT_TRUE(sat::read(extra, bodies, error)) << error;
  EXPECT_NEAR(volume(bodies[0].shape), 24, 1e-9);
  // A counted string is its bytes, a '#' among them included.
  std::string named = std::regex_replace(box, std::regex("End-of-ACIS-data"),
                                         "-900 name-attrib $-1 -1 $-1 $-1 $$0 @6 pump # #\nEnd-of-ACIS-data");
  ASSERT_TRUE(sat::read(named, bodies, error)) << error;
  EXPECT_NEAR(volume(bodies[0].shape), 24, 1e-9);
  // Versions before 4.0 are refused by name.
  EXPECT_EQ(refusal(std::regex_replace(box, std::regex("^700"), "106")), "SAT version 106 is not supported");
}

TEST_F(Sat, RandomBytesAndMutatedFilesGiveAStatusNeverACrash) {
  std::mt19937 rng(7);
  for (int i = 0; i < 50; ++i) {
    std::string junk(std::size_t(rng() % 4000), '\0');
    for (char& c : junk) c = char(rng());
    if (i % 2) junk = "700 0 1 0\nx\n1 1e-6 1e-10\n" + junk;  // past the header, into the records
    std::vector<sat::ReadBody> bodies;
    std::string error;
    EXPECT_FALSE(sat::read(junk, bodies, error));
  }
  std::ofstream(path("junk.sat"), std::ios::binary) << std::string("\x01\xff\x00\x7f junk", 10);
  EXPECT_EQ(acisIn(path("junk.sat"), read_), Acad::eCannotRestoreFromAcisFile);

  // Single-token damage to a valid file reads or is refused; both are fine, crashing is not.
  AcDb3dSolid solid, hole;
  solid.createBox(4, 4, 2);
  hole.createFrustum(3, 1, 1, 1);
  ASSERT_EQ(solid.booleanOper(AcDb::kBoolSubtract, &hole), Acad::eOk);
  std::string text, error;
  ASSERT_TRUE(sat::write({{kv::modeler::shapeOf(solid), sat::BodyKind::Solid}}, text, error));
  const char* replacements[] = {"$-1", "$0", "$5", "-1", "1e308", "nan", "#", "{", "}", "reversed", "@3", "0", "I"};
  int refused = 0, readOk = 0;
  for (int i = 0; i < 400; ++i) {
    std::string damaged = text;
    std::size_t at = std::size_t(rng() % damaged.size());
    at = damaged.find(' ', at);
    if (at == std::string::npos) continue;
    std::size_t end = damaged.find_first_of(" \n", at + 1);
    if (end == std::string::npos) continue;
    damaged.replace(at + 1, end - at - 1, replacements[rng() % std::size(replacements)]);
    std::vector<sat::ReadBody> bodies;
    if (sat::read(damaged, bodies, error)) {
      ++readOk;
    } else {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(readOk, 0);
}

// Damage that once crashed the modeller's repairs: a surface moved away from its edges, and an
// arc turned to run the long way round its circle.
TEST_F(Sat, InconsistentGeometryIsRefusedOrReadNeverCrashes) {
  AcDb3dSolid solid, hole;
  solid.createBox(4, 4, 2);
  hole.createFrustum(3, 1, 1, 1);
  ASSERT_EQ(solid.booleanOper(AcDb::kBoolSubtract, &hole), Acad::eOk);
  std::string text, error;
  ASSERT_TRUE(sat::write({{kv::modeler::shapeOf(solid), sat::BodyKind::Solid}}, text, error));
  std::string moved = std::regex_replace(text, std::regex("(cone-surface \\$-1 -1 \\$-1 \\S+ \\S+ \\S+) \\S+ \\S+ \\S+"),
                                         "$1 0 999999 1");
  ASSERT_NE(moved, text);
  EXPECT_NE(refusal(moved).find("not on its surface"), std::string::npos);

  fs::path cones = kSharedSat / "dagmc_cones.sat";
  KV_SKIP_UNLESS(fs::exists(cones), cones);
  std::vector<sat::ReadBody> bodies;
  ASSERT_TRUE(sat::read(readFile(cones), bodies, error)) << error;
  ASSERT_TRUE(sat::write({{bodies[0].shape, sat::BodyKind::Solid}}, text, error)) << error;
  // Every open arc in turn; each file reads or is refused.
  std::regex arc("\\n(-\\d+ edge \\$-1 -1 \\$-1 (\\$\\d+) \\S+ (\\$\\d+) \\S+ \\$\\d+ (\\$\\d+)) forward");
  int arcs = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), arc), end; it != end; ++it) {
    const std::smatch& m = *it;
    if (m[2] == m[3]) continue;
    std::string curve = "\n-" + m[4].str().substr(1) + " ellipse-curve";
    if (text.find(curve) == std::string::npos) continue;
    ++arcs;
    std::string flipped = text;
    flipped.replace(std::size_t(m.position(1)), m[1].length() + 8, m[1].str() + " reversed");
    std::vector<sat::ReadBody> out;
    sat::read(flipped, out, error);
  }
  EXPECT_GT(arcs, 0);
}

// The unit cube of the format notes, written and checked by hand there.
TEST_F(Sat, ReferenceCubeReadsAsTheUnitCube) {
  std::string notes = readFile(fs::path(KV_SHARED_DIR) / "formats.md");
  std::size_t start = notes.find("```\n700 0 1 0\n", notes.find("## 2. Example"));
  KV_SKIP_UNLESS(start != std::string::npos, "the format notes with the reference cube");
  start += 4;
  std::string cube = notes.substr(start, notes.find("```", start) - start);
  std::vector<sat::ReadBody> bodies;
  std::string error;
  ASSERT_TRUE(sat::read(cube, bodies, error)) << error;
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(bodies[0].kind, sat::BodyKind::Solid);
  EXPECT_NEAR(volume(bodies[0].shape), 1, 1e-12);
  EXPECT_EQ(count(bodies[0].shape, TopAbs_FACE), 6);
  TopTools_IndexedMapOfShape edges, vertices;
  TopExp::MapShapes(bodies[0].shape, TopAbs_EDGE, edges);
  TopExp::MapShapes(bodies[0].shape, TopAbs_VERTEX, vertices);
  EXPECT_EQ(edges.Extent(), 12);
  EXPECT_EQ(vertices.Extent(), 8);
  EXPECT_TRUE(BRepCheck_Analyzer(bodies[0].shape).IsValid());
}
