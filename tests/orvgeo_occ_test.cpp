// The shape questions over curves made by Open CASCADE: each is answered as its true shape, and
// the values filled agree with Open CASCADE's own.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <GC_MakeArcOfCircle.hxx>
#include <GC_MakeArcOfEllipse.hxx>
#include <GC_MakeCircle.hxx>
#include <GC_MakeEllipse.hxx>
#include <GC_MakeSegment.hxx>
#include <GeomConvert.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_Circle.hxx>
#include <Geom_TrimmedCurve.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <gp_Circ.hxx>
#include <gp_Elips.hxx>
#include <gtest/gtest.h>

#include "opennurbs/opennurbs.h"
#include "orvgeo/orvgeo.h"
#include "orvgeo_shapes.h"

namespace {

ON_3dPoint on(const gp_Pnt& p) { return {p.X(), p.Y(), p.Z()}; }
ON_3dVector on(const gp_Dir& d) { return {d.X(), d.Y(), d.Z()}; }

// Poles, weights and the flat knot vector without its first and last knot, as our NURBS
// curves keep them. A periodic curve is spelled out clamped, or, kept periodic, unclamped
// with its first `degree` poles again at the end (for flat knots of length poles + 2 degree).
ON_NurbsCurve fromOcc(const Handle(Geom_BSplineCurve) & source, bool keepPeriodic = false) {
  Handle(Geom_BSplineCurve) b = Handle(Geom_BSplineCurve)::DownCast(source->Copy());
  if (b->IsPeriodic() && !keepPeriodic) b->SetNotPeriodic();
  const int poles = b->NbPoles(), degree = b->Degree(), extra = b->IsPeriodic() ? degree : 0;
  const TColStd_Array1OfReal& flat = b->KnotSequence();
  ON_NurbsCurve c;
  EXPECT_TRUE(c.Create(3, b->IsRational(), degree + 1, poles + extra));
  for (int i = 0; i < c.KnotCount(); ++i) c.SetKnot(i, flat(flat.Lower() + 1 + i));
  for (int i = 0; i < poles + extra; ++i) {
    c.SetCV(i, on(b->Pole(i % poles + 1)));
    if (b->IsRational()) c.SetWeight(i, b->Weight(i % poles + 1));
  }
  EXPECT_TRUE(c.IsValid());
  EXPECT_EQ(c.IsPeriodic(), extra != 0);
  // The same curve on the same parameter, so each is tested as the shape Open CASCADE made.
  const double t0 = b->FirstParameter(), t1 = b->LastParameter(), size = b->Pole(1).Distance(b->Pole(poles)) + 1;
  EXPECT_EQ(c.Domain()[0], t0);
  EXPECT_EQ(c.Domain()[1], t1);
  for (int k = 0; k <= 8; ++k) {
    const double t = t0 + (t1 - t0) * k / 8;
    EXPECT_LE(c.PointAt(t).DistanceTo(on(b->Value(t))), 1e-13 * size) << t;
  }
  return c;
}

Handle(Geom_BSplineCurve) bspline(const Handle(Geom_Curve) & curve,
                                  Convert_ParameterisationType type = Convert_TgtThetaOver2) {
  return GeomConvert::CurveToBSplineCurve(curve, type);
}

// The same curve with its degree raised and a knot put in, so that the forms differ.
Handle(Geom_BSplineCurve) raised(const Handle(Geom_BSplineCurve) & b, int degree) {
  Handle(Geom_BSplineCurve) r = Handle(Geom_BSplineCurve)::DownCast(b->Copy());
  if (degree > r->Degree()) r->IncreaseDegree(degree);
  r->InsertKnot(r->FirstParameter() + 0.37 * (r->LastParameter() - r->FirstParameter()));
  return r;
}

// Clamped with uniform inner knots.
Handle(Geom_BSplineCurve) clamped(const std::vector<gp_Pnt>& points, int degree, const std::vector<double>& weights) {
  const int n = int(points.size()), spans = n - degree;
  TColgp_Array1OfPnt poles(1, n);
  TColStd_Array1OfReal w(1, n);
  for (int i = 0; i < n; ++i) {
    poles(i + 1) = points[size_t(i)];
    w(i + 1) = weights.empty() ? 1.0 : weights[size_t(i)];
  }
  TColStd_Array1OfReal knots(1, spans + 1);
  TColStd_Array1OfInteger mults(1, spans + 1);
  for (int i = 0; i <= spans; ++i) {
    knots(i + 1) = i;
    mults(i + 1) = i == 0 || i == spans ? degree + 1 : 1;
  }
  if (weights.empty()) return new Geom_BSplineCurve(poles, knots, mults, degree);
  return new Geom_BSplineCurve(poles, w, knots, mults, degree);
}

double relative(const ON_3dPoint& a, const ON_3dPoint& b, double size) { return a.DistanceTo(b) / size; }

// The arc or circle filled agrees with the circle Open CASCADE built and the curve's ends.
// The centre is known only as well as the points' rounding (relative to their coordinates,
// not to the radius) allows, divided by the square of the sweep for a short arc.
void expectOnCircle(const ON_Circle& got, const gp_Circ& circ, const Handle(Geom_Curve) & curve, bool reversed,
                    double sweep = 2 * ON_PI) {
  const double r = circ.Radius(), far = gp_Vec(circ.Location().XYZ()).Magnitude() + r;
  const double eps = std::max(1e-12, 1e-14 * far / r / std::pow(std::min(1.0, sweep), 2));
  EXPECT_LE(relative(got.Center(), on(circ.Location()), r), eps);
  EXPECT_NEAR(got.Radius(), r, eps * r);
  ON_3dVector axis = on(circ.Axis().Direction());
  EXPECT_LE(((reversed ? -axis : axis) - got.Normal()).Length(), eps);
  EXPECT_LE(relative(got.PointAt(0), on(curve->Value(curve->FirstParameter())), far), 1e-14);
}

gp_Dir randomDir(std::mt19937& rng) {
  std::normal_distribution<double> n;
  return gp_Dir(n(rng), n(rng), n(rng));
}

gp_Pnt randomPoint(std::mt19937& rng, double spread) {
  std::uniform_real_distribution<double> u(-spread, spread);
  return gp_Pnt(u(rng), u(rng), u(rng));
}

}  // namespace

TEST(OrvCurveOcc, SegmentsAreLinesInEveryForm) {
  std::mt19937 rng(17);
  for (int round = 0; round < 8; ++round) {
    const gp_Pnt p = randomPoint(rng, 100), q = randomPoint(rng, 100);
    Handle(Geom_TrimmedCurve) segment = GC_MakeSegment(p, q).Value();
    Handle(Geom_BSplineCurve) b = bspline(segment);
    for (int degree = 1; degree <= 5; ++degree) {
      SCOPED_TRACE(testing::Message() << "round " << round << " degree " << degree);
      Handle(Geom_BSplineCurve) r = raised(b, degree);
      if (degree > 2) {  // uneven weights move points along the line, not off it
        r->SetWeight(2, 0.4);
        r->SetWeight(3, 2.5);
      }
      ON_NurbsCurve c = fromOcc(r);
      EXPECT_EQ(shapesOf(&c), "L..P");
      ON_Line line;
      ASSERT_EQ(ORVCurve::IsLine(&c, line), 1);
      const double length = p.Distance(q);
      EXPECT_LE(relative(line.from, on(p), length), 1e-14);
      EXPECT_LE(relative(line.to, on(q), length), 1e-14);
      ON_Polyline pl;
      ASSERT_EQ(ORVCurve::IsPolyline(&c, pl), 1);
      EXPECT_EQ(pl.Count(), degree == 1 ? r->NbPoles() : 2);
    }
  }
}

TEST(OrvCurveOcc, CirclesAreCirclesInEveryExactForm) {
  std::mt19937 rng(5);
  const Convert_ParameterisationType forms[] = {Convert_TgtThetaOver2, Convert_TgtThetaOver2_3,
                                                Convert_QuasiAngular, Convert_RationalC1};
  for (int round = 0; round < 6; ++round) {
    const gp_Ax2 axes(randomPoint(rng, 50), randomDir(rng));
    const double radius = std::exp(std::uniform_real_distribution<double>(-5, 5)(rng));
    Handle(Geom_Circle) circle = GC_MakeCircle(axes, radius).Value();
    for (Convert_ParameterisationType form : forms) {
      for (bool reverse : {false, true}) {
        SCOPED_TRACE(testing::Message() << "round " << round << " form " << int(form) << " reversed " << reverse);
        Handle(Geom_Curve) source = reverse ? circle->Reversed() : Handle(Geom_Curve)(circle);
        Handle(Geom_BSplineCurve) b = bspline(source, form);
        ASSERT_TRUE(b->IsPeriodic());
        // Unclamped as it comes (degree 0 below) where its flat knots hold no seam of their own.
        const bool plain = b->KnotSequence().Length() == b->NbPoles() + 2 * b->Degree();
        for (int degree : {plain ? 0 : b->Degree(), b->Degree(), std::max(b->Degree(), 5)}) {
          ON_NurbsCurve c = degree == 0 ? fromOcc(b, true) : fromOcc(raised(b, degree));
          EXPECT_EQ(shapesOf(&c), ".CA.");
          ON_Circle got;
          ASSERT_EQ(ORVCurve::IsCircle(&c, got), 1);
          expectOnCircle(got, circle->Circ(), source, reverse);
          ON_Arc arc;
          ASSERT_EQ(ORVCurve::IsArc(&c, arc), 1);
          EXPECT_TRUE(arc.IsCircle());
        }
      }
    }
  }
}

TEST(OrvCurveOcc, ArcsKeepTheirCentreRadiusEndsAndSweep) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> angle(-ON_PI, ON_PI), turn(1e-2, 2 * ON_PI - 1e-2);
  for (int round = 0; round < 24; ++round) {
    const gp_Circ circ(gp_Ax2(randomPoint(rng, 10), randomDir(rng)), std::exp(std::uniform_real_distribution<double>(-3, 3)(rng)));
    const double a1 = angle(rng), a2 = a1 + turn(rng);
    const bool sense = round % 2 == 0;
    Handle(Geom_TrimmedCurve) trimmed = GC_MakeArcOfCircle(circ, a1, a2, sense).Value();
    SCOPED_TRACE(testing::Message() << "round " << round << " from " << a1 << " to " << a2 << " sense " << sense);
    for (int degree : {2, 3, 5}) {
      ON_NurbsCurve c = fromOcc(raised(bspline(trimmed), degree));
      EXPECT_EQ(shapesOf(&c), "..A.");
      ON_Arc arc;
      ASSERT_EQ(ORVCurve::IsArc(&c, arc), 1);
      // The trimmed curve's parameter is the angle on its basis circle, turned as it turns.
      Handle(Geom_Circle) basis = Handle(Geom_Circle)::DownCast(trimmed->BasisCurve());
      const bool turnedBack = basis->Circ().Axis().Direction().Dot(circ.Axis().Direction()) < 0;
      const double sweep = trimmed->LastParameter() - trimmed->FirstParameter();
      expectOnCircle(arc, circ, trimmed, turnedBack, sweep);
      EXPECT_NEAR(arc.AngleRadians(), sweep, 1e-10);
      EXPECT_LE(arc.EndPoint().DistanceTo(on(trimmed->EndPoint())), 1e-12 * circ.Radius());
    }
  }
  // Through three points.
  const gp_Pnt p1(1, 0, 0), p2(0, 1, 0.5), p3(-1, 0, 1);
  ON_NurbsCurve c = fromOcc(bspline(GC_MakeArcOfCircle(p1, p2, p3).Value()));
  ON_Arc arc;
  ASSERT_EQ(ORVCurve::IsArc(&c, arc), 1);
  EXPECT_LE(arc.StartPoint().DistanceTo(on(p1)), 1e-14);
  EXPECT_LE(arc.EndPoint().DistanceTo(on(p3)), 1e-14);
  gp_Circ through = GC_MakeCircle(p1, p2, p3).Value()->Circ();
  EXPECT_LE(arc.Center().DistanceTo(on(through.Location())), 1e-14);
}

TEST(OrvCurveOcc, EllipsesAndTheirArcsAreNoShape) {
  std::mt19937 rng(3);
  for (int round = 0; round < 6; ++round) {
    const gp_Ax2 axes(randomPoint(rng, 10), randomDir(rng));
    const double minor = std::uniform_real_distribution<double>(0.5, 2)(rng);
    for (double stretch : {1 + 1e-7, 1.01, 3.0}) {
      SCOPED_TRACE(testing::Message() << "round " << round << " stretch " << stretch);
      gp_Elips elips(axes, minor * stretch, minor);
      const Handle(Geom_Curve) whole(GC_MakeEllipse(elips).Value());
      const Handle(Geom_Curve) part(GC_MakeArcOfEllipse(elips, 0.3, 2.1, true).Value());
      for (const Handle(Geom_Curve)& source : {whole, part}) {
        for (int degree : {2, 4}) {
          ON_NurbsCurve c = fromOcc(raised(bspline(source), degree));
          EXPECT_EQ(shapesOf(&c), "....");
        }
      }
    }
  }
}

TEST(OrvCurveOcc, RandomSplinesOfEveryDegreeAreNoShapeButDegreeOneIsAPolyline) {
  std::mt19937 rng(29);
  std::uniform_real_distribution<double> weight(0.2, 5);
  for (int round = 0; round < 10; ++round) {
    for (int degree = 1; degree <= 5; ++degree) {
      for (bool rational : {false, true}) {
        SCOPED_TRACE(testing::Message() << "round " << round << " degree " << degree << " rational " << rational);
        std::vector<gp_Pnt> points;
        std::vector<double> weights;
        const int n = degree + 2 + round;
        for (int i = 0; i < n; ++i) {
          points.push_back(randomPoint(rng, 20));
          if (rational) weights.push_back(weight(rng));
        }
        Handle(Geom_BSplineCurve) b = clamped(points, degree, weights);
        ON_NurbsCurve c = fromOcc(b);
        ASSERT_EQ(shapesOf(&c), degree == 1 ? "...P" : "....");
        if (degree != 1) continue;
        ON_Polyline pl;
        ASSERT_EQ(ORVCurve::IsPolyline(&c, pl), 1);
        ASSERT_EQ(pl.Count(), n);
        for (int i = 0; i < n; ++i) EXPECT_LE(pl[i].DistanceTo(on(points[size_t(i)])), 1e-13) << i;
      }
    }
  }
}

TEST(OrvCurveOcc, RandomCollinearSplinesRunningOneWayAreLines) {
  std::mt19937 rng(41);
  std::uniform_real_distribution<double> step(0, 3), weight(0.2, 5);
  for (int round = 0; round < 10; ++round) {
    const gp_Pnt origin = randomPoint(rng, 50);
    const gp_Dir dir = randomDir(rng);
    for (int degree = 1; degree <= 5; ++degree) {
      for (bool rational : {false, true}) {
        SCOPED_TRACE(testing::Message() << "round " << round << " degree " << degree << " rational " << rational);
        std::vector<gp_Pnt> points;
        std::vector<double> weights;
        double along = 0;
        for (int i = 0; i < degree + 3; ++i) {
          points.push_back(origin.Translated(gp_Vec(dir) * along));
          along += step(rng) + (i == 0 ? 0.1 : 0);  // never back, and away from the start
          if (rational) weights.push_back(weight(rng));
        }
        Handle(Geom_BSplineCurve) b = clamped(points, degree, weights);
        ON_NurbsCurve c = fromOcc(b);
        ON_Line line;
        ASSERT_EQ(ORVCurve::IsLine(&c, line), 1);
        EXPECT_LE(line.from.DistanceTo(on(b->StartPoint())), 1e-12);
        EXPECT_LE(line.to.DistanceTo(on(b->EndPoint())), 1e-12);
      }
    }
  }
}
