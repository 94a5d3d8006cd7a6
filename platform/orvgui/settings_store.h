// The settings file behind ORVRegistry: an INI file, one section per key, one "name=integer"
// line per value.
//
//   ; Kavlor settings
//   [Software\Orvanta\Kavlor for AutoCAD]
//   Resolution=50
//   Warning=1
//
// The file is the user's: it is read as INI files usually are (blanks around names, '=' and
// values; ';' and '#' comment lines; a UTF-8 byte-order mark; section and value names in any
// case; yes/no, true/false and on/off as 1 and 0), and a line that is none of these is kept as
// it is and ignored. Writing changes only the values it sets; every other byte stays.
//
// Names we write are kept exactly: a byte that would break the line structure ('%', '[', ']',
// '=', ';' or '#' at the start, blanks at the ends, control bytes) is written as %XX, so a name
// can never open a section or a value of its own.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/export.h"

namespace kv::settings {

// Names compare without regard to ASCII case, as INI readers do.
struct NoCase {
  KV_PLATFORM_API bool operator()(const std::string& a, const std::string& b) const;
};
using Values = std::map<std::string, int, NoCase>;
using Store = std::map<std::string, Values, NoCase>;  // key -> name -> value

// A settings file as its lines, so that it can be written back with only some values changed.
class KV_PLATFORM_API Document {
public:
  // Every line is kept; a name given twice reads as its last line.
  explicit Document(std::string text = "");

  const Store& values() const { return values_; }
  // The lines that were ignored: 1-based line number and the line as written.
  const std::vector<std::pair<int, std::string>>& ignored() const { return ignored_; }

  // Changes the value's line (the one that is read), or adds one at the end of its section,
  // or adds the section at the end of the file.
  void set(const std::string& key, const std::string& name, int value);
  std::string text() const;

private:
  struct Line {
    std::string text, eol;
    bool inSection = false;                    // a line after a section header it understood
    std::string key;                           // that section
    std::size_t valueAt = std::string::npos;   // where its value stands in text
    std::size_t valueSize = 0;
  };
  void read(const std::string& text);
  bool readLine(Line& line, bool& inSection, std::string& key, std::string& name);
  std::size_t endOfSection(const std::string& key) const;
  std::string newline() const;

  std::string bom_;
  std::vector<Line> lines_;
  Store values_;
  std::map<std::string, std::map<std::string, std::size_t, NoCase>, NoCase> where_;  // -> line
  std::vector<std::pair<int, std::string>> ignored_;
};

// $XDG_CONFIG_HOME/kavlor/settings.ini, or ~/.config/kavlor/settings.ini.
KV_PLATFORM_API std::string storePath();
// The file at path; an absent or unreadable file reads as empty. With readError, the reason an
// existing file could not be read (0 when it was, or when there is none). The lines it ignored
// are reported on standard error, each once in a run.
KV_PLATFORM_API Document load(const std::string& path, int* readError = nullptr);
// Writes the document through file::replace (atomic; a symlink stays a link, its target is
// replaced). False when any step fails; the old file then stays as it was.
KV_PLATFORM_API bool save(const std::string& path, const Document& document);

}  // namespace kv::settings
