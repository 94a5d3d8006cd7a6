// The STL reader: binary and ASCII facets welded into a shared-vertex mesh.
#include "kolib/kostl.h"

#include "core/faults.h"
#include "core/files.h"
#include "core/numbers.h"
#include "opennurbs/point_index.h"

#include <algorithm>
#include <cstdarg>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace {

CString& lastError() {
  static CString text;
  return text;
}

int fail(const CString& reason) {
  lastError() = reason;
  return 0;
}

__attribute__((format(printf, 1, 2))) CString format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  CString s;
  s.FormatV(fmt, args);
  va_end(args);
  return s;
}

constexpr size_t kHeader = 84, kRecord = 50;
constexpr size_t kSniff = 512;  // bytes looked at to tell ASCII from binary

bool readFully(kv::file::Input& in, void* buffer, size_t size) { return in.read(buffer, size) == std::ptrdiff_t(size); }

bool isFinite(std::uint32_t bits) { return (bits & 0x7F800000u) != 0x7F800000u; }

// Corners into the mesh through the platform's welding table.
class Welder {
public:
  Welder(ON_Mesh& mesh, size_t expectedVertices) : mesh_(mesh), index_(expectedVertices) {
    mesh_.m_V.Reserve(int(std::min<size_t>(expectedVertices + 16, INT_MAX)));
  }

  void prefetch(std::uint64_t h) const { index_.prefetch(h); }

  // k holds a normalised point (no -0); h is its hash.
  std::uint32_t add(const std::uint32_t* k, std::uint64_t h) {
    auto fresh = std::uint32_t(mesh_.m_V.Count());
    std::uint32_t index = index_.findOrAdd(k, h, fresh);
    if (index == fresh) {
      float p[3];
      std::memcpy(p, k, sizeof p);
      mesh_.m_V.Append(ON_3fPoint(p[0], p[1], p[2]));
    }
    return index;
  }

private:
  ON_Mesh& mesh_;
  kv::PointIndex index_;
};

// One facet's corners, checked and normalised, waiting for its lookups.
struct Pending {
  std::uint32_t k[9];
  std::uint64_t h[3];
};

// Reads nine coordinates: 0 when one is not finite, -1 when the facet collapses (its corners
// are compared before they enter the mesh, so a dropped facet leaves no vertex), else 1.
int prepare(const void* coordinates, Pending& f) {
  // On the bits alone: a float round trip through memory stalls store forwarding.
  std::memcpy(f.k, coordinates, sizeof f.k);
  std::uint32_t bad = 0;
  for (std::uint32_t& b : f.k) {
    bad |= std::uint32_t(!isFinite(b));
    b = kv::foldMinusZero(b);
  }
  if (bad) return 0;
  const std::uint32_t* k = f.k;
  auto same = [k](int a, int b) { return k[a] == k[b] && k[a + 1] == k[b + 1] && k[a + 2] == k[b + 2]; };
  if (same(0, 3) || same(0, 6) || same(3, 6)) return -1;
  for (int c = 0; c < 3; ++c) f.h[c] = kv::PointIndex::hash(k + 3 * c);
  return 1;
}

void resolve(Welder& welder, ON_Mesh& mesh, const Pending& f) {
  ON_MeshFace face;
  face.vi[0] = int(welder.add(f.k, f.h[0]));
  face.vi[1] = int(welder.add(f.k + 3, f.h[1]));
  face.vi[2] = face.vi[3] = int(welder.add(f.k + 6, f.h[2]));
  mesh.m_F.Append(face);
}

int readBinary(kv::file::Input& in, size_t size, const unsigned char* header, const char* path, ON_Mesh& mesh) {
  std::uint32_t count;
  std::memcpy(&count, header + 80, 4);
  // The header's count is checked against the size before anything is sized from it.
  size_t needed = kHeader + kRecord * size_t(count);
  if (size < needed) return fail(format("Truncated binary STL file %s: %u facets need %zu bytes, the file has %zu", path, count, needed, size));
  if (size > needed) return fail(format("Binary STL file %s: facet count %u disagrees with the file size of %zu bytes", path, count, size));
  if (count > INT_MAX / 3) return fail(format("Binary STL file %s has too many facets (%u)", path, count));

  mesh.m_F.Reserve(int(count));
  // A closed mesh has about half as many vertices as facets.
  Welder welder(mesh, count / 2);
  constexpr size_t kChunk = 16384;
  // Facets wait this many places between the prefetch of their slots and their lookups.
  constexpr size_t kAhead = 8;
  Pending ring[kAhead];
  size_t head = 0, queued = 0;  // the oldest waiting facet, and how many wait
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk * kRecord]);
  if (in.seek(std::int64_t(kHeader)) != 0) return fail(format("Cannot read STL file %s", path));
  for (size_t done = 0; done < count;) {
    size_t n = std::min<size_t>(kChunk, count - done);
    if (!readFully(in, buffer.get(), n * kRecord)) return fail(format("Cannot read STL file %s", path));
    const unsigned char* record = buffer.get();
    for (size_t i = 0; i < n; ++i, record += kRecord) {
      if (queued == kAhead) {
        resolve(welder, mesh, ring[head]);
        head = (head + 1) % kAhead;
        --queued;
      }
      Pending& f = ring[(head + queued) % kAhead];
      int r = prepare(record + 12, f);
      if (r == 0) return fail(format("Coordinate not finite in facet %zu of STL file %s", done + i + 1, path));
      if (r < 0) continue;
      for (std::uint64_t h : f.h) welder.prefetch(h);
      ++queued;
    }
    done += n;
  }
  for (size_t i = 0; i < queued; ++i) resolve(welder, mesh, ring[(head + i) % kAhead]);
  return 1;
}

// A small tokenizer over the whole text, keeping the line number for messages.
class AsciiParser {
public:
  AsciiParser(std::string_view text, const char* path, ON_Mesh& mesh)
      : p_(text.data()), end_(text.data() + text.size()), path_(path), mesh_(mesh),
        // An ASCII facet takes some 250 bytes.
        welder_(mesh, text.size() / 500 + 16) {}

  int parse() {
    if (!keyword("solid")) return error("expected 'solid'");
    skipLine();
    for (;;) {
      std::string_view t = token();
      if (t.empty()) return error(facets_ ? "the file ends before 'endsolid'" : "the file ends before its first facet");
      if (same(t, "endsolid")) {
        skipLine();
        if (token().empty()) return 1;
        // Several solids may follow one another.
        if (!same(last_, "solid")) return error("expected 'solid' after 'endsolid'");
        skipLine();
        continue;
      }
      if (!same(t, "facet")) return error("expected 'facet' or 'endsolid'");
      if (!keyword("normal")) return error("expected 'normal'");
      for (int i = 0; i < 3; ++i)
        if (token().empty()) return error("the file ends inside a facet");
      if (!keyword("outer") || !keyword("loop")) return error("expected 'outer loop'");
      float v[9];
      for (int c = 0; c < 3; ++c) {
        if (!keyword("vertex")) return error("expected 'vertex'");
        for (int i = 0; i < 3; ++i)
          if (int r = number(v[3 * c + i]); r <= 0) return error(r < 0 ? "coordinate not finite" : "expected a number");
      }
      if (!keyword("endloop")) return error("expected 'endloop'");
      if (!keyword("endfacet")) return error("expected 'endfacet'");
      ++facets_;
      Pending f;
      if (prepare(v, f) > 0) resolve(welder_, mesh_, f);
    }
  }

private:
  int error(const char* what) { return fail(format("ASCII STL file %s, line %d: %s", path_, line_, what)); }

  static bool same(std::string_view a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
      if ((a[i] | 0x20) != b[i]) return false;
    return true;
  }

  std::string_view token() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n')) {
      if (*p_ == '\n') ++line_;
      ++p_;
    }
    const char* start = p_;
    while (p_ < end_ && !(*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n')) ++p_;
    last_ = std::string_view(start, size_t(p_ - start));
    return last_;
  }

  bool keyword(const char* word) { return same(token(), word); }

  void skipLine() {
    while (p_ < end_ && *p_ != '\n') ++p_;
  }

  // 1 read, 0 not a number, -1 not finite (out of float range included).
  int number(float& out) {
    switch (kv::parseNumber(token(), out)) {
      case kv::NumberParse::kOk: return 1;
      case kv::NumberParse::kOutOfRange: return -1;
      default: return 0;
    }
  }

  const char* p_;
  const char* end_;
  const char* path_;
  ON_Mesh& mesh_;
  Welder welder_;
  std::string_view last_;
  int line_ = 1;
  size_t facets_ = 0;
};

// "solid", a name line, then "facet" or "endsolid": binary headers may start with "solid" too.
bool looksAscii(const unsigned char* head, size_t n) {
  std::string_view s(reinterpret_cast<const char*>(head), n);
  auto startsWith = [](std::string_view text, const char* word) {
    size_t len = std::strlen(word);
    if (text.size() < len) return false;
    for (size_t k = 0; k < len; ++k)
      if ((text[k] | 0x20) != word[k]) return false;
    return true;
  };
  size_t i = s.find_first_not_of(" \t\r\n");
  if (i == std::string_view::npos || !startsWith(s.substr(i), "solid")) return false;
  size_t eol = s.find('\n', i);
  if (eol == std::string_view::npos) return n < kSniff;  // a short file: let the parser tell
  size_t next = s.find_first_not_of(" \t\r\n", eol);
  if (next == std::string_view::npos) return true;
  return startsWith(s.substr(next), "facet") || startsWith(s.substr(next), "endsolid");
}

int read(const char* path, ON_Mesh& mesh) {
  kv::file::Input in;
  // Armable as a read that fails as a vanished file would.
  if (kv::fault::check(kv::fault::Call::STLToMesh, -1) || in.open(path) != 0)
    return fail(format("Cannot open STL file %s", path));
  if (in.size() < 0) return fail(format("Cannot read STL file %s", path));
  auto size = size_t(in.size());
  if (size == 0) return fail(format("STL file %s is empty", path));

  unsigned char head[kSniff];
  size_t headSize = std::min(size, kSniff);
  if (!readFully(in, head, headSize)) return fail(format("Cannot read STL file %s", path));

  // A size that fits the facet count settles it: some binary headers start with "solid".
  bool binarySize = false;
  if (size >= kHeader) {
    std::uint32_t count;
    std::memcpy(&count, head + 80, 4);
    binarySize = size == kHeader + kRecord * size_t(count);
  }
  if (!binarySize && looksAscii(head, headSize)) {
    std::string text(size, '\0');
    std::memcpy(text.data(), head, headSize);
    if (size > headSize && !readFully(in, text.data() + headSize, size - headSize))
      return fail(format("Cannot read STL file %s", path));
    return AsciiParser(text, path, mesh).parse();
  }
  if (size < kHeader) return fail(format("Truncated STL file %s: %zu bytes, shorter than the 84-byte binary header", path, size));
  return readBinary(in, size, head, path, mesh);
}

}  // namespace

int KOSTL::STLToMesh(const char* path, ON_Mesh& mesh) {
  mesh.Destroy();
  if (!path || !*path) return fail("No STL file name given");
  ON_Mesh local;
  try {
    if (!read(path, local)) return 0;
  } catch (const std::bad_alloc&) {
    return fail(format("Out of memory reading STL file %s", path));
  }
  if (local.m_F.Count() == 0) return fail(format("STL file %s holds no facets with three distinct corners", path));
  mesh = std::move(local);
  return 1;
}

CString KOSTL::GetError() { return lastError(); }
