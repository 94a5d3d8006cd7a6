// SAT text into tokens and records; see sat_model.h.
#include "modeler/sat_model.h"

#include "core/numbers.h"

namespace kv::modeler::sat {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// One physical line of the header; `pos` moves past its end.
std::string_view headerLine(std::string_view text, std::size_t& pos) {
  std::size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(pos, end - pos);
  pos = end < text.size() ? end + 1 : end;
  return line;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isSpace(line[i])) ++i;
    std::size_t start = i;
    while (i < line.size() && !isSpace(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

bool isEndMarker(std::string_view w) {
  return w == "End-of-ACIS-data" || w == "End-of-ASM-data" || w == "Begin-of-ACIS-History-Data";
}

bool isSequenceNumber(std::string_view w) {
  if (w.size() < 2 || w[0] != '-') return false;
  for (std::size_t i = 1; i < w.size(); ++i)
    if (w[i] < '0' || w[i] > '9') return false;
  return true;
}

bool isIdentifier(std::string_view w) {
  if (w.empty()) return false;
  char c = w[0];
  if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_')) return false;
  for (char ch : w)
    if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-'))
      return false;
  return true;
}

// Splits the record text into tokens. '#', '{' and '}' stand alone even when glued to a
// neighbour; "@n" takes the next n bytes after one space as one string, so that a '#' inside
// it ends nothing.
bool tokenize(std::string_view text, std::size_t pos, Model& model, std::string& error) {
  auto& tokens = model.tokens;
  // Files of meshes run to tens of millions of tokens, some 8 bytes each; growing the list
  // step by step would copy it all again and again. Pages reserved and not used cost nothing.
  tokens.reserve(tokens.size() + (text.size() - pos) / 6 + 16);
  while (pos < text.size()) {
    char c = text[pos];
    if (isSpace(c)) {
      ++pos;
      continue;
    }
    if (c == '#' || c == '{' || c == '}') {
      TokenKind kind = c == '{' ? TokenKind::Open : c == '}' ? TokenKind::Close : TokenKind::Word;
      tokens.push_back({kind, text.substr(pos, 1)});
      ++pos;
      continue;
    }
    std::size_t start = pos;
    while (pos < text.size() && !isSpace(text[pos]) && text[pos] != '#' && text[pos] != '{' && text[pos] != '}')
      ++pos;
    std::string_view w = text.substr(start, pos - start);
    if (w[0] == '@' && w.size() > 1) {
      long long n = 0;
      if (!kv::toNumber(w.substr(1), n) || n < 0) {
        error = "bad string length '" + std::string(w) + "'";
        return false;
      }
      // One separating blank, then exactly n bytes.
      std::size_t body = pos + 1;
      if (pos >= text.size() || body + std::size_t(n) > text.size()) {
        error = "string runs past the end of the file";
        return false;
      }
      tokens.push_back({TokenKind::String, text.substr(body, std::size_t(n))});
      pos = body + std::size_t(n);
      continue;
    }
    if (w[0] == '$') {
      long long n = -1;
      // Null pointers are the most common token of all.
      if (w != "$-1" && (!kv::toNumber(w.substr(1), n) || n < -1)) {
        error = "bad pointer '" + std::string(w) + "'";
        return false;
      }
      tokens.push_back({TokenKind::Pointer, w, n});
      continue;
    }
    tokens.push_back({TokenKind::Word, w});
    if (isEndMarker(w)) return true;
  }
  return true;
}

}  // namespace

namespace {

// Header line 1: version, records, top entities, flags.
bool firstHeaderLine(std::string_view line, Header& header, std::string& error) {
  std::vector<std::string_view> first = words(line);
  long long values[4] = {};
  for (std::size_t i = 0; i < 4; ++i) {
    if (i >= first.size() || !kv::toNumber(first[i], values[i])) {
      error = "header line 1 is not four integers";
      return false;
    }
  }
  if (values[0] < 400 || values[0] > 99999) {
    error = "SAT version " + std::to_string(values[0]) + " is not supported";
    return false;
  }
  header.version = int(values[0]);
  header.savedRecords = values[1];
  header.topEntities = values[2];
  header.flags = values[3];
  return true;
}

// The header's lines; `pos` ends at the first record.
bool readHeader(std::string_view text, std::size_t& pos, Header& header, std::string& error) {
  if (!firstHeaderLine(headerLine(text, pos), header, error)) return false;
  // Line 2 holds counted strings that we do not need; line 3 the units and resolutions.
  if (pos >= text.size()) {
    error = "header ends after line 1";
    return false;
  }
  headerLine(text, pos);
  std::vector<std::string_view> third = words(headerLine(text, pos));
  double values[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    if (i >= third.size() || !kv::toNumber(third[i], values[i])) {
      error = "header line 3 is not three reals";
      return false;
    }
  }
  header.unitsMm = values[0];
  // Later writers add a fourth header line that starts with a logical ("T @77 ...").
  std::size_t peek = pos;
  std::vector<std::string_view> next = words(headerLine(text, peek));
  if (!next.empty() && (next[0] == "T" || next[0] == "F")) pos = peek;
  return true;
}

// The record whose type is at token `i`, its data up to the '#'; `i` ends on that '#'.
bool readRecord(Model& model, std::uint32_t& i, Record& record, std::string& error) {
  const auto& tokens = model.tokens;
  auto refuse = [&](const std::string& what) {
    error = "record " + std::to_string(record.number) + what;
    return false;
  };
  if (i >= tokens.size() || tokens[i].kind != TokenKind::Word || !isIdentifier(tokens[i].text))
    return refuse(" has no type");
  record.type = tokens[i].text;
  record.first = ++i;
  int depth = 0;
  for (; i < tokens.size() && !(tokens[i].kind == TokenKind::Word && tokens[i].text == "#"); ++i) {
    if (tokens[i].kind == TokenKind::Open) {
      ++depth;
      bool isRef = i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::Word && tokens[i + 1].text == "ref";
      if (!isRef) model.subtypes.push_back(i);
    } else if (tokens[i].kind == TokenKind::Close && --depth < 0) {
      return refuse(" closes a brace it never opened");
    } else if (tokens[i].kind == TokenKind::Word && isEndMarker(tokens[i].text)) {
      break;
    }
  }
  if (i >= tokens.size() || tokens[i].text != "#")
    return refuse(" (" + std::string(record.type) + ") is not terminated");
  if (depth != 0) return refuse(" leaves a brace open");
  record.count = i - record.first;
  return true;
}

// Groups the tokens into records, up to the end marker.
bool readRecords(Model& model, std::string& error) {
  const auto& tokens = model.tokens;
  std::int64_t nextNumber = 0;
  for (std::uint32_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind == TokenKind::Word && isEndMarker(t.text)) return true;
    Record record;
    record.number = nextNumber;
    if (t.kind == TokenKind::Word && isSequenceNumber(t.text)) {
      if (!kv::toNumber(t.text.substr(1), record.number)) {
        error = "bad record number '" + std::string(t.text) + "'";
        return false;
      }
      ++i;
    }
    if (!readRecord(model, i, record, error)) return false;
    if (model.at(record.number)) {
      error = "record number " + std::to_string(record.number) + " appears twice";
      return false;
    }
    auto place = std::uint32_t(model.records.size());
    if (record.number != place) model.byNumber.emplace(record.number, place);
    model.records.push_back(record);
    nextNumber = record.number + 1;
  }
  error = "file ends without End-of-ACIS-data";
  return false;
}

}  // namespace

bool parse(std::string input, Model& model, std::string& error) {
  model = Model();
  if (input.size() > kMaxText) {
    error = "file too large";
    return false;
  }
  model.text = std::move(input);
  std::string_view text = model.text;
  std::size_t pos = 0;
  return readHeader(text, pos, model.header, error) && tokenize(text, pos, model, error) && readRecords(model, error);
}

// ---------------------------------------------------------------------------------------------

bool Cursor::pointer(std::int64_t& out) {
  const Token* t = peek();
  if (!t || t->kind != TokenKind::Pointer) return false;
  out = t->pointer;
  ++pos_;
  return true;
}

bool Cursor::real(double& out) {
  const Token* t = peek();
  if (!t || t->kind != TokenKind::Word || !kv::toNumber(t->text, out)) return false;
  ++pos_;
  return true;
}

bool Cursor::integer(long long& out) {
  const Token* t = peek();
  if (!t || t->kind != TokenKind::Word || !kv::toNumber(t->text, out)) return false;
  ++pos_;
  return true;
}

bool Cursor::word(std::string_view& out) {
  const Token* t = peek();
  if (!t || t->kind != TokenKind::Word) return false;
  out = t->text;
  ++pos_;
  return true;
}

bool Cursor::choice(std::string_view yes, std::string_view no, bool& out) {
  const Token* t = peek();
  if (!t || t->kind != TokenKind::Word || (t->text != yes && t->text != no)) return false;
  out = t->text == yes;
  ++pos_;
  return true;
}

bool Cursor::string(std::string_view& out) {
  const Token* t = peek();
  if (!t || (t->kind != TokenKind::String && t->kind != TokenKind::Word)) return false;
  out = t->text;
  ++pos_;
  return true;
}

bool Cursor::bound(bool& bounded, double& value) {
  const Token* t = peek();
  if (!t || t->kind != TokenKind::Word) return false;
  if (t->text == "I") {
    bounded = false;
    ++pos_;
    return true;
  }
  if (t->text != "F") return false;
  std::uint32_t save = pos_++;
  double v = 0;
  if (!real(v)) {
    pos_ = save;
    return false;
  }
  bounded = true;
  value = v;
  return true;
}

bool Cursor::open() {
  const Token* t = peek();
  if (!t || t->kind != TokenKind::Open) return false;
  ++pos_;
  return true;
}

bool Cursor::skipToClose() {
  int depth = 0;
  for (std::uint32_t i = pos_; i < end_; ++i) {
    const Token& t = model_->tokens[i];
    if (t.kind == TokenKind::Open) {
      ++depth;
    } else if (t.kind == TokenKind::Close) {
      if (depth == 0) {
        pos_ = i + 1;
        return true;
      }
      --depth;
    }
  }
  return false;
}

bool Cursor::isWord(std::string_view w) const {
  const Token* t = peek();
  return t && t->kind == TokenKind::Word && t->text == w;
}

bool Cursor::nextIsInteger() const {
  const Token* t = peek();
  long long v = 0;
  return t && t->kind == TokenKind::Word && kv::toNumber(t->text, v);
}

}  // namespace kv::modeler::sat
