#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "engine/tests/scratch_directory.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

void Plant(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

unsigned ModeOf(const fs::path& path) {
  struct stat s {};
  stat(path.c_str(), &s);
  return s.st_mode & 07777;
}

class AtomicFileTest : public testing::Test {
 protected:
  std::vector<std::string> Entries() const { return scratch_.Entries(); }

  ScratchDirectory scratch_;
  const fs::path& dir_ = scratch_.path();
  const fs::path target_ = dir_ / "WideQuad12.1.s4p";
};

TEST_F(AtomicFileTest, WritesANewFileWithTheUsualMode) {
  const mode_t old_mask = umask(027);
  EXPECT_EQ(WriteFileAtomically(target_, "new text"), "");
  umask(old_mask);
  EXPECT_EQ(Read(target_), "new text");
  // The umask is read once per process; a new file never gets more than 0666.
  EXPECT_EQ(ModeOf(target_) & ~0666u, 0u);
  EXPECT_EQ(Entries(), std::vector<std::string>{"WideQuad12.1.s4p"});
}

TEST_F(AtomicFileTest, ReplacingKeepsTheOldFilesMode) {
  Plant(target_, "old");
  fs::permissions(target_, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(WriteFileAtomically(target_, "new"), "");
  EXPECT_EQ(Read(target_), "new");
  EXPECT_EQ(ModeOf(target_), 0600u);
}

// Even for root, who may write anywhere: a file made read-only stays.
TEST_F(AtomicFileTest, RefusesAReadOnlyFile) {
  Plant(target_, "old");
  fs::permissions(target_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(WriteFileAtomically(target_, "new"), "the file is read-only");
  EXPECT_EQ(Read(target_), "old");
  EXPECT_EQ(Entries(), std::vector<std::string>{"WideQuad12.1.s4p"});
}

// A link planted at an output's name must not redirect the write.
TEST_F(AtomicFileTest, RefusesASymbolicLinkAndLeavesItsTargetAlone) {
  Plant(dir_ / "victim", "precious");
  fs::create_symlink(dir_ / "victim", target_);
  EXPECT_EQ(WriteFileAtomically(target_, "new"),
            "the name is a symbolic link, which is not followed");
  EXPECT_EQ(Read(dir_ / "victim"), "precious");
  EXPECT_TRUE(fs::is_symlink(target_));
  fs::create_symlink(dir_ / "nowhere", dir_ / "dangling");
  EXPECT_NE(WriteFileAtomically(dir_ / "dangling", "new"), "");
  EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
}

TEST_F(AtomicFileTest, RefusesADirectory) {
  fs::create_directory(target_);
  EXPECT_EQ(WriteFileAtomically(target_, "new"), "the name is not a regular file");
  EXPECT_TRUE(fs::is_directory(target_));
}

TEST_F(AtomicFileTest, MissingDirectoryGivesTheSystemsReason) {
  EXPECT_EQ(WriteFileAtomically(dir_ / "missing" / "x.svg", "new"),
            "cannot create the file: No such file or directory");
}

TEST_F(AtomicFileTest, UnwritableDirectoryGivesTheSystemsReason) {
  // Root ignores directory permissions, so a directory that cannot take a
  // file at all stands in: /proc's own.
  EXPECT_EQ(
      WriteFileAtomically("/proc/rfsplitter-test.svg", "new").rfind("cannot create the file: ", 0),
      0u);
}

// The temporary is hidden, in the target's directory, and gone after a
// commit or a discard; the target appears only at the commit.
TEST_F(AtomicFileTest, TheTemporaryIsHiddenBesideTheTarget) {
  AtomicFile file;
  ASSERT_TRUE(file.Open(target_));
  ASSERT_TRUE(file.Write("half"));
  const std::vector<std::string> during = Entries();
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].rfind(".WideQuad12.1.s4p.", 0), 0u) << during[0];
  EXPECT_EQ(during[0].size(), std::string(".WideQuad12.1.s4p.rfsplitter-XXXXXX").size());
  EXPECT_TRUE(IsTemporaryName(during[0]));
  ASSERT_TRUE(file.Write(" and the rest"));
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(Entries(), std::vector<std::string>{"WideQuad12.1.s4p"});
  EXPECT_EQ(Read(target_), "half and the rest");

  AtomicFile discarded;
  ASSERT_TRUE(discarded.Open(dir_ / "other.svg"));
  ASSERT_TRUE(discarded.Write("never seen"));
  discarded.Discard();
  EXPECT_EQ(Entries(), std::vector<std::string>{"WideQuad12.1.s4p"});
}

// A device that fills up mid-write, made with the file-size limit.
TEST_F(AtomicFileTest, FullDeviceKeepsTheEarlierFile) {
  Plant(target_, "old and complete");
  std::string failure;
  {
    const FileSizeLimit full_after(100);
    failure = WriteFileAtomically(target_, std::string(1000, 'x'));
  }

  EXPECT_EQ(failure, "cannot write the file: File too large");
  EXPECT_EQ(Read(target_), "old and complete");
  EXPECT_EQ(Entries(), std::vector<std::string>{"WideQuad12.1.s4p"});
  EXPECT_EQ(WriteFileAtomically(target_, std::string(1000, 'x')), "");
}

// A rename that fails halfway through a set (the target became a folder
// after the set was written) puts back every file already replaced.
TEST_F(AtomicFileTest, ASetWhoseRenameFailsPutsEveryEarlierFileBack) {
  Plant(dir_ / "a.txt", "old a");
  Plant(dir_ / "c.txt", "old c");
  FileSet files;
  files.Lock({dir_ / "a.txt", dir_ / "b.txt", dir_ / "c.txt"});
  ASSERT_TRUE(files.Stage(dir_ / "a.txt", "new a"));
  ASSERT_TRUE(files.Stage(dir_ / "b.txt", "new b"));
  ASSERT_TRUE(files.Stage(dir_ / "c.txt", "new c"));
  fs::remove(dir_ / "c.txt");
  fs::create_directories(dir_ / "c.txt" / "in the way");

  EXPECT_FALSE(files.Commit());
  EXPECT_EQ(files.FailedPath(), dir_ / "c.txt");
  EXPECT_NE(files.FailureReason().find("; every earlier file is as it was"), std::string::npos)
      << files.FailureReason();
  EXPECT_TRUE(files.Replaced().empty());
  EXPECT_EQ(Read(dir_ / "a.txt"), "old a");
  EXPECT_FALSE(fs::exists(dir_ / "b.txt"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "c.txt"}));
}

}  // namespace
}  // namespace rfsplitter
