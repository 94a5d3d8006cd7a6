// The class library's 8-bit string and string array, as far as the module uses them.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "core/export.h"

typedef const char* LPCSTR;
typedef const char* LPCTSTR;

// Text is held by value; a CString never shares its buffer, so copies are independent.
class KV_PLATFORM_API CString {
public:
  CString() = default;
  CString(const char* text) : s_(text ? text : "") {}  // null reads as empty, as the class library does
  CString(const char* text, int length);
  CString(char ch, int repeat = 1) : s_(repeat > 0 ? size_t(repeat) : 0, ch) {}
  CString(const std::string& text) : s_(text) {}

  int GetLength() const { return int(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  char GetAt(int index) const;  // index must lie inside the text
  char operator[](int index) const { return GetAt(index); }
  void SetAt(int index, char ch);

  operator LPCTSTR() const { return s_.c_str(); }
  const char* GetString() const { return s_.c_str(); }
  const std::string& str() const { return s_; }

  CString& operator=(const char* text) { s_ = text ? text : ""; return *this; }
  CString& operator+=(const CString& other) { s_ += other.s_; return *this; }
  CString& operator+=(const char* text) { if (text) s_ += text; return *this; }
  CString& operator+=(char ch) { s_ += ch; return *this; }

  // printf-style; the result replaces the text.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* format, va_list args);
  void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

  int Compare(const char* other) const;         // strcmp order
  int CompareNoCase(const char* other) const;   // ASCII case folding
  int Find(char ch, int start = 0) const;       // -1 when absent
  int Find(const char* sub, int start = 0) const;
  int ReverseFind(char ch) const;
  CString Left(int count) const;
  CString Right(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString& MakeUpper();
  CString& MakeLower();
  CString& Trim();
  CString& TrimLeft();
  CString& TrimRight();
  int Replace(const char* old_text, const char* new_text);

  friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
  friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }
  friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
  friend CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
  friend CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }

private:
  std::string s_;
};

class KV_PLATFORM_API CStringArray {
public:
  int GetSize() const { return int(items_.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return items_.empty(); }
  int Add(const CString& item) { items_.push_back(item); return int(items_.size()) - 1; }
  const CString& GetAt(int index) const;
  CString& ElementAt(int index);
  const CString& operator[](int index) const { return GetAt(index); }
  CString& operator[](int index) { return ElementAt(index); }
  void SetAt(int index, const CString& item) { ElementAt(index) = item; }
  void RemoveAt(int index, int count = 1);
  void RemoveAll() { items_.clear(); }

private:
  std::vector<CString> items_;
};
