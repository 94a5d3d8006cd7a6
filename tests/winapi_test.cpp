// The Windows calls for paths and modules: _splitpath, _tempnam, GetModuleFileNameA and the
// module handles the DLL entry gets.
#include <gtest/gtest.h>

#include <dlfcn.h>
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
  // Null parts are skipped; long parts are cut to their buffers.
  _splitpath("C:\\dir\\file.txt", nullptr, nullptr, nullptr, nullptr);
  std::string longName(400, 'n');
  EXPECT_EQ(split(longName.c_str()).fname.size(), size_t(_MAX_FNAME - 1));
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
