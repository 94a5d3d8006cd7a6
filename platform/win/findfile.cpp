// The folder search. A search reads the whole folder when it starts and hands the matches out
// one by one, so files deleted or added while it runs (Import2dData deletes each file it read)
// neither disturb it nor show up half-way.
#include "win/winapi.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.h"

namespace {

// What the last part of a pattern holds once read as Windows reads it: '?' becomes a
// "question mark" that also matches nothing before a dot or the end of the name, '*' before a
// dot a "star" that never swallows the name's last dot, and a dot before a wildcard or at the
// end a "dot" that also matches the end of the name. So "*.*" matches every name, "*." the
// names without a dot, and "a?.txt" both "a.txt" and "ab.txt", as on Windows.
enum class Token : unsigned char { literal, star, dosStar, dosQuestion, dosDot };

struct PatternChar {
  Token token;
  char c;
};

std::vector<PatternChar> readPattern(std::string_view pattern) {
  std::vector<PatternChar> out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i], next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    Token t = Token::literal;
    if (c == '?') t = Token::dosQuestion;
    else if (c == '*') t = next == '.' ? Token::dosStar : Token::star;
    else if (c == '.' && (next == '?' || next == '*' || next == '\0')) t = Token::dosDot;
    out.push_back({t, c});
  }
  return out;
}

// Case is folded for ASCII letters only; other bytes compare as they are, whatever the locale.
char fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Whether the name matches from pattern position pi and name position ni on, with every
// later pair's answer already in `later` (row pi + 1) and `here` (row pi, positions above ni).
bool stepMatches(const PatternChar& p, std::string_view name, size_t ni, size_t lastDot,
                 const std::vector<char>& later, const std::vector<char>& here) {
  const size_t n = name.size();
  const bool atEnd = ni == n;
  switch (p.token) {
    case Token::star: return later[ni] || (!atEnd && here[ni + 1]);
    case Token::dosStar: return later[ni] || (!atEnd && ni != lastDot && here[ni + 1]);
    case Token::dosQuestion: return (atEnd || name[ni] == '.') ? later[ni] : later[ni + 1];
    case Token::dosDot: return atEnd ? later[ni] : (name[ni] == '.' && later[ni + 1]);
    case Token::literal: return !atEnd && fold(name[ni]) == fold(p.c) && later[ni + 1];
  }
  return false;
}

// Table matching from the end, one row per pattern position: no backtracking, so a pattern of
// many stars costs the same as any other.
bool matches(const std::vector<PatternChar>& pattern, std::string_view name) {
  const size_t n = name.size();
  const size_t found = name.rfind('.');
  const size_t lastDot = found == std::string_view::npos ? n + 1 : found;
  std::vector<char> later(n + 1, 0), here(n + 1, 0);
  later[n] = 1;  // the empty pattern matches only the end of the name
  for (size_t pi = pattern.size(); pi-- > 0;) {
    for (size_t ni = n + 1; ni-- > 0;) here[ni] = stepMatches(pattern[pi], name, ni, lastDot, later, here);
    later.swap(here);
  }
  return later[0] != 0;
}

// Windows counts time in 100-nanosecond steps from 1601; times before then read as 0.
FILETIME fileTime(std::int64_t seconds, std::int64_t nanoseconds) {
  constexpr std::int64_t kFrom1601 = 11644473600;
  std::uint64_t ticks = 0;
  if (seconds >= -kFrom1601) ticks = std::uint64_t(seconds + kFrom1601) * 10000000u + std::uint64_t(nanoseconds / 100);
  return {DWORD(ticks & 0xFFFFFFFFu), DWORD(ticks >> 32)};
}

// The entry as Windows describes it: a folder, or a normal file with its size. A symbolic
// link is described by what it points to; a link that points nowhere, by itself. False when
// the entry went away.
bool describe(int folder, const char* name, WIN32_FIND_DATAA& out) {
  struct statx st {};
  const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
  if (statx(folder, name, 0, mask, &st) != 0 && statx(folder, name, AT_SYMLINK_NOFOLLOW, mask, &st) != 0)
    return false;
  out = WIN32_FIND_DATAA{};
  const bool isFolder = S_ISDIR(st.stx_mode);
  out.dwFileAttributes = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  const std::uint64_t size = isFolder ? 0 : st.stx_size;
  out.nFileSizeHigh = DWORD(size >> 32);
  out.nFileSizeLow = DWORD(size & 0xFFFFFFFFu);
  // File systems that keep no birth time give the last change of the contents instead.
  const statx_timestamp& born = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
  out.ftCreationTime = fileTime(born.tv_sec, born.tv_nsec);
  out.ftLastAccessTime = fileTime(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
  out.ftLastWriteTime = fileTime(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
  const size_t length = std::strlen(name);
  if (length >= sizeof out.cFileName) return false;  // no name of this system is that long
  std::memcpy(out.cFileName, name, length + 1);
  return true;
}

// One search: what is left to hand out.
struct Search {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

// The searches handed out and not closed yet, so that a stale or made-up handle is refused
// instead of followed.
std::mutex gSearchesMutex;
std::set<const Search*> gSearches;

bool isSearch(const Search* s) {
  std::lock_guard<std::mutex> lock(gSearchesMutex);
  return gSearches.count(s) > 0;
}

// The entries of folder whose names match, in the order the folder yields them. "." and ".."
// come as the folder yields them when the pattern matches them, as on Windows in any folder
// but a drive's root.
std::vector<WIN32_FIND_DATAA> matchingEntries(const std::string& folder, std::string_view namePattern) {
  std::vector<WIN32_FIND_DATAA> out;
  const std::vector<PatternChar> pattern = readPattern(namePattern);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return out;
  const int fd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    WIN32_FIND_DATAA data;
    if (matches(pattern, entry->d_name) && describe(fd, entry->d_name, data)) out.push_back(data);
  }
  closedir(dir);
  return out;
}

}  // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found) {
  if (!pattern || !found) return INVALID_HANDLE_VALUE;
  const std::string path = kv::path::native(pattern);
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string_view name = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  if (name.empty()) return INVALID_HANDLE_VALUE;  // Windows finds nothing for "folder\"
  auto search = std::make_unique<Search>();
  search->entries = matchingEntries(folder, name);
  if (search->entries.empty()) return INVALID_HANDLE_VALUE;
  *found = search->entries[0];
  search->next = 1;
  std::lock_guard<std::mutex> lock(gSearchesMutex);
  gSearches.insert(search.get());
  return search.release();
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* found) {
  auto* search = static_cast<Search*>(handle);
  if (!found || !isSearch(search) || search->next >= search->entries.size()) return FALSE;
  *found = search->entries[search->next++];
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  auto* search = static_cast<Search*>(handle);
  {
    std::lock_guard<std::mutex> lock(gSearchesMutex);
    if (gSearches.erase(search) == 0) return FALSE;
  }
  delete search;
  return TRUE;
}
