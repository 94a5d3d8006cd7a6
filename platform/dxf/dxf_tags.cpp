#include "dxf/dxf_tags.h"
#include "core/numbers.h"

#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstring>

namespace kv::dxf {

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus TagReader::open(const std::string& path, std::string& error) {
  if (int err = file_.open(path)) {
    error = "cannot open " + path + ": " + file::describe(err);
    return err == ENOENT ? Acad::eFileNotFound : Acad::eCantOpenFile;
  }
  if (!refill()) {
    error = "cannot read " + path + ": " + file::describe(file_.error());
    return Acad::eCantOpenFile;
  }
  static const char kBinary[] = "AutoCAD Binary DXF";
  if (len_ >= sizeof kBinary - 1 && std::memcmp(buffer_.data(), kBinary, sizeof kBinary - 1) == 0) {
    error = "binary DXF is not supported; save the drawing as ASCII DXF";
    return Acad::eBadDxfFile;
  }
  // A UTF-8 byte-order mark, as some R2007+ writers put first.
  if (len_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  return Acad::eOk;
}

bool TagReader::refill() {
  std::ptrdiff_t n = file_.read(buffer_.data(), buffer_.size());
  pos_ = 0;
  if (n < 0) {
    len_ = 0;
    eof_ = true;
    return fail(line_ + 1, "cannot read the file: " + file::describe(file_.error()));
  }
  len_ = size_t(n);
  eof_ = len_ < buffer_.size();
  return true;
}

bool TagReader::readLine(std::string& out) {
  out.clear();
  bool any = false;
  for (;;) {
    if (pos_ == len_) {
      if (eof_) return any;
      if (!refill()) return false;
      if (len_ == 0) return any;
    }
    any = true;
    const char* start = buffer_.data() + pos_;
    const void* nl = std::memchr(start, '\n', len_ - pos_);
    size_t take = nl ? size_t(static_cast<const char*>(nl) - start) : len_ - pos_;
    if (out.size() + take > kMaxLine) {
      fail(line_ + 1, "line is too long for DXF");
      return false;
    }
    out.append(start, take);
    pos_ += take;
    if (nl) {
      ++pos_;
      break;
    }
  }
  if (!out.empty() && out.back() == '\r') out.pop_back();
  return true;
}

bool TagReader::next(Tag& tag) {
  if (!ok()) return false;
  if (pending_) {
    pending_ = false;
    tag = last_;
    return true;
  }
  for (;;) {
    std::string codeText;
    if (!readLine(codeText)) return false;
    ++line_;
    long codeLine = line_;
    std::int64_t code = 0;
    std::string_view t = kv::trimBlanks(codeText);
    if (t.empty() && pos_ == len_ && eof_) return false;  // blank last line
    if (!kv::toNumber(t, code)) return fail(codeLine, "group code is not a number");
    if (code < 0 || code > 1071) return fail(codeLine, "group code " + std::to_string(code) + " is out of range");
    if (!readLine(last_.value)) {
      if (ok()) fail(codeLine, "file ends after group code " + std::to_string(code) + " without its value");
      return false;
    }
    ++line_;
    if (code == 999) continue;
    if (isTextCode(int(code)) && !codepage_.passesThrough(last_.value)) {
      codepage_.decode(last_.value, decoded_);
      last_.value.swap(decoded_);
    }
    last_.code = int(code);
    last_.line = codeLine;
    tag = last_;
    return true;
  }
}

void TagReader::unread() { pending_ = true; }

bool TagReader::fail(long line, const std::string& message) {
  if (error_.empty()) error_ = "line " + std::to_string(line) + ": " + message;
  return false;
}

// ---------------------------------------------------------------------------------------------

void TagWriter::codeLine(int code) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%3d\n", code);
  out_.append(buf, size_t(n));
}

void TagWriter::str(int code, std::string_view value) {
  codeLine(code);
  if (isTextCode(code) && !codepage_.passesThrough(value)) {
    codepage_.encode(value, encoded_);
    value = encoded_;
  }
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 32) {
      out_ += '^';
      out_ += char(c + 64);
    } else {
      out_ += c;
    }
  }
  out_ += '\n';
}

void TagWriter::integer(int code, std::int64_t value) {
  codeLine(code);
  out_ += std::to_string(value);
  out_ += '\n';
}

void TagWriter::real(int code, double value) {
  codeLine(code);
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  std::string_view text(buf, ec == std::errc() ? size_t(end - buf) : 0);
  out_ += text;
  // Integral values get a decimal point, as readers that sniff a real's type expect.
  if (std::isfinite(value) && text.find_first_of(".e") == std::string_view::npos) out_ += ".0";
  out_ += '\n';
}

void TagWriter::handle(int code, std::uint64_t handle) {
  codeLine(code);
  char buf[20];
  std::snprintf(buf, sizeof buf, "%" PRIX64, handle);
  out_ += buf;
  out_ += '\n';
}

void TagWriter::point(int code, const AcGePoint3d& p) {
  real(code, p.x);
  real(code + 10, p.y);
  real(code + 20, p.z);
}

}  // namespace kv::dxf
