// The Windows calls for paths, folders and modules: _splitpath, _tempnam, the folder search,
// GetModuleFileNameA and the module handles the DLL entry gets.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/paths.h"
#include "testing/faults.h"
#include "test_files.h"
#include "win/crt.h"
#include "win/dllentry.h"
#include "win/module_handles.h"
#include "win/winapi.h"
#include "test_files.h"

namespace {

struct Split {
  std::string drive, dir, fname, ext;
};

Split split(const char* path) {
  char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
  _splitpath(path, drive, dir, fname, ext);
  return {drive, dir, fname, ext};
}

TEST(SplitPath, WindowsPartsWithEitherSeparator) {
  Split w = split("C:\\Program Files\\Kavlor\\Kavlor.arx");
  EXPECT_EQ(w.drive, "C:");
  EXPECT_EQ(w.dir, "\\Program Files\\Kavlor\\");
  EXPECT_EQ(w.fname, "Kavlor");
  EXPECT_EQ(w.ext, ".arx");
  Split u = split("/opt/kv host/Kavlor.arx");
  EXPECT_EQ(u.drive, "");
  EXPECT_EQ(u.dir, "/opt/kv host/");
  EXPECT_EQ(std::string(u.drive) + u.dir + "Kavlor.mnu", "/opt/kv host/Kavlor.mnu");
  Split mixed = split("d:/a\\b.c/name.tar.gz");
  EXPECT_EQ(mixed.drive, "d:");
  EXPECT_EQ(mixed.dir, "/a\\b.c/");
  EXPECT_EQ(mixed.fname, "name.tar");
  EXPECT_EQ(mixed.ext, ".gz");
  Split bare = split("name");
  EXPECT_EQ(bare.dir, "");
  EXPECT_EQ(bare.fname, "name");
  EXPECT_EQ(bare.ext, "");
  Split dotfile = split("/home/u/.config");
  EXPECT_EQ(dotfile.fname, "");
  EXPECT_EQ(dotfile.ext, ".config");
  Split notDrive = split("1:/x");  // only a letter makes a drive
  EXPECT_EQ(notDrive.drive, "");
  EXPECT_EQ(notDrive.dir, "1:/");
  Split empty = split(nullptr);
  EXPECT_EQ(empty.fname, "");
  // Null parts are skipped.
  _splitpath("C:\\dir\\file.txt", nullptr, nullptr, nullptr, nullptr);
}

// A buffer of exactly the run-time's size on the heap, where the sanitizer sees the first byte
// past it, followed by bytes that must stay as they were.
struct Fenced {
  explicit Fenced(size_t n) : size(n), bytes(new char[n + kFence]) { std::memset(bytes.get(), 'f', n + kFence); }
  std::string text() const { return std::string(bytes.get(), strnlen(bytes.get(), size)); }
  bool terminated() const { return std::memchr(bytes.get(), '\0', size) != nullptr; }
  bool fenceIntact() const {
    return std::all_of(bytes.get() + size, bytes.get() + size + kFence, [](char c) { return c == 'f'; });
  }
  static constexpr size_t kFence = 16;
  size_t size;
  std::unique_ptr<char[]> bytes;
};

TEST(SplitPath, PartsLongerThanTheirBuffersAreCutNeverWrittenPast) {
  const std::string dir = "\\" + std::string(300, 'd') + "\\";
  const std::string name(300, 'n'), ext = "." + std::string(300, 'e');
  for (const std::string& path : {"C:" + dir + name + ext, "x:" + std::string(255, 'd') + "\\" + name,
                                  std::string(255, 'd') + "/" + std::string(255, 'n') + ".e"}) {
    Fenced drive(_MAX_DRIVE), folder(_MAX_DIR), fname(_MAX_FNAME), extension(_MAX_EXT);
    _splitpath(path.c_str(), drive.bytes.get(), folder.bytes.get(), fname.bytes.get(), extension.bytes.get());
    for (const Fenced* part : {&drive, &folder, &fname, &extension}) {
      EXPECT_TRUE(part->terminated());
      EXPECT_TRUE(part->fenceIntact());
    }
    // What is kept is the start of each part, so the pieces never add up to the whole path.
    const std::string rebuilt = drive.text() + folder.text() + fname.text() + extension.text();
    EXPECT_LT(rebuilt.size(), path.size());
    EXPECT_EQ(path.find(folder.text()), drive.text().size());
  }
  Split cut = split(("C:" + dir + name + ext).c_str());
  EXPECT_EQ(cut.drive, "C:");
  EXPECT_EQ(cut.dir, dir.substr(0, _MAX_DIR - 1));
  EXPECT_EQ(cut.fname, name.substr(0, _MAX_FNAME - 1));
  EXPECT_EQ(cut.ext, ext.substr(0, _MAX_EXT - 1));
  // Parts that just fit come whole.
  const std::string fitDir = "/" + std::string(_MAX_DIR - 3, 'd') + "/";
  Split fit = split((fitDir + std::string(_MAX_FNAME - 1, 'n') + "." + std::string(_MAX_EXT - 2, 'e')).c_str());
  EXPECT_EQ(fit.dir, fitDir);
  EXPECT_EQ(fit.fname.size(), size_t(_MAX_FNAME - 1));
  EXPECT_EQ(fit.ext.size(), size_t(_MAX_EXT - 1));
}

// ---------------------------------------------------------------------------------------------
// The folder search.

struct Found {
  std::vector<std::string> names;  // in the order the search gave them
  std::vector<WIN32_FIND_DATAA> data;
};

Found findAll(const std::string& pattern) {
  Found out;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    out.names.push_back(data.cFileName);
    out.data.push_back(data);
  } while (FindNextFileA(h, &data));
  EXPECT_TRUE(FindClose(h));
  return out;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class FolderSearch : public ::testing::Test {
protected:
  FolderSearch() {
    for (const char* name : {"part1.dxf", "PART3.DXF", "part2.dxf", "other.dxf", "part.dxf.bak", "partx.dxfx",
                             "a.txt", "ab.txt", "abc.txt", "noext", "x.y.dxf"})
      writeFile(dir_ / name, name);
    dir_.folder("sub");
  }
  std::string in(const std::string& pattern) const { return (dir_.path() / pattern).string(); }
  ScratchFolder dir_;
};

using Names = std::vector<std::string>;

TEST_F(FolderSearch, WildcardsMatchAsOnWindowsWithoutRegardToCase) {
  EXPECT_EQ(sorted(findAll(in("part*.dxf")).names), (Names{"PART3.DXF", "part1.dxf", "part2.dxf"}));
  EXPECT_EQ(sorted(findAll(in("PART*.DXF")).names), (Names{"PART3.DXF", "part1.dxf", "part2.dxf"}));
  EXPECT_EQ(sorted(findAll(in("*.dxf")).names), (Names{"PART3.DXF", "other.dxf", "part1.dxf", "part2.dxf", "x.y.dxf"}));
  // '?' is one character, or none before a dot or the end.
  EXPECT_EQ(sorted(findAll(in("a?.txt")).names), (Names{"a.txt", "ab.txt"}));
  EXPECT_EQ(sorted(findAll(in("ab?.TXT")).names), (Names{"ab.txt", "abc.txt"}));
  EXPECT_EQ(sorted(findAll(in("?b?.txt")).names), (Names{"ab.txt", "abc.txt"}));
  EXPECT_EQ(findAll(in("a?c")).names, Names{});
  EXPECT_EQ(sorted(findAll(in("noex?")).names), (Names{"noext"}));
  EXPECT_EQ(sorted(findAll(in("noext??")).names), (Names{"noext"}));
  // "*." is the names without a dot ("." and ".." among them, as on Windows); "*" and "*.*" all.
  EXPECT_EQ(sorted(findAll(in("*.")).names), (Names{".", "..", "noext", "sub"}));
  const Names all = sorted(findAll(in("*")).names);
  EXPECT_EQ(all.size(), 14u);
  EXPECT_EQ(sorted(findAll(in("*.*")).names), all);
  EXPECT_EQ(sorted(findAll(in("*.t*")).names), (Names{"a.txt", "ab.txt", "abc.txt"}));
  // A name without wildcards finds that entry alone, in any case; a folder among them.
  EXPECT_EQ(findAll(in("OTHER.dxf")).names, Names{"other.dxf"});
  Found sub = findAll(in("SUB"));
  ASSERT_EQ(sub.names, Names{"sub"});
  EXPECT_EQ(sub.data[0].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  // Bytes outside ASCII are compared as they are.
  writeFile(dir_ / "\xc3\xa9t\xc3\xa9.txt", "");
  EXPECT_EQ(findAll(in("\xc3\xa9*")).names, Names{"\xc3\xa9t\xc3\xa9.txt"});
  EXPECT_EQ(findAll(in("\xc3\x89*")).names, Names{});
}

TEST_F(FolderSearch, FolderPartTakesEitherSeparatorAndMissingThingsFindNothing) {
  const std::string windows = dir_.path().string() + "\\part1.dxf";
  EXPECT_EQ(findAll(windows).names, Names{"part1.dxf"});
  EXPECT_EQ(findAll((dir_.path() / "sub" / ".." / "part1.*").string()).names, Names{"part1.dxf"});
  WIN32_FIND_DATAA data;
  std::memset(&data, 0x5A, sizeof data);
  for (const std::string& pattern : {in("nothing*"), in("missing/*"), in("part1.dxf/*"), in("sub/"), std::string()})
    EXPECT_EQ(FindFirstFileA(pattern.c_str(), &data), INVALID_HANDLE_VALUE) << pattern;
  EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA(in("*").c_str(), nullptr), INVALID_HANDLE_VALUE);
  // A pattern without a folder searches the working folder.
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  Found local = findAll("part?.dxf");
  std::filesystem::current_path(here);
  EXPECT_EQ(sorted(local.names), (Names{"PART3.DXF", "part1.dxf", "part2.dxf"}));
}

TEST_F(FolderSearch, EntriesComeInTheFoldersOrderEachOnce) {
  Names listed;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path())) listed.push_back(e.path().filename().string());
  Names found = findAll(in("*")).names;
  Names withoutDots;
  std::copy_if(found.begin(), found.end(), std::back_inserter(withoutDots),
               [](const std::string& n) { return n != "." && n != ".."; });
  EXPECT_EQ(withoutDots, listed);
  EXPECT_EQ(found.size(), listed.size() + 2);
}

TEST_F(FolderSearch, DeletingWhatWasFoundDoesNotDisturbTheSearch) {
  ScratchFolder many;
  Names names;
  for (int i = 0; i < 200; ++i) {
    names.push_back("f" + std::to_string(i) + ".dxf");
    writeFile(many / names.back(), "x");
  }
  Names seen;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((many.path() / "F*.DXF").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do {
    seen.push_back(data.cFileName);
    EXPECT_EQ(::unlink((many.path() / data.cFileName).c_str()), 0) << data.cFileName;
    writeFile(many / ("f" + std::string(data.cFileName) + ".dxf"), "new");  // added while it runs
  } while (FindNextFileA(h, &data));
  EXPECT_TRUE(FindClose(h));
  EXPECT_EQ(sorted(seen), sorted(names));
}

TEST_F(FolderSearch, AttributesSizesAndTimesAsWindowsGivesThem) {
  writeFile(dir_ / "sized.bin", std::string(12345, 'z'));
  // Write and access times from the epoch at 10^9 s: 1601 to 1970 is 11644473600 s, in 100 ns steps.
  const timespec times[2] = {{1000000000, 700}, {1000000001, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir_ / "sized.bin").c_str(), times, 0), 0);
  Found f = findAll(in("sized.bin"));
  ASSERT_EQ(f.data.size(), 1u);
  const WIN32_FIND_DATAA& d = f.data[0];
  EXPECT_EQ(d.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(d.nFileSizeHigh, 0u);
  EXPECT_EQ(d.nFileSizeLow, 12345u);
  auto ticks = [](const FILETIME& t) { return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  EXPECT_EQ(ticks(d.ftLastAccessTime), (1000000000ull + 11644473600ull) * 10000000ull + 7);
  EXPECT_EQ(ticks(d.ftLastWriteTime), (1000000001ull + 11644473600ull) * 10000000ull + 1234567);
  // Created now (or, where no creation time is kept, written then): never after now, nor before 2020.
  const std::uint64_t now = (std::uint64_t(time(nullptr)) + 11644473600ull + 1) * 10000000ull;
  const std::uint64_t year2020 = (1577836800ull + 11644473600ull) * 10000000ull;
  EXPECT_LE(ticks(d.ftCreationTime), now);
  EXPECT_TRUE(ticks(d.ftCreationTime) >= year2020 || ticks(d.ftCreationTime) == ticks(d.ftLastWriteTime));
  EXPECT_EQ(d.cAlternateFileName[0], '\0');
  // Past 4 GiB the size takes its high word (a sparse file takes no room).
  const auto big = dir_ / "big.bin";
  writeFile(big, "");
  std::filesystem::resize_file(big, (std::uint64_t(5) << 32) + 17);
  Found b = findAll(big.string());
  ASSERT_EQ(b.data.size(), 1u);
  EXPECT_EQ(b.data[0].nFileSizeHigh, 5u);
  EXPECT_EQ(b.data[0].nFileSizeLow, 17u);
  // Folders have no size; a link is its target, a link to nothing itself.
  Found sub = findAll(in("sub"));
  EXPECT_EQ(sub.data[0].nFileSizeLow, 0u);
  std::filesystem::create_directory_symlink(dir_ / "sub", dir_ / "linkdir");
  std::filesystem::create_symlink(dir_ / "gone", dir_ / "dangling");
  EXPECT_EQ(findAll(in("linkdir")).data.at(0).dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(findAll(in("dangling")).data.at(0).dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderSearch, HandlesEndWithFindCloseAndStaleOnesAreRefused) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(in("part?.dxf").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(FindNextFileA(h, &data));
  ASSERT_TRUE(FindNextFileA(h, &data));
  std::string third = data.cFileName;
  EXPECT_FALSE(FindNextFileA(h, &data));  // part1, part2 and PART3
  EXPECT_EQ(std::string(data.cFileName), third);  // untouched when none is left
  EXPECT_FALSE(FindNextFileA(h, &data));
  EXPECT_FALSE(FindNextFileA(h, nullptr));
  EXPECT_TRUE(FindClose(h));
  EXPECT_FALSE(FindClose(h));
  EXPECT_FALSE(FindNextFileA(h, &data));
  int local = 0;
  EXPECT_FALSE(FindNextFileA(&local, &data));
  EXPECT_FALSE(FindClose(&local));
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  // A search left half-way is freed by FindClose alone (the sanitizer's leak check sees it).
  h = FindFirstFileA(in("*").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FindClose(h));
}

// The system's entropy as _tempnam draws it, scripted by the tests that must know the names
// it will try; the real one when no script is set or it has run out.
std::vector<std::uint64_t> gScriptedRandom;

}  // namespace

extern "C" ssize_t getrandom(void* buffer, size_t length, unsigned flags) {
  if (!gScriptedRandom.empty() && length == sizeof(std::uint64_t)) {
    std::memcpy(buffer, &gScriptedRandom.front(), length);
    gScriptedRandom.erase(gScriptedRandom.begin());
    return ssize_t(length);
  }
  using Real = ssize_t (*)(void*, size_t, unsigned);
  static auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getrandom"));
  if (!real) {
    errno = ENOSYS;
    return -1;
  }
  return real(buffer, length, flags);
}

namespace {

// _tempnam's answer as a string; "(null)" for none. The name is freed as its callers free it.
std::string tempName(const char* dir, const char* prefix) {
  std::unique_ptr<char, decltype(&std::free)> name(_tempnam(dir, prefix), &std::free);
  return name ? std::string(name.get()) : "(null)";
}

bool exists(const std::string& path) { return nodeState(path) != "missing"; }

// What follows the folder and prefix: eight lower-case letters or digits, so no extension.
bool isSuffix(const std::string& s) {
  return s.size() == 8 && s.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz") == std::string::npos;
}

TEST(TempName, FreshNamesInTheFolderWithThePrefix) {
  ScratchFolder scratch;
  std::string dir = scratch.path().string();
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string name = tempName(dir.c_str(), "ORV");
    ASSERT_EQ(name.substr(0, dir.size() + 4), dir + "/ORV") << name;
    EXPECT_TRUE(isSuffix(name.substr(dir.size() + 4))) << name;
    EXPECT_FALSE(exists(name)) << name;
    EXPECT_TRUE(seen.insert(name).second) << name << " given twice";
    writeFile(name, "taken");  // each answer is taken before the next call
  }
  EXPECT_EQ(namesIn(dir).size(), 200u);
  // A folder named with a separator at its end gets no second one; no prefix, no prefix.
  std::string bare = tempName((dir + "/").c_str(), nullptr);
  EXPECT_EQ(bare.substr(0, dir.size() + 1), dir + "/");
  EXPECT_TRUE(isSuffix(bare.substr(dir.size() + 1))) << bare;
}

TEST(TempName, TakenNamesAreSkippedDanglingLinksIncluded) {
  ScratchFolder scratch;
  std::string dir = scratch.path().string();
  writeFile(scratch / "ORV00000000", "a file");
  std::filesystem::create_symlink(scratch / "nowhere", scratch / "ORV10000000");
  std::filesystem::create_directory(scratch / "ORV20000000");
  // A draw's suffix is its digits in base 36, the lowest first.
  gScriptedRandom = {0, 1, 2, 3 + 36 * 35};
  EXPECT_EQ(tempName(dir.c_str(), "ORV"), dir + "/ORV3z000000");
  EXPECT_TRUE(gScriptedRandom.empty());
  // Every try taken: no name.
  gScriptedRandom.assign(64, 0);
  EXPECT_EQ(tempName(dir.c_str(), "ORV"), "(null)");
  EXPECT_TRUE(gScriptedRandom.empty());
  gScriptedRandom.clear();
}

TEST(TempName, WindowsFoldersKeepTheirSeparator) {
  ScratchFolder scratch;
  std::string windows = scratch.folder("sub").string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  std::string name = tempName(windows.c_str(), "ORV");
  ASSERT_EQ(name.substr(0, windows.size() + 4), windows + "\\ORV") << name;
  EXPECT_TRUE(isSuffix(name.substr(windows.size() + 4))) << name;
  // What the module's path opens is in that folder.
  writeFile(kv::path::native(name), "x");
  EXPECT_EQ(namesIn(scratch / "sub").size(), 1u);
}

TEST(TempName, NoUsableFolderMeansTheSystemsTemporaryFolder) {
  ScratchFolder scratch;
  std::string system = scratch.folder("system").string();
  ScopedEnv tmpdir("TMPDIR", system.c_str());
  writeFile(scratch / "file", "a file, not a folder");
  for (std::string dir : {std::string(), (scratch / "file").string(), (scratch / "missing").string()}) {
    std::string name = tempName(dir.empty() ? nullptr : dir.c_str(), "ORV");
    EXPECT_EQ(name.substr(0, system.size() + 4), system + "/ORV") << "dir '" << dir << "' gave " << name;
  }
  EXPECT_EQ(tempName("", "ORV").substr(0, system.size() + 4), system + "/ORV");
}

TEST(TempName, NoNameWhenNoneCanBeMade) {
  ScratchFolder scratch;
  // The system holds no file name this long.
  std::string longPrefix(300, 'p');
  EXPECT_EQ(tempName(scratch.path().c_str(), longPrefix.c_str()), "(null)");
  kv::fault::arm(kv::fault::Call::tempnam, 1);
  EXPECT_EQ(tempName(scratch.path().c_str(), "ORV"), "(null)");
  EXPECT_NE(tempName(scratch.path().c_str(), "ORV"), "(null)");
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::tempnam), 1);
  kv::fault::disarmAll();
  EXPECT_TRUE(namesIn(scratch.path()).empty());  // nothing is created
}

TEST(ModuleFileName, NullIsTheProgramAndLibrariesGiveTheirFile) {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  EXPECT_EQ(std::string(buf), std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(n, std::strlen(buf));

  HINSTANCE platform = kvModuleHandleOf(reinterpret_cast<const void*>(&GetModuleFileNameA));
  ASSERT_NE(platform, nullptr);
  EXPECT_TRUE(kvIsModuleHandle(platform));
  n = GetModuleFileNameA(platform, buf, sizeof buf);
  Dl_info info{};
  ASSERT_TRUE(dladdr(reinterpret_cast<const void*>(&GetModuleFileNameA), &info));
  EXPECT_EQ(std::filesystem::path(buf), std::filesystem::absolute(info.dli_fname).lexically_normal());

  // Code of the program itself has the program's handle, null.
  EXPECT_EQ(kvModuleHandleOf(reinterpret_cast<const void*>(&split)), nullptr);
}

TEST(ModuleFileName, CutsLikeWindowsAndRefusesUnknownHandles) {
  char full[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, full, sizeof full);
  ASSERT_GT(n, 5u);
  char small[5];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 5u);
  EXPECT_EQ(std::string(small), std::string(full, 4));
  char buf[16] = "unchanged";
  int local = 0;
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&local), buf, sizeof buf), 0u);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 0), 0u);
  EXPECT_FALSE(kvIsModuleHandle(&local));
}

}  // namespace
