// Group-code/value pairs of ASCII DXF: the layer under sections, tables and entities.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/export.h"
#include "core/files.h"
#include "core/numbers.h"
#include "dxf/dxf_codepage.h"
#include "host/acdb.h"

namespace kv::dxf {

struct Tag {
  int code = 0;
  std::string value;  // the value line without its line end; spaces kept
  long line = 0;      // 1-based line of the group code
};

// Reads pairs from a file with bounded memory: a line longer than kMaxLine is an error, so a
// file of random bytes costs no more than one buffer.
class KV_PLATFORM_API TagReader {
public:
  static constexpr size_t kMaxLine = 65536;

  TagReader() = default;
  TagReader(const TagReader&) = delete;
  TagReader& operator=(const TagReader&) = delete;

  // eFileNotFound, eCantOpenFile, or eBadDxfFile for a binary DXF file; error says why.
  // Armable through the file calls ("fileOpen", "fileRead").
  Acad::ErrorStatus open(const std::string& path, std::string& error);

  // The next pair; 999 comments are skipped. False at the end of the input (ok() stays true)
  // or on a malformed pair (ok() false).
  bool next(Tag& tag);
  // The page the values of text codes (isTextCode) are decoded from, into UTF-8, from the
  // next pair read on; ANSI_1252 until set.
  void setCodepage(Codepage page) { codepage_ = page; }
  // Hands the last pair back to the next call of next(); one pair deep.
  void unread();
  bool ok() const { return error_.empty(); }
  // Records the first failure as "line N: message"; always answers false.
  bool fail(long line, const std::string& message);
  const std::string& error() const { return error_; }
  // The line after the last one read: where a truncated file ended.
  long line() const { return line_ + 1; }

private:
  bool readLine(std::string& out);
  // Refills the buffer; false at the end of the file or on a read error (then ok() is false).
  bool refill();

  file::Input file_;
  std::vector<char> buffer_ = std::vector<char>(65536);
  size_t pos_ = 0, len_ = 0;
  bool eof_ = false;
  long line_ = 0;
  Tag last_;
  bool pending_ = false;
  std::string error_;
  Codepage codepage_;
  std::string decoded_;
};

// Writes pairs into memory, codes right-aligned in three columns as the host writes them.
class KV_PLATFORM_API TagWriter {
public:
  // The page the values of text codes (isTextCode) are encoded in, from UTF-8; ANSI_1252
  // until set.
  void setCodepage(Codepage page) { codepage_ = page; }
  Codepage codepage() const { return codepage_; }
  // Control characters, which would break the line structure, are written as caret escapes.
  void str(int code, std::string_view value);
  void integer(int code, std::int64_t value);
  // The shortest text that reads back as the same double.
  void real(int code, double value);
  void handle(int code, std::uint64_t handle);
  // code, code + 10, code + 20 with x, y, z.
  void point(int code, const AcGePoint3d& p);
  const std::string& text() const { return out_; }
  std::string& text() { return out_; }

private:
  void codeLine(int code);
  std::string out_;
  Codepage codepage_;
  std::string encoded_;
};

}  // namespace kv::dxf
