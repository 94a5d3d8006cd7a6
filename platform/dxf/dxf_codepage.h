// Text of DXF files between the code page a drawing is written in and UTF-8, which is how the
// host holds every string in memory.
#pragma once

#include <string>
#include <string_view>

#include "core/export.h"

namespace kv::dxf {

// A code page of DXF text, as $DWGCODEPAGE names it: ANSI_874, ANSI_932 (Shift-JIS),
// ANSI_936, ANSI_949, ANSI_950, ANSI_1250 to ANSI_1258, ANSI_1361 (Johab), DOS437, DOS850,
// DOS852, DOS855, DOS857, DOS860, DOS861, DOS863, DOS864, DOS865, DOS866, DOS869, DOS932,
// ISO8859-1 to ISO8859-10, MACINTOSH, BIG5, GB2312, KSC5601, JOHAB, ASCII, and UTF-8.
// A small value, cheap to copy; the converters behind it are opened on first use and kept,
// one set per thread, so that reading never pays for opening them twice.
class KV_PLATFORM_API Codepage {
public:
  // ANSI_1252: the page of a drawing that names none.
  Codepage() = default;
  // The page name denotes, letter case and surrounding blanks aside; an unknown or empty
  // name gives ANSI_1252.
  static Codepage named(std::string_view name);
  static Codepage utf8();

  // The page's DXF name ("ANSI_1251", "UTF-8"); the aliases named() takes answer the name of
  // the page they denote (GB2312 answers ANSI_936).
  const char* name() const;
  bool isUtf8() const;
  bool operator==(const Codepage& other) const = default;

  // True when decode and encode both give text back byte for byte: ASCII without a backslash
  // (every page holds ASCII as ASCII; Johab's 0x5C is the backslash, as in the files, not the
  // won sign). Cheap: the callers' way around any conversion work for the usual value.
  bool passesThrough(std::string_view text) const;

  // Bytes of this page to UTF-8, into out (replaced). The escapes of DXF text are resolved:
  // \U+XXXX (a UTF-16 unit, hexadecimal; two of them for a character beyond U+FFFF) and
  // \M+nXXXX (the double-byte character XXXX of page n: 1 ANSI_932, 2 ANSI_950, 3 ANSI_949,
  // 4 ANSI_1361, 5 ANSI_936) become the characters they stand for; an escape that stands for
  // no character (U+0000, a lone surrogate, a byte pair its page lacks) stays as written.
  // A byte that starts no character of the page is taken as the Windows-1252 character of
  // that byte (its five unassigned bytes as the C1 controls of the same value): text in a
  // Western page under a wrong declaration comes out readable, and nothing after it is lost.
  void decode(std::string_view bytes, std::string& out) const;
  std::string decode(std::string_view bytes) const;

  // UTF-8 to bytes of this page, into out (replaced). A character the page lacks is written as
  // \U+XXXX (two escapes beyond U+FFFF); a backslash that would read back as the start of an
  // escape is written \U+005C. So decode(encode(s)) == s for valid UTF-8 s, except where the
  // page itself folds characters together (ANSI_1258 composes a letter and its accent). A byte
  // that is not valid UTF-8 is taken as its Windows-1252 character, as decode does.
  void encode(std::string_view text, std::string& out) const;
  std::string encode(std::string_view text) const;

private:
  explicit Codepage(int index) : index_(index) {}
  int index_ = 0;
};

// Group codes whose values are text in the file's code page: 1 to 4 and 6 to 9, 100, 102,
// 300 to 309, 410 to 419, 430 to 439, 470 to 479, 999, 1000, 1001 and 1003. Handles, numbers
// and binary chunks are ASCII by definition and never converted.
KV_PLATFORM_API bool isTextCode(int code);

// The page the text of a file of version ($ACADVER, such as "AC1018") is in: UTF-8 from AC1021
// on, whatever declared says; before that the page declared ($DWGCODEPAGE).
KV_PLATFORM_API Codepage readingCodepage(std::string_view version, std::string_view declared);

// The page to write a file of version in, for a drawing that was read with the page named
// drawingPage (empty for a new drawing): UTF-8 from AC1021 on; before that drawingPage,
// or ANSI_1252 when it is empty or UTF-8, which those versions do not declare.
KV_PLATFORM_API Codepage writingCodepage(std::string_view version, std::string_view drawingPage);

}  // namespace kv::dxf
