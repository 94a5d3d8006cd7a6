// Platform only: how SAT 7.0 records are printed, for every writer of SAT text (the shapes'
// writer, sat_writer.cpp, and the maker's mesh writer): a record's describe() in
// sat_records.h run with a FieldWriter prints its fields, so reader and writers share one
// layout. Text goes into a string that a writer may hand on and empty between records.
#pragma once

#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modeler/sat_records.h"

namespace kv::modeler::sat {

// Thrown by the printers for what SAT cannot hold; each writer turns it into its refusal.
struct WriteError {
  std::string message;
};

// Readers of SAT inside DXF split long lines badly; records wrap between tokens instead.
inline constexpr std::size_t kLineLength = 160;

class Line {
public:
  // Without numbers, a record's place in the file numbers it: smaller files, harder reading.
  explicit Line(std::string& out, bool numbered = true) : out_(out), numbered_(numbered) {}

  void start(long long number, std::string_view type) {
    lineStart_ = out_.size();
    if (numbered_) {
      char buf[24] = "-";
      out_.append(buf, std::size_t(std::to_chars(buf + 1, buf + sizeof buf, number).ptr - buf));
      out_ += ' ';
    }
    out_ += type;
  }
  void tok(std::string_view t) {
    if (out_.size() - lineStart_ + t.size() + 1 > kLineLength) {
      out_ += '\n';
      lineStart_ = out_.size();
    } else {
      out_ += ' ';
    }
    out_ += t;
  }
  // Numbers are formatted on the stack: a file has millions of them.
  void ptr(long long index) {
    if (index == -1) return tok("$-1");  // most of them
    char buf[24] = "$";
    tok(std::string_view(buf, std::size_t(std::to_chars(buf + 1, buf + sizeof buf, index).ptr - buf)));
  }
  void num(double v) {
    if (!std::isfinite(v)) throw WriteError{"geometry holds a value that is not finite"};
    if (v == 0) v = 0;  // no "-0"
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    tok(std::string_view(buf, std::size_t(res.ptr - buf)));
  }
  void integer(long long v) {
    char buf[24];
    tok(std::string_view(buf, std::size_t(std::to_chars(buf, buf + sizeof buf, v).ptr - buf)));
  }
  void xyz(const gp_XYZ& p) {
    num(p.X());
    num(p.Y());
    num(p.Z());
  }
  // One token, so that the count and its text stay on one line; short ones built on the stack.
  void string(std::string_view s) {
    char buf[64] = "@";
    if (s.size() + 24 > sizeof buf) return tok("@" + std::to_string(s.size()) + " " + std::string(s));
    char* p = std::to_chars(buf + 1, buf + 24, s.size()).ptr;
    *p++ = ' ';
    std::memcpy(p, s.data(), s.size());
    tok(std::string_view(buf, std::size_t(p + s.size() - buf)));
  }
  void end() { out_ += " #\n"; }
  // After the caller emptied the string between records.
  void restart() { lineStart_ = out_.size(); }

private:
  std::string& out_;
  bool numbered_;
  std::size_t lineStart_ = 0;
};

// Prints the fields a record's describe() lists, as 7.0 writes them; see sat_records.h.
class FieldWriter {
public:
  explicit FieldWriter(Line& line) : l_(line) {}

  static int version() { return 700; }
  void ids(long long& id) { l_.integer(id); }
  void extras(rec::Extras) {}
  void pointer(const char*, rec::Ptr& p, rec::Read = rec::Read::must) { l_.ptr(p); }
  void real(const char*, double& v, rec::Read = rec::Read::must) { l_.num(v); }
  void real(const char*, std::optional<double>& v) {
    assert(v);
    l_.num(*v);
  }
  void logical(bool& v, std::string_view no, std::string_view yes, rec::Read = rec::Read::must) {
    l_.tok(v ? yes : no);
  }
  void word(const char*, std::string_view& w, rec::Read = rec::Read::must) { l_.tok(w); }
  void oneOf(const char*, std::string_view& w, std::initializer_list<std::string_view>, rec::Read) { l_.tok(w); }
  void position(const char*, gp_XYZ& p, rec::Read = rec::Read::must) { l_.xyz(p); }
  void vector(const char*, gp_XYZ& p, rec::Read = rec::Read::must) { l_.xyz(p); }
  void direction(const char*, gp_XYZ& p, rec::Read = rec::Read::must) { l_.xyz(p); }
  void interval(const char*, rec::Interval& x, rec::Read = rec::Read::must) {
    bound(x.low);
    bound(x.high);
  }
  void string(const char*, std::string_view& s, rec::Read) { l_.string(s); }
  void list(const char*, std::vector<double>& values, rec::Read) {
    l_.integer(static_cast<long long>(values.size()));
    for (double v : values) l_.num(v);
  }
  template <class T>
  void subtype(T& data) {
    l_.tok("{");
    describe(*this, data);
    l_.tok("}");
  }
  void approximation(std::string_view& level, std::string_view, bool) { l_.tok(level); }
  void form(const char*, bool& rational) { l_.tok(rational ? "nurbs" : "nubs"); }
  void degree(int& d) { l_.integer(d); }
  template <class T>
  void count(const char*, std::vector<T>& list, long long, long long) {
    l_.integer(static_cast<long long>(list.size()));
  }
  void knots(std::vector<rec::Knot>& knots, int) {
    for (const rec::Knot& k : knots) {
      l_.num(k.value);
      l_.integer(k.multiplicity);
    }
  }
  void poles(std::vector<rec::Pole>& poles, bool rational, long long n) {
    assert(static_cast<long long>(poles.size()) == n);
    (void)n;
    for (const rec::Pole& p : poles) {
      l_.xyz(p.point);
      if (rational) l_.num(p.weight);
    }
  }
  void poleGrid(std::vector<rec::Pole>& grid, bool rational, long long nu, long long nv) {
    poles(grid, rational, nu * nv);
  }

private:
  void bound(const std::optional<double>& b) {
    if (!b) {
      l_.tok("I");
      return;
    }
    l_.tok("F");
    l_.num(*b);
  }

  Line& l_;
};

// One whole record: its number, type, the common prefix and its own fields.
template <class T>
void put(Line& l, long long number, T& record) {
  l.start(number, T::kType);
  FieldWriter io(l);
  rec::Prefix prefix;
  describe(io, prefix);
  describe(io, record);
  l.end();
}

// Record numbers. The records go out in blocks of one type each, in the order of Block, the
// bodies first as the format wants its top entities; a record's number is where its block
// starts plus the item's index in the block, which is its place in its writer's lists (a
// face's surface and an edge's curve share their owner's index). All block sizes are known
// once the bodies are collected and the vertices numbered, so every pointer is known before
// the first record is written.
enum Block {
  kBodies, kLumps, kShells, kFaces, kLoops, kCoedges, kEdges, kVertices, kPoints, kSurfaces, kCurves,
  kBlocks  // how many there are
};

class Numbering {
public:
  explicit Numbering(const std::array<long long, kBlocks>& sizes) {
    for (int b = 1; b < kBlocks; ++b) start_[b] = start_[b - 1] + sizes[b - 1];
  }
  // The record of item `index` of block `b`; -1, no record, for a negative index.
  long long operator()(Block b, long long index) const { return index < 0 ? -1 : start_[b] + index; }

private:
  std::array<long long, kBlocks> start_{};
};

// The three header lines of a 7.0 file of `bodies` top entities, millimetre units, written by
// `product`, dated now.
void header(std::string& out, std::size_t bodies, std::string_view product);

}  // namespace kv::modeler::sat
