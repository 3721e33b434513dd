// The program's own entry point, built with a stand-in window: whatever
// ends a start, the process exits with 0, and a failure that escapes is
// shown in the exception box.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct ProbeRun {
  std::string output;
  int exitCode = -1;
};

ProbeRun RunProbe(const std::string& mode) {
  const std::string command =
      std::string("QT_QPA_PLATFORM=offscreen timeout 20 ") + ORVESSA_SHELL_PROBE + " " + mode + " 2>/dev/null";
  ProbeRun run;
  FILE* pipe = popen(command.c_str(), "r");
  std::array<char, 4096> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), got);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

struct ShellCase {
  std::string mode;
  std::string output;  // boxes shown: caption|icon|text (icon 1 is the error icon)
};

class ShellTest : public ::testing::TestWithParam<ShellCase> {};

TEST_P(ShellTest, EndsWithZero) {
  const ProbeRun run = RunProbe(GetParam().mode);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellTest,
                         ::testing::Values(
                             // Not an Exception: shown with an empty text.
                             ShellCase{"throw-int", "box|Orvessa|1|\n"},
                             ShellCase{"throw-exception", "box|Orvessa|1|broken.\n"},
                             // The user's close box ends the loop and the program.
                             ShellCase{"user-closes", ""},
                             // A failure inside a handler stops at the handler; the program goes on.
                             ShellCase{"handler-throws", "box|Orvessa|1|\n"}, ShellCase{"terminate-in-create", ""},
                             // Shown by the loop, then ended by its first tick.
                             ShellCase{"close-while-created", "tick visible=1\n"}),
                         [](const ::testing::TestParamInfo<ShellCase>& parameter) {
                           std::string name = parameter.param.mode;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

}  // namespace
