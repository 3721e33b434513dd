// Saving never loses what was there: every failing save leaves an earlier
// file byte for byte as it was and no temporary file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <functional>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "FileIO.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<std::uint8_t> kNew(100000, 0x5A);

TEST(SaveFileReplacing, CreatesAndReplaces) {
  ScratchFolder folder;
  const std::string target = folder / "Orvessa ～ cat.jpg";
  SaveFileReplacing(target, kOld);
  EXPECT_EQ(ReadFile(target), kOld);
  SaveFileReplacing(target, kNew);
  EXPECT_EQ(ReadFile(target), kNew);
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"Orvessa ～ cat.jpg"});
  // An ordinary file's mode, not the temporary file's private one.
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST(SaveFileReplacing, ReplacesALinkInsteadOfWritingThroughIt) {
  ScratchFolder folder;
  WriteFile(folder / "elsewhere.jpg", kOld);
  ASSERT_EQ(symlink((folder / "elsewhere.jpg").c_str(), (folder / "out.jpg").c_str()), 0);
  SaveFileReplacing(folder / "out.jpg", kNew);
  struct stat info {};
  ASSERT_EQ(lstat((folder / "out.jpg").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(ReadFile(folder / "out.jpg"), kNew);
  EXPECT_EQ(ReadFile(folder / "elsewhere.jpg"), kOld);
}

struct FaultCase {
  std::string name;
  // Prepares the folder; returns the target path.
  std::function<std::string(const ScratchFolder&)> prepare;
  // Runs around the save (e.g. with a file-size limit).
  std::function<void(const std::function<void()>&)> around;
};

void Plain(const std::function<void()>& save) { save(); }

void WithFileSizeLimit(const std::function<void()>& save) {
  // Disk full, as far as this process can see: writes past 1000 bytes fail.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = old;
  limited.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &limited);
  try {
    save();
  } catch (...) {
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    throw;
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
}

class SaveFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SaveFaultTest, FailsWithTheCreateErrorAndKeepsWhatWasThere) {
  ScratchFolder folder;
  WriteFile(folder / "earlier.jpg", kOld);
  const std::string target = GetParam().prepare(folder);
  const std::vector<std::string> before = Entries(folder.Path());
  try {
    GetParam().around([&] { SaveFileReplacing(target, kNew); });
    FAIL() << "saved";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "ファイル " + target + " を作成できません");
  }
  EXPECT_EQ(Entries(folder.Path()), before);
  EXPECT_EQ(ReadFile(folder / "earlier.jpg"), kOld);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SaveFaultTest,
    ::testing::Values(FaultCase{"MissingFolder", [](const ScratchFolder& f) { return f / "gone/out.jpg"; }, Plain},
                      FaultCase{"FolderStandsAtTheName",
                                [](const ScratchFolder& f) {
                                  mkdir((f / "out.jpg").c_str(), 0755);
                                  return f / "out.jpg";
                                },
                                Plain},
                      FaultCase{"NameTooLong",
                                [](const ScratchFolder& f) { return f / (std::string(300, 'a') + ".jpg"); }, Plain},
                      FaultCase{"DiskFullDuringTheWrite", [](const ScratchFolder& f) { return f / "earlier.jpg"; },
                                WithFileSizeLimit}),
    [](const ::testing::TestParamInfo<FaultCase>& parameter) { return parameter.param.name; });

TEST(SaveFileReplacing, FolderNotWritable) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  ScratchFolder folder;
  WriteFile(folder / "earlier.jpg", kOld);
  chmod(folder.Path().c_str(), 0555);
  EXPECT_THROW(SaveFileReplacing(folder / "earlier.jpg", kNew), EFCreateError);
  EXPECT_EQ(ReadFile(folder / "earlier.jpg"), kOld);
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"earlier.jpg"});
}

TEST(FileExists, OnlyForFiles) {
  ScratchFolder folder;
  WriteFile(folder / "a.jpg", kOld);
  mkdir((folder / "d.jpg").c_str(), 0755);
  EXPECT_TRUE(FileExists(folder / "a.jpg"));
  EXPECT_FALSE(FileExists(folder / "d.jpg"));
  EXPECT_FALSE(FileExists(folder / "none.jpg"));
  EXPECT_FALSE(FileExists(folder / "a.jpg "));
}

TEST(ReadWholeFile, UnreadableFileRaisesTheOpenError) {
  ScratchFolder folder;
  EXPECT_THROW(ReadWholeFile(folder / "none.jpg"), EFOpenError);
  // A folder opens but cannot be read.
  EXPECT_THROW(ReadWholeFile(folder.Path()), EFOpenError);
}

}  // namespace
