// Platform only: the token and record layer of ACIS SAT text. It knows the file's syntax
// (header lines, records, pointers, counted strings, subtype braces) and nothing of what the
// records hold; sat_records.h lays out their fields, sat_reader.cpp gives them meaning.
//
// Limits: at most kMaxText bytes of text; every count taken from the file is checked against
// what is left of it, so no input makes the parser allocate more than a few times its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv::modeler::sat {

inline constexpr std::size_t kMaxText = std::size_t(1) << 30;

enum class TokenKind : std::uint8_t {
  Word,     // numbers, logical words, subtype names, I/F interval marks
  Pointer,  // $n; value in Token::pointer, -1 for null
  String,   // @n counted string; text without the count
  Open,     // {
  Close,    // }
};

struct Token {
  TokenKind kind;
  std::string_view text;
  std::int64_t pointer = -1;
};

struct Record {
  std::int64_t number = 0;  // as the file counts it, for messages
  std::string_view type;   // full identifier, e.g. "plane-surface"; empty for a record never defined
  std::uint32_t first = 0;  // its data: tokens [first, first + count), the '#' excluded
  std::uint32_t count = 0;
};

struct Header {
  int version = 0;  // 100 * major + minor (400, 700, 21800, ...)
  long long savedRecords = 0;
  long long topEntities = 0;
  long long flags = 0;
  double unitsMm = 1;
};

struct Model {
  std::string text;  // the file's bytes; tokens point into it
  Header header;
  std::vector<Token> tokens;
  std::vector<Record> records;  // in file order
  // Record number (explicit "-n" or implied by position) to its place in `records`, for the
  // records not at the place of their number; most files have none.
  std::unordered_map<std::int64_t, std::uint32_t> byNumber;
  // Token index of each subtype definition's '{', numbered in file order for "ref n".
  std::vector<std::uint32_t> subtypes;

  // The record a pointer names, or null for $-1 and numbers no record carries.
  const Record* at(std::int64_t pointer) const {
    if (pointer < 0) return nullptr;
    if (std::uint64_t(pointer) < records.size() && records[std::size_t(pointer)].number == pointer)
      return &records[std::size_t(pointer)];
    auto it = byNumber.find(pointer);
    return it == byNumber.end() ? nullptr : &records[it->second];
  }
};

// Splits SAT text into header and records. True on success; on failure `error` says what is
// wrong and where, and `model` holds nothing useful. Stops at End-of-ACIS-data,
// End-of-ASM-data or the start of the history section; a file without one of them is
// truncated and refused.
bool parse(std::string text, Model& model, std::string& error);

// Reads a record's fields front to back. Every getter answers false, and leaves its out
// parameter alone, when the next token is missing or of another kind; the position then
// stays where it was.
class Cursor {
public:
  Cursor(const Model& model, const Record& record)
      : model_(&model), pos_(record.first), end_(record.first + record.count) {}
  Cursor(const Model& model, std::uint32_t first, std::uint32_t end) : model_(&model), pos_(first), end_(end) {}

  bool atEnd() const { return pos_ >= end_; }
  std::uint32_t position() const { return pos_; }
  const Token* peek() const { return atEnd() ? nullptr : &model_->tokens[pos_]; }
  void skip() {
    if (!atEnd()) ++pos_;
  }

  bool pointer(std::int64_t& out);
  bool real(double& out);  // finite reals only
  bool integer(long long& out);
  bool word(std::string_view& out);
  // A word that must be one of two: answers true and sets `out` to (word == yes).
  bool choice(std::string_view yes, std::string_view no, bool& out);
  bool string(std::string_view& out);  // "@n text", or "n text" split into words
  // An interval bound: "I" (unbounded) or "F value".
  bool bound(bool& bounded, double& value);
  bool open();
  // Skips to just behind the '}' that closes the innermost open brace at this point.
  bool skipToClose();
  bool isWord(std::string_view w) const;
  // True when the next token is an integer word (no '.', no exponent).
  bool nextIsInteger() const;

private:
  const Model* model_;
  std::uint32_t pos_;
  std::uint32_t end_;
};

}  // namespace kv::modeler::sat
