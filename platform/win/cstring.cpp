#include "win/cstring.h"

#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

CString::CString(const char* text, int length) {
  if (text && length > 0) s_.assign(text, strnlen(text, size_t(length)));
}

char CString::GetAt(int index) const {
  assert(index >= 0 && index < GetLength());
  return s_[size_t(index)];
}

void CString::SetAt(int index, char ch) {
  assert(index >= 0 && index < GetLength());
  s_[size_t(index)] = ch;
}

void CString::FormatV(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(nullptr, 0, format, args);
  std::string out;
  if (n > 0) {
    out.resize(size_t(n) + 1);
    vsnprintf(out.data(), out.size(), format, again);
    out.resize(size_t(n));
  }
  va_end(again);
  s_ = std::move(out);
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
  CString tail;
  va_list args;
  va_start(args, format);
  tail.FormatV(format, args);
  va_end(args);
  s_ += tail.s_;
}

int CString::Compare(const char* other) const { return strcmp(s_.c_str(), other ? other : ""); }
int CString::CompareNoCase(const char* other) const { return strcasecmp(s_.c_str(), other ? other : ""); }

int CString::Find(char ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  size_t at = s_.find(ch, size_t(start));
  return at == std::string::npos ? -1 : int(at);
}

int CString::Find(const char* sub, int start) const {
  if (!sub || start < 0 || start > GetLength()) return -1;
  size_t at = s_.find(sub, size_t(start));
  return at == std::string::npos ? -1 : int(at);
}

int CString::ReverseFind(char ch) const {
  size_t at = s_.rfind(ch);
  return at == std::string::npos ? -1 : int(at);
}

CString CString::Left(int count) const {
  if (count <= 0) return CString();
  return CString(s_.substr(0, size_t(count)));
}

CString CString::Right(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return CString(s_.substr(s_.size() - size_t(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (first >= GetLength() || count <= 0) return CString();
  return CString(s_.substr(size_t(first), size_t(count)));
}

CString& CString::MakeUpper() {
  for (char& c : s_) c = char(toupper(static_cast<unsigned char>(c)));
  return *this;
}

CString& CString::MakeLower() {
  for (char& c : s_) c = char(tolower(static_cast<unsigned char>(c)));
  return *this;
}

CString& CString::TrimLeft() {
  size_t i = 0;
  while (i < s_.size() && isspace(static_cast<unsigned char>(s_[i]))) ++i;
  s_.erase(0, i);
  return *this;
}

CString& CString::TrimRight() {
  size_t n = s_.size();
  while (n > 0 && isspace(static_cast<unsigned char>(s_[n - 1]))) --n;
  s_.resize(n);
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

int CString::Replace(const char* old_text, const char* new_text) {
  if (!old_text || !*old_text) return 0;
  std::string with = new_text ? new_text : "";
  size_t len = strlen(old_text);
  int count = 0;
  for (size_t at = s_.find(old_text); at != std::string::npos; at = s_.find(old_text, at + with.size())) {
    s_.replace(at, len, with);
    ++count;
  }
  return count;
}

const CString& CStringArray::GetAt(int index) const {
  assert(index >= 0 && index < GetSize());
  return items_[size_t(index)];
}

CString& CStringArray::ElementAt(int index) {
  assert(index >= 0 && index < GetSize());
  return items_[size_t(index)];
}

void CStringArray::RemoveAt(int index, int count) {
  assert(index >= 0 && count >= 0 && index + count <= GetSize());
  items_.erase(items_.begin() + index, items_.begin() + index + count);
}
