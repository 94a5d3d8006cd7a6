#include "orvgui/settings_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>

#include "core/files.h"
#include "core/numbers.h"

namespace kv::settings {

namespace {

// Larger files are not ours: they read as unreadable, and are never replaced.
constexpr std::size_t kMaxStoreBytes = 1 << 20;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// text without its blanks at both ends; at gets where that starts.
std::string_view trim(std::string_view text, std::size_t* at = nullptr) {
  std::size_t b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) b = text.size();
  std::size_t e = text.find_last_not_of(" \t");
  if (at) *at = b;
  return e == std::string_view::npos || e < b ? std::string_view() : text.substr(b, e + 1 - b);
}

bool needsEscape(unsigned char c, bool first) {
  return c < 0x20 || c == 0x7f || c == '%' || c == '[' || c == ']' || c == '=' || (first && (c == ';' || c == '#'));
}

std::string escape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    // Blanks at the ends would be lost to the trimming reader.
    bool edgeBlank = c == ' ' && (i == 0 || i + 1 == s.size());
    if (needsEscape(c, i == 0) || edgeBlank) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out;
}

bool unescape(std::string_view s, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    unsigned byte = 0;
    // Two hex digits; toNumber alone would also take a sign.
    if (i + 2 >= s.size() || s[i + 1] == '+' || s[i + 1] == '-' ||
        !kv::toNumber(s.substr(i + 1, 2), byte, 16))
      return false;
    out += char(byte);
    i += 2;
  }
  return true;
}

// An integer, or a flag word as INI files write them.
bool readValue(std::string_view text, int& value) {
  if (kv::toNumber(text, value)) return true;
  for (const char* word : {"yes", "true", "on"})
    if (sameNoCase(text, word)) return (value = 1), true;
  for (const char* word : {"no", "false", "off"})
    if (sameNoCase(text, word)) return (value = 0), true;
  return false;
}

// A line as a terminal shows it safely: control bytes as \xNN.
std::string printable(const std::string& line) {
  std::string out;
  for (unsigned char c : line) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += c < 0x20 || c == 0x7f ? std::string(buf) : std::string(1, char(c));
  }
  return out;
}

void reportOnce(const std::string& path, const Document& document) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  std::lock_guard<std::mutex> lock(mutex);
  for (const auto& [number, line] : document.ignored()) {
    std::string entry = path + '\n' + std::to_string(number) + '\n' + line;
    if (!reported.insert(entry).second) continue;
    std::fprintf(stderr, "Settings file %s, line %d ignored: %s\n", path.c_str(), number, printable(line).c_str());
  }
}

}  // namespace

bool NoCase::operator()(const std::string& a, const std::string& b) const {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]);
  return a.size() < b.size();
}

Document::Document(std::string text) { read(text); }

void Document::read(const std::string& text) {
  bom_.clear();
  lines_.clear();
  values_.clear();
  where_.clear();
  ignored_.clear();
  std::string_view rest(text);
  if (rest.starts_with(kBom)) {
    bom_ = kBom;
    rest.remove_prefix(kBom.size());
  }
  bool inSection = false;
  std::string key, name;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view whole = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
    rest.remove_prefix(whole.size());
    std::size_t eolSize = whole.ends_with("\r\n") ? 2 : whole.ends_with('\n') ? 1 : 0;
    Line line;
    line.text = whole.substr(0, whole.size() - eolSize);
    line.eol = whole.substr(whole.size() - eolSize);
    if (!readLine(line, inSection, key, name)) ignored_.emplace_back(int(lines_.size()) + 1, line.text);
    if (line.valueAt != std::string::npos) where_[key][name] = lines_.size();
    lines_.push_back(std::move(line));
  }
}

// False for a line it does not understand; a value line gets its place in the line.
bool Document::readLine(Line& line, bool& inSection, std::string& key, std::string& name) {
  std::size_t at = 0;
  std::string_view t = trim(line.text, &at);
  line.inSection = inSection;
  line.key = key;
  if (t.empty() || t[0] == ';' || t[0] == '#') return true;
  if (t[0] == '[') {
    // A section it cannot read takes its values with it: they are not the previous section's.
    inSection = t.size() >= 2 && t.back() == ']' && unescape(trim(t.substr(1, t.size() - 2)), key);
    if (!inSection) return false;
    values_[key];
    line.inSection = true;
    line.key = key;
    return true;
  }
  std::size_t eq = t.find('=');
  if (!inSection || eq == std::string_view::npos || !unescape(trim(t.substr(0, eq)), name) || name.empty())
    return false;
  std::size_t valueAt = 0;
  std::string_view value = trim(t.substr(eq + 1), &valueAt);
  int number = 0;
  if (!readValue(value, number)) return false;
  values_[key][name] = number;
  line.valueAt = at + eq + 1 + valueAt;
  line.valueSize = value.size();
  return true;
}

// The index after the last line of the section that is not blank or a comment, which belong to
// what follows them as often as to what precedes them.
std::size_t Document::endOfSection(const std::string& key) const {
  std::size_t end = lines_.size();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    std::string_view t = trim(line.text);
    bool mine = line.inSection && sameNoCase(line.key, key);
    if (mine && !t.empty() && t[0] != ';' && t[0] != '#') end = i + 1;
  }
  return end;
}

std::string Document::newline() const {
  return !lines_.empty() && lines_.front().eol == "\r\n" ? "\r\n" : "\n";
}

void Document::set(const std::string& key, const std::string& name, int value) {
  auto section = where_.find(key);
  if (section != where_.end()) {
    auto found = section->second.find(name);
    if (found != section->second.end()) {
      Line& line = lines_[found->second];
      line.text.replace(line.valueAt, line.valueSize, std::to_string(value));
      read(text());
      return;
    }
  }
  std::string eol = newline();
  std::string added = escape(name) + "=" + std::to_string(value) + eol;
  std::size_t at = lines_.size();
  if (values_.count(key)) {
    at = endOfSection(key);
  } else {
    if (lines_.empty()) added = "; Kavlor settings" + eol + "[" + escape(key) + "]" + eol + added;
    else added = "[" + escape(key) + "]" + eol + added;
  }
  // A last line without its line end gets one before anything follows it.
  if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = eol;
  std::string out = bom_;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i == at) out += added;
    out += lines_[i].text + lines_[i].eol;
  }
  if (at == lines_.size()) out += added;
  read(out);
}

std::string Document::text() const {
  std::string out = bom_;
  for (const Line& line : lines_) out += line.text + line.eol;
  return out;
}

std::string storePath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  // The XDG rules: only an absolute XDG_CONFIG_HOME counts.
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/kavlor/settings.ini";
}

Document load(const std::string& path, int* readError) {
  std::string text;
  int e = file::readWhole(path, text, kMaxStoreBytes);
  if (readError) *readError = e == ENOENT ? 0 : e;
  if (e != 0) return Document();
  Document document(std::move(text));
  reportOnce(path, document);
  return document;
}

bool save(const std::string& path, const Document& document) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  return file::replace(path, document.text()) == 0;
}

}  // namespace kv::settings
