// The Windows calls for paths and modules: _splitpath, GetModuleFileNameA and the module
// handles the DLL entry gets.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

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
