#include "dxf/dxf_tags.h"
#include "core/numbers.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cctype>
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
    return breakOff(line_ + 1, "cannot read the file: " + file::describe(file_.error()));
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
      breakOff(line_ + 1, "line is too long for DXF");
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
  } else if (!fromReplay() && !fromFile(last_)) {
    return false;
  }
  if (recording_) record(last_);
  tag = last_;
  return true;
}

bool TagReader::fromFile(Tag& tag) {
  for (;;) {
    std::string codeText;
    if (!readLine(codeText)) return false;
    ++line_;
    long codeLine = line_;
    std::int64_t code = 0;
    std::string_view t = kv::trimBlanks(codeText);
    if (t.empty() && pos_ == len_ && eof_) return false;  // blank last line
    if (!kv::toNumber(t, code)) return breakOff(codeLine, "group code is not a number");
    if (code < 0 || code > 1071) return breakOff(codeLine, "group code " + std::to_string(code) + " is out of range");
    if (!readLine(tag.value)) {
      if (ok()) breakOff(codeLine, "file ends after group code " + std::to_string(code) + " without its value");
      return false;
    }
    ++line_;
    if (code == 999) continue;
    if (isTextCode(int(code)) && !codepage_.passesThrough(tag.value)) {
      codepage_.decode(tag.value, decoded_);
      tag.value.swap(decoded_);
    }
    tag.code = int(code);
    tag.line = codeLine;
    if ((code == 5 || code == 105) && tracking_) maxHandle_ = std::max(maxHandle_, parseHandle(tag.value));
    return true;
  }
}

bool TagReader::fromReplay() {
  if (replayAt_ >= replay_.size()) return false;
  std::uint64_t code = 0, line = 0, size = 0;
  bool sound = getVarint(replay_, replayAt_, code) && getVarint(replay_, replayAt_, line) &&
               getVarint(replay_, replayAt_, size) && replayAt_ + size <= replay_.size();
  assert(sound && "recordings are our own");
  if (!sound) return false;
  last_.code = int(code);
  last_.line = long(line);
  last_.value.assign(replay_, replayAt_, size);
  replayAt_ += size;
  if (replayAt_ == replay_.size()) {
    replay_.clear();
    replayAt_ = 0;
  }
  return true;
}

void TagReader::record(const Tag& tag) {
  lastRecorded_ = recorded_.size();
  putVarint(recorded_, std::uint64_t(tag.code));
  putVarint(recorded_, std::uint64_t(tag.line));
  putVarint(recorded_, tag.value.size());
  recorded_ += tag.value;
}

void TagReader::unread() {
  pending_ = true;
  if (recording_) recorded_.resize(lastRecorded_);
}

void TagReader::startRecording() {
  recording_ = true;
  recorded_.clear();
  lastRecorded_ = 0;
}

std::string TagReader::stopRecording() {
  recording_ = false;
  std::string out;
  out.swap(recorded_);
  return out;
}

void TagReader::replay(std::string recording) {
  // A pair handed back came after the recording, and what is left of an earlier replay after
  // that: they come after it again.
  if (pending_) {
    pending_ = false;
    putVarint(recording, std::uint64_t(last_.code));
    putVarint(recording, std::uint64_t(last_.line));
    putVarint(recording, last_.value.size());
    recording += last_.value;
  }
  if (replayAt_ < replay_.size()) recording.append(replay_, replayAt_, std::string::npos);
  replay_ = std::move(recording);
  replayAt_ = 0;
}

bool TagReader::exhausted() const { return !pending_ && replayAt_ >= replay_.size() && eof_ && pos_ == len_; }

bool TagReader::fail(long line, const std::string& message) {
  if (error_.empty()) {
    error_ = "line " + std::to_string(line) + ": " + message;
    // Past the file's end nothing more can be read, whoever noticed it.
    broken_ = exhausted();
  }
  return false;
}

bool TagReader::breakOff(long line, const std::string& message) {
  fail(line, message);
  broken_ = true;
  return false;
}

void TagReader::recover() {
  if (!broken_) error_.clear();
}

std::uint64_t parseHandle(std::string_view text) {
  std::uint64_t h = 0;
  return kv::toNumber(text, h, 16) ? h : 0;
}

void putVarint(std::string& out, std::uint64_t value) {
  while (value >= 0x80) {
    out += char((value & 0x7F) | 0x80);
    value >>= 7;
  }
  out += char(value);
}

bool getVarint(std::string_view text, size_t& at, std::uint64_t& value) {
  std::uint64_t v = 0;
  for (size_t i = at, shift = 0; i < text.size() && shift < 64; ++i, shift += 7) {
    auto byte = static_cast<unsigned char>(text[i]);
    v |= std::uint64_t(byte & 0x7F) << shift;
    if (!(byte & 0x80)) {
      at = i + 1;
      value = v;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------

void TagWriter::codeLine(int code) {
  char buf[16];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, code);
  size_t n = ec == std::errc() ? size_t(end - buf) : 0;
  if (n < 3) out_.append(3 - n, ' ');
  out_.append(buf, n);
  out_ += '\n';
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

void TagWriter::verbatim(int code, std::string_view value) {
  assert(value.find('\n') == std::string_view::npos && "a value read from a file holds no line end");
  codeLine(code);
  if (isTextCode(code) && !codepage_.passesThrough(value)) {
    codepage_.encode(value, encoded_);
    value = encoded_;
  }
  out_ += value;
  // A reader takes one carriage return off the line's end: a value that ends in one keeps it.
  if (!value.empty() && value.back() == '\r') out_ += '\r';
  out_ += '\n';
}

void TagWriter::integer(int code, std::int64_t value) {
  codeLine(code);
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out_.append(buf, ec == std::errc() ? size_t(end - buf) : 0);
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
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, handle, 16);
  for (char* c = buf; c < end; ++c) *c = char(std::toupper(static_cast<unsigned char>(*c)));
  out_.append(buf, ec == std::errc() ? size_t(end - buf) : 0);
  out_ += '\n';
  if (code == 5 || code == 105) maxHandle_ = std::max(maxHandle_, handle);
}

void TagWriter::point(int code, const AcGePoint3d& p) {
  real(code, p.x);
  real(code + 10, p.y);
  real(code + 20, p.z);
}

}  // namespace kv::dxf
