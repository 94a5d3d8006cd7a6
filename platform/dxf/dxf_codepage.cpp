// Windows-1252 and UTF-8 are done here, the other pages through the C library's iconv.
// Whatever a page refuses is taken as Windows-1252, whose 256 bytes are all characters, so
// no byte is ever dropped and no value is cut short.
#include "dxf/dxf_codepage.h"

#include <iconv.h>
#include <strings.h>

#include <array>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "core/numbers.h"

namespace kv::dxf {
namespace {

struct Page {
  const char* name;
  const char* iconvName;  // null for the two pages done here
};

constexpr int kAnsi1252 = 0;
constexpr int kUtf8 = 1;
constexpr int kJohab = 15;
constexpr int kDos864 = 24;
constexpr Page kPages[] = {
    {"ANSI_1252", nullptr}, {"UTF-8", nullptr}, {"ANSI_874", "CP874"}, {"ANSI_932", "CP932"}, {"ANSI_936", "CP936"},
    {"ANSI_949", "CP949"}, {"ANSI_950", "CP950"}, {"ANSI_1250", "CP1250"}, {"ANSI_1251", "CP1251"},
    {"ANSI_1253", "CP1253"}, {"ANSI_1254", "CP1254"}, {"ANSI_1255", "CP1255"}, {"ANSI_1256", "CP1256"},
    {"ANSI_1257", "CP1257"}, {"ANSI_1258", "CP1258"}, {"ANSI_1361", "CP1361"}, {"DOS437", "IBM437"},
    {"DOS850", "IBM850"}, {"DOS852", "IBM852"}, {"DOS855", "IBM855"}, {"DOS857", "IBM857"}, {"DOS860", "IBM860"},
    {"DOS861", "IBM861"}, {"DOS863", "IBM863"}, {"DOS864", "IBM864"}, {"DOS865", "IBM865"}, {"DOS866", "IBM866"},
    {"DOS869", "IBM869"}, {"ISO8859-1", "ISO-8859-1"}, {"ISO8859-2", "ISO-8859-2"}, {"ISO8859-3", "ISO-8859-3"},
    {"ISO8859-4", "ISO-8859-4"}, {"ISO8859-5", "ISO-8859-5"}, {"ISO8859-6", "ISO-8859-6"},
    {"ISO8859-7", "ISO-8859-7"}, {"ISO8859-8", "ISO-8859-8"}, {"ISO8859-9", "ISO-8859-9"},
    {"ISO8859-10", "ISO-8859-10"}, {"MACINTOSH", "MACINTOSH"}, {"ASCII", "ASCII"},
};
constexpr int kPageCount = int(sizeof kPages / sizeof kPages[0]);
static_assert(std::string_view(kPages[kJohab].name) == "ANSI_1361");
static_assert(std::string_view(kPages[kDos864].name) == "DOS864");

// Where the C library's tables leave ASCII: Johab's 0x5C is the won sign there, IBM 864's 0x25
// the Arabic percent sign. DXF text is ASCII in its structure and escapes, and the system that
// writes these files reads those bytes as ASCII, so this does too; the two characters
// themselves are written as escapes.
struct AsciiFix {
  int page;
  char ascii;
  std::string_view utf8;  // what the C library makes of the byte
  char32_t character;
};
constexpr AsciiFix kAsciiFixes[] = {{kJohab, '\\', "\xE2\x82\xA9", 0x20A9}, {kDos864, '%', "\xD9\xAA", 0x066A}};

const AsciiFix* asciiFix(int page) {
  for (const AsciiFix& fix : kAsciiFixes)
    if (fix.page == page) return &fix;
  return nullptr;
}

// Other names files use for the same pages.
constexpr std::pair<const char*, const char*> kAliases[] = {
    {"DOS932", "ANSI_932"}, {"BIG5", "ANSI_950"},     {"GB2312", "ANSI_936"},
    {"KSC5601", "ANSI_949"}, {"JOHAB", "ANSI_1361"}, {"UTF8", "UTF-8"},
};

// The pages of \M+n, by n.
constexpr const char* kMultibytePages[] = {nullptr, "ANSI_932", "ANSI_950", "ANSI_949", "ANSI_1361", "ANSI_936"};

int pageIndex(std::string_view name) {
  for (int i = 0; i < kPageCount; ++i)
    if (name.size() == std::strlen(kPages[i].name) && strncasecmp(name.data(), kPages[i].name, name.size()) == 0)
      return i;
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Characters

// Windows-1252 from 0x80 to 0x9F; the rest of the page is Latin-1.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t fromWindows1252(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
}

// The byte of c in Windows-1252, or -1 when the page lacks it.
int toWindows1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
  for (int i = 0; i < 32; ++i)
    if (kWindows1252High[i] == c) return 0x80 + i;
  return -1;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// The length of the well-formed UTF-8 character at the start of s, with the character in c;
// 0 for a byte that starts none (overlong forms, surrogates and values past U+10FFFF included).
size_t utf8Char(std::string_view s, char32_t& c) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.empty()) return 0;
  unsigned char b = byte(0);
  if (b < 0x80) {
    c = b;
    return 1;
  }
  size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
  if (n == 0 || b > 0xF4 || s.size() < n) return 0;
  c = b & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i) & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

// c as DXF escapes: one \U+XXXX, or a surrogate pair of them beyond U+FFFF.
void appendEscape(std::string& out, char32_t c) {
  char buf[16];
  auto unit = [&](char32_t u) { out.append(buf, size_t(std::snprintf(buf, sizeof buf, "\\U+%04X", unsigned(u)))); };
  if (c < 0x10000) {
    unit(c);
  } else {
    unit(0xD800 + ((c - 0x10000) >> 10));
    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// The value of the n hexadecimal digits at the start of s; false unless all n are digits.
bool hexDigits(std::string_view s, size_t n, unsigned& value) {
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  return kv::toNumber(s.substr(0, n), value, 16);
}

// s starts with what decode would take for an escape, whether or not it stands for a character.
bool looksLikeEscape(std::string_view s) {
  unsigned v = 0;
  if (s.size() < 3 || s[0] != '\\' || s[2] != '+') return false;
  if (s[1] == 'U') return hexDigits(s.substr(3), 4, v);
  return s[1] == 'M' && s.size() > 3 && s[3] >= '1' && s[3] <= '5' && hexDigits(s.substr(4), 4, v);
}

// ASCII without a backslash, eight bytes at a time.
bool plainAscii(std::string_view s) {
  constexpr std::uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080, kSlashes = 0x5C * kOnes;
  const char* p = s.data();
  size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    std::uint64_t x = w ^ kSlashes;  // a zero byte where a backslash was
    if ((w | ((x - kOnes) & ~x)) & kHigh) return false;
  }
  for (; n; --n, ++p)
    if (static_cast<unsigned char>(*p) >= 0x80 || *p == '\\') return false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Converters

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// The converters of one thread (an iconv descriptor holds state), opened on first use.
class Converters {
public:
  Converters() { ends_.fill({kNoConverter, kNoConverter}); }
  ~Converters() {
    for (auto& [toUtf8, fromUtf8] : ends_)
      for (iconv_t cd : {toUtf8, fromUtf8})
        if (cd != kNoConverter) iconv_close(cd);
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;

  // kNoConverter when the C library lacks the page; callers then treat the page as
  // Windows-1252 when decoding and escape what is not ASCII when encoding.
  iconv_t toUtf8(int page) { return get(page, true); }
  iconv_t fromUtf8(int page) { return get(page, false); }

private:
  iconv_t get(int page, bool toUtf8) {
    assert(page >= 0 && page < kPageCount && kPages[page].iconvName);
    auto& ends = ends_[size_t(page)];
    iconv_t& cd = toUtf8 ? ends.first : ends.second;
    bool& tried = toUtf8 ? tried_[size_t(page)].first : tried_[size_t(page)].second;
    if (!tried) {
      tried = true;
      cd = toUtf8 ? iconv_open("UTF-8", kPages[page].iconvName) : iconv_open(kPages[page].iconvName, "UTF-8");
    }
    return cd;
  }

  std::array<std::pair<iconv_t, iconv_t>, kPageCount> ends_;
  std::array<std::pair<bool, bool>, kPageCount> tried_{};
};

Converters& converters() {
  thread_local Converters perThread;
  return perThread;
}

// The ASCII byte for the C library's character, in what was appended to out from from on.
void restoreAscii(const AsciiFix& fix, std::string& out, size_t from) {
  for (size_t at = out.find(fix.utf8, from); at != std::string::npos; at = out.find(fix.utf8, at + 1))
    out.replace(at, fix.utf8.size(), 1, fix.ascii);
}

// Converts as much of in as cd takes, appending to out, then ends any shift state; stops at
// the first sequence cd refuses. Answers how many bytes of in were converted.
size_t iconvAppend(iconv_t cd, std::string_view in, std::string& out, const AsciiFix* fix = nullptr) {
  size_t start = out.size();
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  for (;;) {
    size_t used = out.size();
    out.resize(used + left * 4 + 16);
    char* dst = out.data() + used;
    size_t room = out.size() - used;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.resize(out.size() - room);
    if (r != size_t(-1) || errno != E2BIG) break;
  }
  size_t used = out.size();
  out.resize(used + 16);
  char* dst = out.data() + used;
  size_t room = 16;
  iconv(cd, nullptr, nullptr, &dst, &room);
  out.resize(out.size() - room);
  if (fix) restoreAscii(*fix, out, start);
  return in.size() - left;
}

// The length of the longest well-formed UTF-8 start of s.
size_t validUtf8(std::string_view s) {
  size_t i = 0;
  char32_t c = 0;
  while (size_t n = utf8Char(s.substr(i), c)) i += n;
  return i;
}

// Bytes of page to UTF-8, appended to out; escapes are left as they are. Windows-1252 has no
// converter: all its bytes go the way of the bytes other pages refuse.
void convertIn(int page, std::string_view bytes, std::string& out) {
  iconv_t cd = kPages[page].iconvName ? converters().toUtf8(page) : kNoConverter;
  while (!bytes.empty()) {
    size_t n = 0;
    if (page == kUtf8) out.append(bytes.substr(0, n = validUtf8(bytes)));
    else if (cd != kNoConverter) n = iconvAppend(cd, bytes, out, asciiFix(page));
    bytes.remove_prefix(n);
    if (bytes.empty()) break;
    appendUtf8(out, fromWindows1252(static_cast<unsigned char>(bytes[0])));
    bytes.remove_prefix(1);
  }
}

// True when bytes of page read back as text: the C library's tables write some characters as
// the bytes of others (Shift-JIS's em dash reads back as a horizontal bar).
bool readsBack(int page, std::string_view bytes, std::string_view text) {
  std::string back;
  convertIn(page, bytes, back);
  return back == text;
}

// One character c into page, appended to out; false (out untouched) when the page lacks it
// or would read it back as another.
bool encodeChar(int page, char32_t c, std::string& out) {
  if (page == kUtf8) {
    appendUtf8(out, c);
    return true;
  }
  if (page == kAnsi1252) {
    int byte = toWindows1252(c);
    if (byte >= 0) out += char(byte);
    return byte >= 0;
  }
  if (c < 0x80) {
    out += char(c);
    return true;
  }
  iconv_t cd = converters().fromUtf8(page);
  if (cd == kNoConverter) return false;
  std::string utf8;
  appendUtf8(utf8, c);
  size_t before = out.size();
  if (iconvAppend(cd, utf8, out) == utf8.size() && readsBack(page, std::string_view(out).substr(before), utf8))
    return true;
  out.resize(before);
  return false;
}

// UTF-8 to bytes of page, appended to out: the whole run through iconv when it reads back as
// it was (the usual case), else character by character.
void convertRun(int page, std::string_view text, std::string& out) {
  if (kPages[page].iconvName) {
    iconv_t cd = converters().fromUtf8(page);
    size_t before = out.size();
    if (cd != kNoConverter && iconvAppend(cd, text, out) == text.size() &&
        readsBack(page, std::string_view(out).substr(before), text))
      return;
    out.resize(before);
  }
  while (!text.empty()) {
    char32_t c = 0;
    size_t n = utf8Char(text, c);
    if (n == 0) {
      c = fromWindows1252(static_cast<unsigned char>(text[0]));
      n = 1;
    }
    if (!encodeChar(page, c, out)) appendEscape(out, c);
    text.remove_prefix(n);
  }
}

// As convertRun, with the character that the C library puts on an ASCII byte escaped.
void convertOut(int page, std::string_view text, std::string& out) {
  if (const AsciiFix* fix = asciiFix(page)) {
    for (size_t at = text.find(fix->utf8); at != std::string_view::npos; at = text.find(fix->utf8)) {
      convertRun(page, text.substr(0, at), out);
      appendEscape(out, fix->character);
      text.remove_prefix(at + fix->utf8.size());
    }
  }
  convertRun(page, text, out);
}

// The character of the escape at the start of s appended to out; answers the escape's length,
// or 0 (out untouched) when s starts with no escape that stands for a character.
size_t resolveEscape(std::string_view s, std::string& out) {
  if (!looksLikeEscape(s)) return 0;
  unsigned v = 0;
  if (s[1] == 'M') {
    hexDigits(s.substr(4), 4, v);
    if (v < 0x8000) return 0;  // a lead byte has its high bit set
    int page = pageIndex(kMultibytePages[s[3] - '0']);
    iconv_t cd = converters().toUtf8(page);
    const char pair[2] = {char(v >> 8), char(v & 0xFF)};
    size_t before = out.size();
    if (cd != kNoConverter && iconvAppend(cd, std::string_view(pair, 2), out) == 2) return 8;
    out.resize(before);
    return 0;
  }
  hexDigits(s.substr(3), 4, v);
  char32_t c = v;
  size_t length = 7;
  unsigned low = 0;
  if (v >= 0xD800 && v < 0xDC00 && looksLikeEscape(s.substr(7)) && s[8] == 'U' && hexDigits(s.substr(10), 4, low) &&
      low >= 0xDC00 && low <= 0xDFFF) {
    c = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
    length = 14;
  }
  if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  appendUtf8(out, c);
  return length;
}

// Every escape in text resolved, in place.
void resolveEscapes(std::string& text) {
  size_t slash = text.find('\\');
  if (slash == std::string::npos) return;
  std::string out(text, 0, slash);
  std::string_view rest = std::string_view(text).substr(slash);
  while (!rest.empty()) {
    size_t n = resolveEscape(rest, out);
    if (n == 0) {
      out += rest[0];
      n = 1;
    }
    rest.remove_prefix(n);
    size_t next = rest.find('\\');
    out.append(rest.substr(0, next));
    rest.remove_prefix(next == std::string_view::npos ? rest.size() : next);
  }
  text.swap(out);
}

long versionNumber(std::string_view version) {
  version = kv::trimBlanks(version);
  long n = 0;
  if (version.size() > 2 && (version[0] == 'A' || version[0] == 'a') && (version[1] == 'C' || version[1] == 'c') &&
      kv::toNumber(version.substr(2), n))
    return n;
  return 0;
}

constexpr long kFirstUtf8Version = 1021;

}  // namespace

// ---------------------------------------------------------------------------------------------

Codepage Codepage::named(std::string_view name) {
  name = kv::trimBlanks(name);
  int i = pageIndex(name);
  for (const auto& [alias, page] : kAliases)
    if (i < 0 && name.size() == std::strlen(alias) && strncasecmp(name.data(), alias, name.size()) == 0)
      i = pageIndex(page);
  return Codepage(i < 0 ? kAnsi1252 : i);
}

Codepage Codepage::utf8() { return Codepage(kUtf8); }

const char* Codepage::name() const { return kPages[index_].name; }

bool Codepage::isUtf8() const { return index_ == kUtf8; }

bool Codepage::passesThrough(std::string_view text) const { return plainAscii(text); }

void Codepage::decode(std::string_view bytes, std::string& out) const {
  out.clear();
  if (passesThrough(bytes)) {
    out.assign(bytes);
    return;
  }
  convertIn(index_, bytes, out);
  resolveEscapes(out);
}

std::string Codepage::decode(std::string_view bytes) const {
  std::string out;
  decode(bytes, out);
  return out;
}

void Codepage::encode(std::string_view text, std::string& out) const {
  out.clear();
  if (passesThrough(text)) {
    out.assign(text);
    return;
  }
  size_t start = 0;
  for (size_t i = text.find('\\'); i != std::string_view::npos; i = text.find('\\', i + 1)) {
    if (!looksLikeEscape(text.substr(i))) continue;
    convertOut(index_, text.substr(start, i - start), out);
    appendEscape(out, U'\\');
    start = i + 1;
  }
  convertOut(index_, text.substr(start), out);
}

std::string Codepage::encode(std::string_view text) const {
  std::string out;
  encode(text, out);
  return out;
}

bool isTextCode(int code) {
  return (code >= 1 && code <= 9 && code != 5) || code == 100 || code == 102 || (code >= 300 && code <= 309) ||
         (code >= 410 && code <= 419) || (code >= 430 && code <= 439) || (code >= 470 && code <= 479) ||
         code == 999 || code == 1000 || code == 1001 || code == 1003;
}

Codepage readingCodepage(std::string_view version, std::string_view declared) {
  return versionNumber(version) >= kFirstUtf8Version ? Codepage::utf8() : Codepage::named(declared);
}

Codepage writingCodepage(std::string_view version, std::string_view drawingPage) {
  if (versionNumber(version) >= kFirstUtf8Version) return Codepage::utf8();
  Codepage page = Codepage::named(drawingPage);
  return page.isUtf8() ? Codepage() : page;
}

}  // namespace kv::dxf
