#include "win/resources.h"

#include "win/dllentry.h"
#include "win/module_handles.h"

#include "core/numbers.h"

#include <dlfcn.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace kv::res {

bool ControlTemplate::hasStyle(const char* name) const {
  for (const std::string& s : styles)
    if (strcasecmp(s.c_str(), name) == 0) return true;
  return false;
}

namespace {

struct Token {
  enum Kind { kEnd, kName, kNumber, kString, kPunct } kind = kEnd;
  std::string text;
  long value = 0;
  int line = 0;
  bool firstOnLine = false;
};

// Numbers may carry an L suffix in .rc text.
std::string_view withoutSuffix(std::string_view word) {
  if (!word.empty() && (word.back() == 'L' || word.back() == 'l')) word.remove_suffix(1);
  return word;
}

// A number as resource scripts write it, the C way: an optional sign, then "0x" and hex
// digits, a leading 0 and octal digits, or decimal digits; an L suffix allowed.
bool scriptNumber(std::string_view word, long& value) {
  word = withoutSuffix(word);
  const bool negative = !word.empty() && word[0] == '-';
  if (!word.empty() && (word[0] == '-' || word[0] == '+')) word.remove_prefix(1);
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  } else if (word.size() > 1 && word[0] == '0') {
    base = 8;
    word.remove_prefix(1);
  }
  unsigned long magnitude = 0;
  // The sign was taken above: the digits must not bring another.
  if (word.empty() || !std::isalnum(static_cast<unsigned char>(word[0])) || !kv::toNumber(word, magnitude, base))
    return false;
  const unsigned long limit = negative ? (unsigned long)LONG_MAX + 1 : (unsigned long)LONG_MAX;
  if (magnitude > limit) return false;
  value = negative ? long(0 - magnitude) : long(magnitude);
  return true;
}

// "#define NAME value", the rest of the line ignored; a value that is not a number
// defines nothing.
void readDefine(std::string_view directive, std::map<std::string, long>& defines) {
  constexpr std::string_view kDefine = "#define";
  if (directive.substr(0, kDefine.size()) != kDefine) return;
  size_t at = kDefine.size();
  auto word = [&] {
    while (at < directive.size() && std::isspace(static_cast<unsigned char>(directive[at]))) ++at;
    size_t b = at;
    while (at < directive.size() && !std::isspace(static_cast<unsigned char>(directive[at]))) ++at;
    return directive.substr(b, at - b);
  };
  std::string_view name = word();
  long value = 0;
  if (!name.empty() && scriptNumber(word(), value)) defines[std::string(name)] = value;
}

class Lexer {
public:
  explicit Lexer(const std::string& text) : s_(text) {}

  // False with error on a malformed token.
  bool run(std::vector<Token>& out, std::map<std::string, long>& defines, std::string& error) {
    bool lineStart = true;
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (c == '\n') {
        ++line_;
        ++i_;
        lineStart = true;
        continue;
      }
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++i_;
        continue;
      }
      if (c == '/' && peek(1) == '/') {
        skipLine();
        continue;
      }
      if (c == '/' && peek(1) == '*') {
        size_t end = s_.find("*/", i_ + 2);
        if (end == std::string::npos) return fail(error, "comment not closed");
        for (size_t k = i_; k < end; ++k) line_ += s_[k] == '\n';
        i_ = end + 2;
        continue;
      }
      if (c == '#' && lineStart) {
        size_t end = s_.find('\n', i_);
        std::string directive = s_.substr(i_, end == std::string::npos ? std::string::npos : end - i_);
        readDefine(directive, defines);
        skipLine();
        continue;
      }
      Token t;
      t.line = line_;
      t.firstOnLine = lineStart;
      lineStart = false;
      if (c == '"') {
        if (!readString(t.text, error)) return false;
        t.kind = Token::kString;
      } else if (std::isdigit(static_cast<unsigned char>(c)) || (c == '-' && std::isdigit(static_cast<unsigned char>(peek(1))))) {
        size_t b = i_++;
        while (i_ < s_.size() && std::isalnum(static_cast<unsigned char>(s_[i_]))) ++i_;
        std::string_view word = std::string_view(s_).substr(b, i_ - b);
        if (!scriptNumber(word, t.value)) return fail(error, "'" + std::string(word) + "' is not a number");
        t.text = std::string(withoutSuffix(word));
        t.kind = Token::kNumber;
      } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        size_t b = i_;
        while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) ++i_;
        t.text = s_.substr(b, i_ - b);
        t.kind = Token::kName;
      } else if (std::strchr(",|{}()", c)) {
        t.text = std::string(1, c);
        t.kind = Token::kPunct;
        ++i_;
      } else {
        return fail(error, std::string("unexpected character '") + c + "'");
      }
      out.push_back(t);
    }
    Token end;
    end.line = line_;
    out.push_back(end);
    return true;
  }

private:
  char peek(size_t k) const { return i_ + k < s_.size() ? s_[i_ + k] : '\0'; }
  void skipLine() {
    while (i_ < s_.size() && s_[i_] != '\n') ++i_;
  }
  bool fail(std::string& error, const std::string& why) {
    error = "line " + std::to_string(line_) + ": " + why;
    return false;
  }
  bool readString(std::string& text, std::string& error) {
    ++i_;
    for (;;) {
      if (i_ >= s_.size() || s_[i_] == '\n') return fail(error, "string not closed");
      char c = s_[i_++];
      if (c == '"') {
        if (peek(0) == '"') {  // "" is a quote inside the string
          text += '"';
          ++i_;
          continue;
        }
        return true;
      }
      if (c == '\\' && i_ < s_.size()) {
        char e = s_[i_++];
        switch (e) {
          case 'n': text += '\n'; break;
          case 't': text += '\t'; break;
          case 'r': text += '\r'; break;
          case '\\': text += '\\'; break;
          case '"': text += '"'; break;
          default: text += '\\'; text += e; break;
        }
        continue;
      }
      text += c;
    }
  }

  const std::string& s_;
  size_t i_ = 0;
  int line_ = 1;
};

bool isName(const Token& t, const char* name) { return t.kind == Token::kName && strcasecmp(t.text.c_str(), name) == 0; }
bool isPunct(const Token& t, char c) { return t.kind == Token::kPunct && t.text[0] == c; }

class Parser {
public:
  Parser(std::vector<Token> tokens, std::map<std::string, long> defines)
      : t_(std::move(tokens)), defines_(std::move(defines)) {
    for (auto [name, value] : {std::pair<const char*, long>{"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4},
                               {"IDIGNORE", 5}, {"IDYES", 6}, {"IDNO", 7}, {"IDC_STATIC", -1}})
      defines_.emplace(name, value);
  }

  bool run(ResourceScript& out, std::string& error) {
    while (cur().kind != Token::kEnd) {
      if (isName(cur(), "STRINGTABLE")) {
        if (!stringTable(out, error)) return false;
        continue;
      }
      bool hasId = cur().kind == Token::kNumber || cur().kind == Token::kName;
      if (hasId && (isName(peek(1), "DIALOG") || isName(peek(1), "DIALOGEX"))) {
        if (!dialog(out, error)) return false;
        continue;
      }
      skipStatement();
    }
    return true;
  }

private:
  const Token& cur() const { return t_[pos_]; }
  const Token& peek(size_t k) const { return t_[std::min(pos_ + k, t_.size() - 1)]; }
  void next() {
    if (pos_ + 1 < t_.size()) ++pos_;
  }
  bool fail(std::string& error, const std::string& why) const {
    error = "line " + std::to_string(cur().line) + ": " + why;
    return false;
  }
  bool isBegin() const { return isName(cur(), "BEGIN") || isPunct(cur(), '{'); }
  bool isEnd() const { return isName(cur(), "END") || isPunct(cur(), '}'); }

  // An unknown statement: the rest of its line, and a BEGIN ... END block that follows.
  void skipStatement() {
    int line = cur().line;
    next();
    while (cur().kind != Token::kEnd && !(cur().firstOnLine && cur().line != line) && !isBegin()) next();
    if (!isBegin()) return;
    int depth = 0;
    do {
      if (isBegin()) ++depth;
      else if (isEnd()) --depth;
      next();
    } while (depth > 0 && cur().kind != Token::kEnd);
  }

  bool number(long& value, std::string& error) {
    if (cur().kind == Token::kNumber) {
      value = cur().value;
      next();
      return true;
    }
    if (cur().kind == Token::kName) {
      auto it = defines_.find(cur().text);
      if (it == defines_.end()) return fail(error, "unknown identifier " + cur().text);
      value = it->second;
      next();
      return true;
    }
    return fail(error, "a number was expected");
  }

  bool coordinates(int* values, int n, std::string& error) {
    for (int k = 0; k < n; ++k) {
      if (k > 0 && !comma(error)) return false;
      long v = 0;
      if (!number(v, error)) return false;
      values[k] = int(v);
    }
    return true;
  }

  bool comma(std::string& error) {
    if (!isPunct(cur(), ',')) return fail(error, "',' was expected");
    next();
    return true;
  }

  // name | number | NOT term | ( expr ), joined by '|'; names are kept, values are not needed.
  bool styleExpr(std::vector<std::string>& styles, std::string& error) {
    for (;;) {
      if (isName(cur(), "NOT")) {
        next();
        styles.push_back("NOT");
      }
      if (isPunct(cur(), '(')) {
        next();
        if (!styleExpr(styles, error)) return false;
        if (!isPunct(cur(), ')')) return fail(error, "')' was expected");
        next();
      } else if (cur().kind == Token::kName || cur().kind == Token::kNumber) {
        styles.push_back(cur().text);
        next();
      } else {
        return fail(error, "a style was expected");
      }
      if (!isPunct(cur(), '|')) return true;
      next();
    }
  }

  bool text(std::string& out, std::string& error) {
    if (cur().kind == Token::kString) out = cur().text;
    else if (cur().kind == Token::kNumber || cur().kind == Token::kName) out = cur().text;
    else return fail(error, "a text was expected");
    next();
    return true;
  }

  bool stringTable(ResourceScript& out, std::string& error) {
    next();
    while (!isBegin()) {
      if (cur().kind == Token::kEnd) return fail(error, "BEGIN was expected");
      next();  // options such as DISCARDABLE
    }
    next();
    while (!isEnd()) {
      long id = 0;
      if (!number(id, error)) return false;
      if (isPunct(cur(), ',')) next();
      if (cur().kind != Token::kString) return fail(error, "a string was expected");
      out.strings[int(id)] = cur().text;
      next();
    }
    next();
    return true;
  }

  bool dialog(ResourceScript& out, std::string& error) {
    DialogTemplate d;
    long id = 0;
    if (!number(id, error)) return false;
    d.id = int(id);
    bool ex = isName(cur(), "DIALOGEX");
    next();
    while (cur().kind == Token::kName && (isName(cur(), "DISCARDABLE") || isName(cur(), "MOVEABLE") || isName(cur(), "PURE") ||
            isName(cur(), "PRELOAD") || isName(cur(), "LOADONCALL") || isName(cur(), "IMPURE")))
      next();
    int rect[4];
    if (!coordinates(rect, 4, error)) return false;
    d.x = rect[0], d.y = rect[1], d.width = rect[2], d.height = rect[3];
    if (ex && isPunct(cur(), ',')) {  // the help id of DIALOGEX
      next();
      long help = 0;
      if (!number(help, error)) return false;
    }
    while (!isBegin()) {
      if (cur().kind == Token::kEnd) return fail(error, "BEGIN was expected");
      if (isName(cur(), "CAPTION")) {
        next();
        if (cur().kind != Token::kString) return fail(error, "CAPTION takes a string");
        d.caption = cur().text;
        next();
      } else if (isName(cur(), "STYLE")) {
        next();
        if (!styleExpr(d.styles, error)) return false;
      } else {
        skipOption();
      }
    }
    next();
    while (!isEnd()) {
      if (cur().kind == Token::kEnd) return fail(error, "END was expected");
      ControlTemplate c;
      if (!control(c, error)) return false;
      d.controls.push_back(std::move(c));
    }
    next();
    out.dialogs[d.id] = std::move(d);
    return true;
  }

  // EXSTYLE, FONT, LANGUAGE, MENU, CLASS, ...: a name and its comma-joined arguments.
  void skipOption() {
    next();
    for (;;) {
      if (cur().kind == Token::kEnd || isBegin()) return;
      next();
      if (!isPunct(cur(), ',') && !isPunct(cur(), '|')) return;
      next();
    }
  }

  bool control(ControlTemplate& c, std::string& error) {
    if (cur().kind != Token::kName) return fail(error, "a control statement was expected");
    c.statement = cur().text;
    for (char& ch : c.statement) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    next();
    static const char* const kTextControls[] = {"LTEXT",       "RTEXT",           "CTEXT",  "PUSHBUTTON", "DEFPUSHBUTTON",
                                                "CHECKBOX",    "AUTOCHECKBOX",    "RADIOBUTTON", "AUTORADIOBUTTON",
                                                "STATE3",      "AUTO3STATE",      "GROUPBOX", "PUSHBOX"};
    static const char* const kIdControls[] = {"EDITTEXT", "COMBOBOX", "LISTBOX", "SCROLLBAR"};
    long id = 0;
    int rect[4];
    auto tail = [&]() {
      // [, style [, exstyle]]
      if (isPunct(cur(), ',')) {
        next();
        if (!styleExpr(c.styles, error)) return false;
        if (isPunct(cur(), ',')) {
          next();
          std::vector<std::string> ex;
          if (!styleExpr(ex, error)) return false;
        }
      }
      return true;
    };
    if (c.statement == "CONTROL") {
      if (!text(c.text, error) || !comma(error) || !number(id, error) || !comma(error)) return false;
      if (cur().kind != Token::kString && cur().kind != Token::kName) return fail(error, "a window class was expected");
      c.windowClass = cur().text;
      next();
      if (!comma(error) || !styleExpr(c.styles, error) || !comma(error) || !coordinates(rect, 4, error)) return false;
      if (isPunct(cur(), ',')) {
        next();
        std::vector<std::string> ex;
        if (!styleExpr(ex, error)) return false;
      }
    } else if (std::find_if(std::begin(kTextControls), std::end(kTextControls),
                            [&](const char* k) { return c.statement == k; }) != std::end(kTextControls)) {
      if (!text(c.text, error) || !comma(error) || !number(id, error) || !comma(error) || !coordinates(rect, 4, error) ||
          !tail())
        return false;
      bool isStatic = c.statement.size() == 5 && c.statement.compare(1, 4, "TEXT") == 0;
      c.windowClass = isStatic ? "Static" : "Button";
    } else if (std::find_if(std::begin(kIdControls), std::end(kIdControls),
                            [&](const char* k) { return c.statement == k; }) != std::end(kIdControls)) {
      if (!number(id, error) || !comma(error) || !coordinates(rect, 4, error) || !tail()) return false;
      c.windowClass = c.statement == "EDITTEXT" ? "Edit" : c.statement;
    } else {
      return fail(error, "unknown control statement " + c.statement);
    }
    c.id = int(id);
    c.x = rect[0], c.y = rect[1], c.width = rect[2], c.height = rect[3];
    return true;
  }

  std::vector<Token> t_;
  std::map<std::string, long> defines_;
  size_t pos_ = 0;
};

}  // namespace

bool parseScript(const std::string& text, ResourceScript& out, std::string& error) {
  std::vector<Token> tokens;
  std::map<std::string, long> defines;
  if (!Lexer(text).run(tokens, defines, error)) return false;
  ResourceScript parsed;
  if (!Parser(std::move(tokens), std::move(defines)).run(parsed, error)) return false;
  out = std::move(parsed);
  return true;
}

const char* scriptOf(HINSTANCE module) {
  // The host's own handle is null: the running program and the libraries it was linked with.
  if (module && !kvIsModuleHandle(module)) return nullptr;
  void* handle = module ? static_cast<void*>(module) : RTLD_DEFAULT;
  return static_cast<const char*>(dlsym(handle, "kvResourceScript"));
}

bool resourcesOf(HINSTANCE module, ResourceScript& out) {
  const char* script = scriptOf(module);
  std::string error;
  return script && parseScript(script, out, error);
}

}  // namespace kv::res

int LoadStringA(HINSTANCE module, UINT id, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  kv::res::ResourceScript script;
  if (!kv::res::resourcesOf(module, script)) return 0;
  auto it = script.strings.find(int(id));
  if (it == script.strings.end()) return 0;
  size_t n = std::min(it->second.size(), size_t(size - 1));
  std::memcpy(buffer, it->second.data(), n);
  buffer[n] = '\0';
  return int(n);
}
