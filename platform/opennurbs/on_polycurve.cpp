#include <algorithm>
#include <memory>

#include "opennurbs/breakpoints.h"
#include "opennurbs/curve_values.h"
#include "opennurbs/nurbs_basis.h"
#include "opennurbs/on_curve.h"

namespace {

// The segment's own parameter at the polycurve's t, on piece i.
double localParameter(const ON_Curve& segment, const ON_SimpleArray<double>& t, int i, double at) {
  const ON_Interval piece(t[i], t[i + 1]);
  return segment.Domain().ParameterAt(piece.NormalizedParameterAt(at));
}

// Each segment's form over its piece of the polycurve, clamped; the highest answer of the
// segments (1 same parameter, 2 same curve), or 0 when one has no form.
int segmentForms(const ON_PolyCurve& poly, std::vector<ON_NurbsCurve>& forms) {
  int answer = 1;
  forms.resize(size_t(poly.Count()));
  for (int i = 0; i < poly.Count(); ++i) {
    ON_NurbsCurve& form = forms[size_t(i)];
    const int got = poly.SegmentCurve(i)->GetNurbForm(form);
    if (got == 0 || !form.SetDomain(poly.m_t[i], poly.m_t[i + 1]) || !form.Trim(form.Domain())) return 0;
    answer = std::max(answer, got);
  }
  return answer;
}

// Appends a clamped strip of the same degree that starts where the joined one ends. Its
// homogeneous points are scaled (which leaves its curve as it is) so that the shared point's
// weight is the one already there.
void join(kv::nurbs::Strip& joined, kv::nurbs::Strip next) {
  const double scale = joined.cv.back().w / next.cv.front().w;
  for (ON_4dPoint& p : next.cv) p = ON_4dPoint(p.x * scale, p.y * scale, p.z * scale, p.w * scale);
  joined.cv.insert(joined.cv.end(), next.cv.begin() + 1, next.cv.end());
  joined.knots.insert(joined.knots.end(), next.knots.begin() + (next.order - 1), next.knots.end());
}

}  // namespace

ON_PolyCurve::ON_PolyCurve(const ON_PolyCurve& other) : ON_Curve(other), m_t(other.m_t) {
  segments_.reserve(other.segments_.size());
  for (const ON_Curve* s : other.segments_) segments_.push_back(s->Duplicate());
}

ON_PolyCurve& ON_PolyCurve::operator=(const ON_PolyCurve& other) {
  if (this == &other) return *this;
  std::vector<ON_Curve*> copies;
  copies.reserve(other.segments_.size());
  for (const ON_Curve* s : other.segments_) copies.push_back(s->Duplicate());
  Destroy();
  segments_.swap(copies);
  m_t = other.m_t;
  return *this;
}

ON_PolyCurve::~ON_PolyCurve() { Destroy(); }

bool ON_PolyCurve::Append(ON_Curve* segment) {
  if (!segment || segment == this || !kv::curve::usable(segment->Domain())) return false;
  // Held twice it would be deleted twice.
  if (std::find(segments_.begin(), segments_.end(), segment) != segments_.end()) return false;
  const ON_Interval d = segment->Domain();
  if (segments_.empty()) {
    m_t.Empty();
    m_t.Append(d[0]);
    m_t.Append(d[1]);
  } else {
    assert(m_t.Count() == Count() + 1);
    m_t.Append(m_t[m_t.Count() - 1] + d.Length());
  }
  segments_.push_back(segment);
  return true;
}

ON_Curve* ON_PolyCurve::SegmentCurve(int i) const { return i >= 0 && i < Count() ? segments_[size_t(i)] : nullptr; }

void ON_PolyCurve::Destroy() {
  for (ON_Curve* s : segments_) delete s;
  segments_.clear();
  m_t.Empty();
}

bool ON_PolyCurve::IsValid(ON_TextLog*) const {
  if (segments_.empty() || m_t.Count() != Count() + 1 || !kv::breakpointsValid(m_t)) return false;
  return std::all_of(segments_.begin(), segments_.end(), [](const ON_Curve* s) { return s->IsValid(); });
}

bool ON_PolyCurve::Transform(const ON_Xform& xform) {
  ON_PolyCurve moved(*this);
  for (ON_Curve* s : moved.segments_)
    if (!s->Transform(xform)) return false;
  segments_.swap(moved.segments_);
  return true;
}

ON_Interval ON_PolyCurve::Domain() const {
  return m_t.Count() >= 2 ? ON_Interval(m_t[0], m_t[m_t.Count() - 1]) : ON_Interval();
}

bool ON_PolyCurve::SetDomain(double t0, double t1) {
  if (!kv::curve::usable(ON_Interval(t0, t1)) || !kv::breakpointsValid(m_t)) return false;
  kv::rescale(m_t, t0, t1);
  return true;
}

bool ON_PolyCurve::Evaluate(double t, int derCount, double* v, int side) const {
  if (derCount < 0 || !v || segments_.empty() || m_t.Count() != Count() + 1) return false;
  const int i = kv::pieceAt(m_t, t, side);
  if (i < 0) return false;
  const ON_Curve& segment = *segments_[size_t(i)];
  const double piece = m_t[i + 1] - m_t[i];
  if (!(piece > 0) || !segment.Evaluate(localParameter(segment, m_t, i, t), derCount, v, side)) return false;
  const double speed = segment.Domain().Length() / piece;
  double factor = 1;
  for (int k = 1; k <= derCount; ++k) {
    factor *= speed;
    for (int c = 0; c < 3; ++c) v[3 * k + c] *= factor;
  }
  return true;
}

int ON_PolyCurve::GetNurbForm(ON_NurbsCurve& nurbs) const {
  std::vector<ON_NurbsCurve> forms;
  const int answer = IsValid() ? segmentForms(*this, forms) : 0;
  if (answer == 0) return 0;
  int degree = 1;
  bool rational = false;
  for (const ON_NurbsCurve& f : forms) {
    degree = std::max(degree, f.Degree());
    rational = rational || f.IsRational();
  }
  kv::nurbs::Strip joined;
  for (const ON_NurbsCurve& f : forms) {
    kv::nurbs::Strip s = kv::nurbs::stripOf(f);
    s.elevate(degree);
    if (joined.cv.empty()) joined = s;
    else join(joined, s);
  }
  kv::nurbs::assign(nurbs, joined, rational);
  return answer;
}

bool ON_PolyCurve::Trim(const ON_Interval& interval) {
  if (!IsValid() || !kv::curve::within(Domain(), interval)) return false;
  const int first = kv::pieceAt(m_t, interval[0], 1), last = kv::pieceAt(m_t, interval[1], -1);
  // The end segments are trimmed as copies, so that a refusal changes nothing.
  std::unique_ptr<ON_Curve> head(segments_[size_t(first)]->Duplicate());
  std::unique_ptr<ON_Curve> tail(first == last ? nullptr : segments_[size_t(last)]->Duplicate());
  const double from = localParameter(*head, m_t, first, interval[0]);
  ON_Curve& lastCurve = tail ? *tail : *head;
  const double to = localParameter(lastCurve, m_t, last, interval[1]);
  if (tail ? !head->Trim(ON_Interval(from, head->Domain()[1])) || !tail->Trim(ON_Interval(tail->Domain()[0], to))
           : !head->Trim(ON_Interval(from, to)))
    return false;
  ON_SimpleArray<double> t;
  t.Append(interval[0]);
  for (int i = first + 1; i <= last; ++i) t.Append(m_t[i]);
  t.Append(interval[1]);
  std::vector<ON_Curve*> kept;
  for (int i = 0; i < Count(); ++i) {
    ON_Curve* s = segments_[size_t(i)];
    if (i == first || i == last) {
      kept.push_back(i == first ? head.release() : tail.release());
      delete s;
    } else if (i > first && i < last) {
      kept.push_back(s);
    } else {
      delete s;
    }
  }
  segments_.swap(kept);
  m_t = t;
  return true;
}

bool ON_PolyCurve::SetStartPoint(const ON_3dPoint& p) {
  return !segments_.empty() && segments_.front()->SetStartPoint(p);
}

bool ON_PolyCurve::SetEndPoint(const ON_3dPoint& p) { return !segments_.empty() && segments_.back()->SetEndPoint(p); }
