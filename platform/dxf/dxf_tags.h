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

// A handle as DXF writes it (hexadecimal, blanks around allowed); 0 for anything else.
KV_PLATFORM_API std::uint64_t parseHandle(std::string_view text);

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
  // or on a failure (ok() false).
  bool next(Tag& tag);
  // The page the values of text codes (isTextCode) are decoded from, into UTF-8, from the
  // next pair read on; ANSI_1252 until set.
  void setCodepage(Codepage page) { codepage_ = page; }
  // Hands the last pair back to the next call of next(); one pair deep.
  void unread();
  bool ok() const { return error_.empty(); }
  // Records the first failure as "line N: message"; always answers false.
  bool fail(long line, const std::string& message);
  // A failure of the pairs themselves (a malformed pair, the file's end, a read error): the
  // file cannot be read on. Any other failure (a value an item's reader cannot take) leaves
  // the pairs sound, and recover() forgets it.
  bool broken() const { return broken_; }
  void recover();
  const std::string& error() const { return error_; }
  // The file's size in bytes; -1 for what is no regular file.
  std::int64_t size() const { return file_.size(); }
  // The line after the last one read: where a truncated file ended.
  long line() const { return line_ + 1; }

  // From startRecording() on, every pair next() hands out is also recorded (one handed back
  // by unread() is taken off again); stopRecording() ends it and answers the recording.
  void startRecording();
  std::string stopRecording();
  // Ends a recording that is not wanted (its buffer serves the next one).
  void dropRecording() {
    recording_ = false;
    recorded_.clear();
  }
  // The pairs of a recording come again, with their lines, before the rest of the file.
  void replay(std::string recording);
  // The highest handle (groups 5 and 105) in the file so far, while tracking (from the start;
  // not in a header, whose group 5 is the handle seed); 0 for none.
  std::uint64_t maxHandle() const { return maxHandle_; }
  void trackHandles(bool on) { tracking_ = on; }

private:
  bool readLine(std::string& out);
  // Refills the buffer; false at the end of the file or on a read error (then ok() is false).
  bool refill();
  bool fromFile(Tag& tag);
  bool fromReplay();
  bool breakOff(long line, const std::string& message);
  void record(const Tag& tag);
  bool exhausted() const;

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
  bool broken_ = false;
  bool recording_ = false;
  std::string recorded_;
  size_t lastRecorded_ = 0;  // where the last recorded pair starts
  std::string replay_;
  size_t replayAt_ = 0;
  std::uint64_t maxHandle_ = 0;
  bool tracking_ = true;
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
  // A value as a file held it, written as it is, to be read back the same: it holds no line
  // feed (a carriage return at its end is doubled, as a reader takes one off).
  void verbatim(int code, std::string_view value);
  void integer(int code, std::int64_t value);
  // The shortest text that reads back as the same double.
  void real(int code, double value);
  void handle(int code, std::uint64_t handle);
  // code, code + 10, code + 20 with x, y, z.
  void point(int code, const AcGePoint3d& p);
  const std::string& text() const { return out_; }
  std::string& text() { return out_; }
  // The highest handle written as an object's own (groups 5 and 105).
  std::uint64_t maxHandle() const { return maxHandle_; }

private:
  void codeLine(int code);
  std::string out_;
  Codepage codepage_;
  std::string encoded_;
  std::uint64_t maxHandle_ = 0;
};

// Varints: 7 bits a byte, low bits first; the packed forms of pairs are built on them.
KV_PLATFORM_API void putVarint(std::string& out, std::uint64_t value);
// Reads one at at; false (at unchanged) when the text ends inside it.
KV_PLATFORM_API bool getVarint(std::string_view text, size_t& at, std::uint64_t& value);

}  // namespace kv::dxf
