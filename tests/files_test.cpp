// The platform's file calls: whole reads, reading pipes and files alike, atomic replacement
// that loses nothing and writes over nothing but regular files, deletion, and the reasons.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/files.h"
#include "testing/faults.h"
#include "test_files.h"

namespace fs = std::filesystem;
using kv::fault::Call;

namespace {

mode_t modeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

// Bytes that a text-mode or line-based read would change.
std::string awkwardBytes(size_t n) {
  std::string text(n, '\0');
  for (size_t i = 0; i < n; ++i) text[i] = char((i * 7919 + i / 251) & 0xFF);
  text[n / 2] = '\r';
  text[n / 2 + 1] = '\n';
  return text;
}

// Feeds a named pipe from another thread, piece by piece with a pause between, so that a
// reader sees short reads. A reader that never comes or leaves early does not hang the test.
class PipeWriter {
public:
  PipeWriter(const std::string& path, std::vector<std::string> pieces)
      : path_(path), thread_([this, pieces = std::move(pieces)] {
          int fd = ::open(path_.c_str(), O_WRONLY);
          opened_ = true;
          if (fd < 0) return;
          for (const std::string& piece : pieces) {
            std::string_view rest(piece);
            while (!rest.empty()) {
              ssize_t n = ::write(fd, rest.data(), rest.size());
              if (n <= 0) break;
              rest.remove_prefix(size_t(n));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
          ::close(fd);
        }) {}
  ~PipeWriter() {
    if (!opened_) {
      int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
    thread_.join();
  }

private:
  std::string path_;
  std::atomic<bool> opened_{false};
  std::thread thread_;
};

class Files : public ::testing::Test {
protected:
  void SetUp() override {
    kv::fault::disarmAll();
    // A reader that stops early must give the writer EPIPE, not end the program.
    ::signal(SIGPIPE, SIG_IGN);
    mask_ = ::umask(022);
  }
  void TearDown() override {
    kv::fault::disarmAll();
    ::umask(mask_);
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string fifo(const std::string& name) const {
    std::string p = path(name);
    EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
    return p;
  }

  ScratchFolder scratch_;
  std::string dir_ = scratch_.path().string();
  mode_t mask_ = 022;
};

// ---------------------------------------------------------------------------------------------
// readWhole

TEST_F(Files, ReadWholeTakesEveryByte) {
  const std::string bytes = awkwardBytes(200001);
  writeFile(path("a.bin"), bytes);
  std::string out = "old";
  ASSERT_EQ(kv::file::readWhole(path("a.bin"), out), 0);
  EXPECT_EQ(out, bytes);
  // A limit the file meets exactly is no limit.
  ASSERT_EQ(kv::file::readWhole(path("a.bin"), out, bytes.size()), 0);
  EXPECT_EQ(out, bytes);
  writeFile(path("empty"), "");
  ASSERT_EQ(kv::file::readWhole(path("empty"), out), 0);
  EXPECT_EQ(out, "");
  writeFile(path("win.txt"), "both separators");
  ASSERT_EQ(kv::file::readWhole(dir_ + "\\win.txt", out), 0);
  EXPECT_EQ(out, "both separators");
  // A file the system makes as it is read says it is empty, and is not.
  ASSERT_EQ(kv::file::readWhole("/proc/self/status", out), 0);
  EXPECT_NE(out.find("Name:"), std::string::npos);
}

TEST_F(Files, ReadWholeLeavesOutUntouchedOnFailure) {
  writeFile(path("a.txt"), std::string(100, 'x'));
  fs::create_directory(path("folder"));
  struct Case {
    const char* name;
    std::string path;
    std::size_t limit;
    Call armed;
    bool arm;
    int error;
  };
  const Case cases[] = {
      {"over the limit", path("a.txt"), 99, Call::fileOpen, false, EFBIG},
      {"a folder", path("folder"), SIZE_MAX, Call::fileOpen, false, EISDIR},
      {"missing", path("missing"), SIZE_MAX, Call::fileOpen, false, ENOENT},
      {"refused open", path("a.txt"), SIZE_MAX, Call::fileOpen, true, EACCES},
      {"failed read", path("a.txt"), SIZE_MAX, Call::fileRead, true, EIO},
  };
  for (const Case& c : cases) {
    kv::fault::disarmAll();
    if (c.arm) kv::fault::arm(c.armed, 1);
    std::string out = "untouched";
    EXPECT_EQ(kv::file::readWhole(c.path, out, c.limit), c.error) << c.name;
    EXPECT_EQ(out, "untouched") << c.name;
    EXPECT_EQ(kv::fault::fired(c.armed), c.arm ? 1 : 0) << c.name;
  }
}

TEST_F(Files, ReadWholeReadsANamedPipeToItsEnd) {
  // Past one buffer, in pieces that do not fall on its bounds; then exactly two buffers.
  const std::string bytes = awkwardBytes(3 * 65536 + 17);
  for (const std::vector<std::string>& pieces :
       {std::vector<std::string>{bytes.substr(0, 1000), bytes.substr(1000, 70000), bytes.substr(71000)},
        std::vector<std::string>{bytes.substr(0, 2 * 65536)}}) {
    std::string expected;
    for (const std::string& piece : pieces) expected += piece;
    std::string p = fifo("pipe");
    std::string out;
    {
      PipeWriter writer(p, pieces);
      EXPECT_EQ(kv::file::readWhole(p, out), 0);
    }
    EXPECT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);
    fs::remove(p);
  }
  // A pipe has no size to check first: the limit holds while reading.
  std::string p = fifo("limited");
  PipeWriter writer(p, {std::string(1000, 'p')});
  std::string out = "untouched";
  EXPECT_EQ(kv::file::readWhole(p, out, 999), EFBIG);
  EXPECT_EQ(out, "untouched");
}

// ---------------------------------------------------------------------------------------------
// Input

TEST_F(Files, InputGivesTheSizeFillsBuffersAndSeeks) {
  const std::string bytes = awkwardBytes(10000);
  writeFile(path("a.bin"), bytes);
  kv::file::Input in;
  EXPECT_EQ(in.size(), -1);
  ASSERT_EQ(in.open(path("a.bin")), 0);
  EXPECT_EQ(in.size(), 10000);
  std::string buffer(4096, '\0');
  EXPECT_EQ(in.read(buffer.data(), 4096), 4096);
  EXPECT_EQ(buffer, bytes.substr(0, 4096));
  EXPECT_EQ(in.read(buffer.data(), 4096), 4096);
  EXPECT_EQ(buffer, bytes.substr(4096, 4096));
  EXPECT_EQ(in.read(buffer.data(), 4096), 10000 - 8192);
  EXPECT_EQ(buffer.substr(0, 10000 - 8192), bytes.substr(8192));
  EXPECT_EQ(in.read(buffer.data(), 4096), 0);
  EXPECT_EQ(in.error(), 0);

  ASSERT_EQ(in.seek(5), 0);
  EXPECT_EQ(in.read(buffer.data(), 3), 3);
  EXPECT_EQ(buffer.substr(0, 3), bytes.substr(5, 3));
  ASSERT_EQ(in.seek(0), 0);
  EXPECT_EQ(in.read(buffer.data(), 2), 2);
  EXPECT_EQ(buffer.substr(0, 2), bytes.substr(0, 2));
  ASSERT_EQ(in.seek(20000), 0);  // past the end: nothing more to read
  EXPECT_EQ(in.read(buffer.data(), 10), 0);
  EXPECT_EQ(in.seek(-1), EINVAL);
  EXPECT_EQ(in.error(), EINVAL);

  kv::fault::arm(Call::fileRead, 1);
  ASSERT_EQ(in.seek(0), 0);
  EXPECT_EQ(in.read(buffer.data(), 10), -1);
  EXPECT_EQ(in.error(), EIO);

  // Opening again moves to the other file.
  writeFile(path("b.txt"), "bee");
  ASSERT_EQ(in.open(path("b.txt")), 0);
  EXPECT_EQ(in.size(), 3);
  EXPECT_EQ(in.read(buffer.data(), 10), 3);
  EXPECT_EQ(buffer.substr(0, 3), "bee");
}

TEST_F(Files, InputOnAPipeHasNoSizeAndStillFillsBuffers) {
  std::string p = fifo("pipe");
  PipeWriter writer(p, {"abc", "defgh", "ij"});
  kv::file::Input in;
  ASSERT_EQ(in.open(p), 0);
  EXPECT_EQ(in.size(), -1);
  char buffer[16] = {};
  // The pieces come apart; the read waits for the next until the buffer is full.
  EXPECT_EQ(in.read(buffer, 6), 6);
  EXPECT_EQ(std::string(buffer, 6), "abcdef");
  EXPECT_EQ(in.read(buffer, 6), 4);
  EXPECT_EQ(std::string(buffer, 4), "ghij");
  EXPECT_EQ(in.read(buffer, 6), 0);
  EXPECT_EQ(in.seek(0), ESPIPE);
}

TEST_F(Files, InputRefusesFoldersAndMissingFiles) {
  fs::create_directory(path("folder"));
  kv::file::Input in;
  EXPECT_EQ(in.open(path("folder")), EISDIR);
  EXPECT_EQ(in.error(), EISDIR);
  EXPECT_EQ(in.size(), -1);
  EXPECT_EQ(in.open(path("missing")), ENOENT);
  kv::fault::arm(Call::fileOpen, 1);
  writeFile(path("a.txt"), "a");
  EXPECT_EQ(in.open(path("a.txt")), EACCES);
  EXPECT_EQ(in.size(), -1);
}

// ---------------------------------------------------------------------------------------------
// replace

TEST_F(Files, ReplaceGivesANewFileTheUmaskMode) {
  for (mode_t mask : {022, 027, 077, 0}) {
    ::umask(mask);
    std::string p = path("new" + std::to_string(mask));
    ASSERT_EQ(kv::file::replace(p, "data"), 0);
    EXPECT_EQ(readFile(p), "data");
    EXPECT_EQ(modeOf(p), 0666 & ~mask) << std::oct << mask;
  }
}

TEST_F(Files, ReplaceKeepsAnExistingFilesMode) {
  for (mode_t mode : {0600, 0640, 0604, 0755}) {
    std::string p = path("old" + std::to_string(mode));
    writeFile(p, "the old, longer content");
    ASSERT_EQ(::chmod(p.c_str(), mode), 0);
    ASSERT_EQ(kv::file::replace(p, "new"), 0);
    EXPECT_EQ(readFile(p), "new");
    EXPECT_EQ(modeOf(p), mode) << std::oct << mode;
  }
  ASSERT_EQ(kv::file::replace(path("old0600"), ""), 0);
  EXPECT_EQ(fs::file_size(path("old0600")), 0u);
}

TEST_F(Files, FailedReplaceKeepsTheOldFileWholeAndLeavesNothingBehind) {
  const std::string old = awkwardBytes(5000);
  writeFile(path("keep.bin"), old);
  ASSERT_EQ(::chmod(path("keep.bin").c_str(), 0640), 0);
  const std::pair<Call, int> refusals[] = {
      {Call::fileOpen, EACCES}, {Call::fileWrite, ENOSPC}, {Call::fileSync, EIO}, {Call::fileRename, EACCES}};
  for (const auto& [call, error] : refusals) {
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    EXPECT_EQ(kv::file::replace(path("keep.bin"), "new content"), error) << call;
    EXPECT_EQ(kv::fault::fired(call), 1) << call;
    EXPECT_TRUE(readFile(path("keep.bin")) == old) << call;
    EXPECT_EQ(modeOf(path("keep.bin")), 0640u) << call;
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    EXPECT_EQ(kv::file::replace(path("fresh.bin"), "new content"), error) << call;
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"keep.bin"}) << call;
  }
  // A scratch file is not flushed, so a failing flush cannot stop it.
  kv::fault::disarmAll();
  kv::fault::arm(Call::fileSync, 1);
  EXPECT_EQ(kv::file::replace(path("scratch"), "s", true), 0);
  EXPECT_EQ(kv::fault::calls(Call::fileSync), 0);
  EXPECT_EQ(readFile(path("scratch")), "s");
}

// A replacement written piece by piece: what was written (with its patch) lands whole on
// commit; one dropped before commit, or failing in a patch, leaves the old file and nothing else.
TEST_F(Files, ReplacementWrittenInPiecesLandsWholeOrNotAtAll) {
  writeFile(path("old.dxf"), "old");
  {
    kv::file::Replacement out;
    ASSERT_EQ(out.open(path("old.dxf")), 0);
    ASSERT_EQ(out.write("head 0000 "), 0);
    ASSERT_EQ(out.write("tail"), 0);
    EXPECT_EQ(out.size(), 14u);
    ASSERT_EQ(out.writeAt(5, "1A2B"), 0);
    EXPECT_EQ(readFile(path("old.dxf")), "old");  // nothing shows before commit
  }
  EXPECT_EQ(readFile(path("old.dxf")), "old");
  EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"old.dxf"});

  kv::file::Replacement out;
  ASSERT_EQ(out.open(path("old.dxf")), 0);
  ASSERT_EQ(out.write("head 0000 tail"), 0);
  kv::fault::arm(Call::fileWrite, 1);
  EXPECT_EQ(out.writeAt(5, "1A2B"), ENOSPC);
  kv::fault::disarmAll();
  ASSERT_EQ(out.writeAt(5, "1A2B"), 0);
  ASSERT_EQ(out.commit(), 0);
  EXPECT_EQ(readFile(path("old.dxf")), "head 1A2B tail");
  EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"old.dxf"});
  EXPECT_EQ(out.write("more"), EBADF);  // committed: nothing more goes in
}

TEST_F(Files, ReplaceFollowsSymlinksWhichStayLinks) {
  fs::create_directories(path("real/sub"));
  writeFile(path("real/target.txt"), "old");
  ::chmod(path("real/target.txt").c_str(), 0600);
  struct Link {
    std::string link, target, file;
  };
  const Link links[] = {
      {path("absolute"), path("real/target.txt"), path("real/target.txt")},
      {path("real/sub/relative"), "../target.txt", path("real/target.txt")},
      {path("chain"), "absolute", path("real/target.txt")},
      {path("dangling"), "real/made.txt", path("real/made.txt")},
  };
  for (const Link& l : links) fs::create_symlink(l.target, l.link);
  for (const Link& l : links) {
    ASSERT_EQ(kv::file::replace(l.link, "through " + l.link), 0) << l.link;
    EXPECT_TRUE(fs::is_symlink(l.link)) << l.link;
    EXPECT_EQ(fs::read_symlink(l.link).string(), l.target);
    EXPECT_EQ(readFile(l.file), "through " + l.link);
  }
  EXPECT_EQ(modeOf(path("real/target.txt")), 0600u);
  EXPECT_EQ(namesIn(path("real")), (std::vector<std::string>{"made.txt", "sub", "target.txt"}));
  EXPECT_EQ(namesIn(path("real/sub")), std::vector<std::string>{"relative"});
  EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"absolute", "chain", "dangling", "real"}));
}

TEST_F(Files, ReplaceGivesELoopForASymlinkLoop) {
  fs::create_symlink("b", path("a"));
  fs::create_symlink("a", path("b"));
  fs::create_symlink("self", path("self"));
  EXPECT_EQ(kv::file::replace(path("a"), "x"), ELOOP);
  EXPECT_EQ(kv::file::replace(path("self"), "x"), ELOOP);
  EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"a", "b", "self"}));
  EXPECT_TRUE(fs::is_symlink(path("a")));
}

TEST_F(Files, ReplaceWritesOverNothingButARegularFile) {
  std::vector<std::string> nodes = makeNotRegularFiles(dir_);
  fs::create_symlink("pipe", path("link to pipe"));
  nodes.push_back(path("link to pipe"));
  std::vector<std::string> states;
  for (const std::string& n : nodes) states.push_back(nodeState(n));
  const std::vector<std::string> names = namesIn(dir_);
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_EQ(kv::file::replace(nodes[i], "data"), kv::file::kNotRegularFile) << nodes[i];
    EXPECT_EQ(nodeState(nodes[i]), states[i]) << nodes[i];
  }
  EXPECT_EQ(readFile(path("folder/inside")), "kept");
  EXPECT_EQ(namesIn(dir_), names);
}

TEST_F(Files, ReplaceRefusesAReadOnlyFile) {
  writeFile(path("ro.txt"), "read only");
  ASSERT_EQ(::chmod(path("ro.txt").c_str(), 0444), 0);
  EXPECT_EQ(kv::file::replace(path("ro.txt"), "new"), EACCES);
  EXPECT_EQ(readFile(path("ro.txt")), "read only");
  EXPECT_EQ(modeOf(path("ro.txt")), 0444u);
  EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"ro.txt"});
}

TEST_F(Files, ReplaceTakesWindowsSeparatorsAndNamesWhyAPathFails) {
  fs::create_directory(path("sub"));
  ASSERT_EQ(kv::file::replace(dir_ + "\\sub\\win.txt", "w"), 0);
  EXPECT_EQ(readFile(path("sub/win.txt")), "w");
  EXPECT_EQ(kv::file::replace("", "x"), ENOENT);
  EXPECT_EQ(kv::file::replace(path("no/such/folder/x"), "x"), ENOENT);
  EXPECT_EQ(kv::file::replace(path("sub/win.txt/x"), "x"), ENOTDIR);
  EXPECT_EQ(namesIn(path("sub")), std::vector<std::string>{"win.txt"});
}

// ---------------------------------------------------------------------------------------------
// remove, describe

TEST_F(Files, RemoveDeletesFilesAndLinksButNotFolders) {
  fs::create_directory(path("folder"));
  writeFile(path("folder/inside"), "kept");
  fs::create_symlink("folder", path("link"));
  writeFile(path("a.txt"), "a");
  EXPECT_EQ(kv::file::remove(path("folder")), EISDIR);
  EXPECT_EQ(readFile(path("folder/inside")), "kept");
  EXPECT_EQ(kv::file::remove(path("link")), 0);
  EXPECT_FALSE(fs::is_symlink(path("link")));
  EXPECT_TRUE(fs::is_directory(path("folder")));
  EXPECT_EQ(kv::file::remove(dir_ + "\\a.txt"), 0);
  EXPECT_FALSE(fs::exists(path("a.txt")));
  EXPECT_EQ(kv::file::remove(path("a.txt")), ENOENT);
  EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"folder"});
}

TEST_F(Files, DescribeGivesTheReasonAsAUserReadsIt) {
  EXPECT_EQ(kv::file::describe(0), "no error");
  EXPECT_EQ(kv::file::describe(kv::file::kNotRegularFile), "not a regular file");
  EXPECT_EQ(kv::file::describe(ENOENT), "No such file or directory");
  EXPECT_EQ(kv::file::describe(EACCES), "Permission denied");
  EXPECT_EQ(kv::file::describe(ENOSPC), "No space left on device");
}

}  // namespace
