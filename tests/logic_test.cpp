// The window's pure rules: paths, names, gray, the slide.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "InfoPage.h"
#include "Monochrome.h"
#include "OutputPath.h"
#include "PathPieces.h"
#include "Slide.h"
#include "SourceIntake.h"

using namespace orvessa;

namespace {

// --- The source path, its extension and its kind

struct IntakeCase {
  std::vector<std::string> arguments;
  std::string_view delimiters;
  std::string sourcePath;
  std::string sourceExt;
  SourceKind kind;
};

class SourceIntakeTest : public ::testing::TestWithParam<IntakeCase> {};

TEST_P(SourceIntakeTest, JoinsClassifiesAndKeepsTheLoadPath) {
  const IntakeCase& c = GetParam();
  const std::string path = BuildSourcePath(c.arguments);
  EXPECT_EQ(path, c.sourcePath);
  EXPECT_EQ(ExtractFileExt(path, c.delimiters), c.sourceExt);
  EXPECT_EQ(ClassifySource(ExtractFileExt(path, c.delimiters)), c.kind);
  EXPECT_EQ(LoadPathOf(path), c.sourcePath.substr(0, c.sourcePath.size() - 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SourceIntakeTest,
    ::testing::Values(
        // A path split at its blank by the desktop is joined back.
        IntakeCase{
            {"C:\\My", "Photos\\cat.JPG"}, kWindowsDelimiters, "C:\\My Photos\\cat.JPG ", ".JPG ", SourceKind::Jpeg},
        IntakeCase{{"/home/u/My", "Photos/cat.JPG"},
                   kLinuxDelimiters,
                   "/home/u/My Photos/cat.JPG ",
                   ".JPG ",
                   SourceKind::Jpeg},
        IntakeCase{{"/p/a.Jpeg"}, kLinuxDelimiters, "/p/a.Jpeg ", ".Jpeg ", SourceKind::Jpeg},
        IntakeCase{{"/p/a.jpeg"}, kLinuxDelimiters, "/p/a.jpeg ", ".jpeg ", SourceKind::Jpeg},
        IntakeCase{{"/p/scan.BMP"}, kLinuxDelimiters, "/p/scan.BMP ", ".BMP ", SourceKind::Bitmap},
        IntakeCase{{"C:\\p\\scan.bmp"}, kWindowsDelimiters, "C:\\p\\scan.bmp ", ".bmp ", SourceKind::Bitmap},
        IntakeCase{{"/p/a.jpe"}, kLinuxDelimiters, "/p/a.jpe ", ".jpe ", SourceKind::Other},
        IntakeCase{{"/p/a.png"}, kLinuxDelimiters, "/p/a.png ", ".png ", SourceKind::Other},
        IntakeCase{{"/p/a.gif"}, kLinuxDelimiters, "/p/a.gif ", ".gif ", SourceKind::Other},
        IntakeCase{{"/p/a.jpgx"}, kLinuxDelimiters, "/p/a.jpgx ", ".jpgx ", SourceKind::Other},
        // No "." in the name: no extension, even with one in a folder.
        IntakeCase{{"/p/noext"}, kLinuxDelimiters, "/p/noext ", "", SourceKind::Other},
        IntakeCase{{"/p.d/noext"}, kLinuxDelimiters, "/p.d/noext ", "", SourceKind::Other},
        IntakeCase{{"C:\\p.d\\noext"}, kWindowsDelimiters, "C:\\p.d\\noext ", "", SourceKind::Other},
        // Two files dropped at once make one path naming neither.
        IntakeCase{{"/p/a.jpg", "/p/b.jpg"}, kLinuxDelimiters, "/p/a.jpg /p/b.jpg ", ".jpg ", SourceKind::Jpeg},
        // On Linux ":" is part of a name; on Windows it ends a drive.
        IntakeCase{{"/p/a:b.jpg"}, kLinuxDelimiters, "/p/a:b.jpg ", ".jpg ", SourceKind::Jpeg},
        IntakeCase{{"C:a.b"}, kWindowsDelimiters, "C:a.b ", ".b ", SourceKind::Other},
        IntakeCase{{"a.b:c"}, kWindowsDelimiters, "a.b:c ", "", SourceKind::Other},
        // UTF-8 names: no byte of a character is taken for a delimiter.
        IntakeCase{{"/写真/表示.jpg"}, kLinuxDelimiters, "/写真/表示.jpg ", ".jpg ", SourceKind::Jpeg},
        IntakeCase{{"C:\\写真\\表示.bmp"}, kWindowsDelimiters, "C:\\写真\\表示.bmp ", ".bmp ", SourceKind::Bitmap}));

TEST(SourceIntake, NoArgumentsGiveAnEmptyPath) {
  EXPECT_EQ(BuildSourcePath({}), "");
  EXPECT_EQ(LoadPathOf(""), "");
}

// --- The output name

struct OutputCase {
  std::string sourcePath;
  std::string_view delimiters;
  std::string outputPath;
};

class OutputPathTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputPathTest, PrefixesAndReplacesTheLastExtension) {
  EXPECT_EQ(OutputPathFor(GetParam().sourcePath, GetParam().delimiters), GetParam().outputPath);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputPathTest,
    ::testing::Values(OutputCase{"C:\\pics\\cat.jpeg ", kWindowsDelimiters, "C:\\pics\\Orvessa ～ cat.jpg"},
                      OutputCase{"C:\\pics\\scan.BMP ", kWindowsDelimiters, "C:\\pics\\Orvessa ～ scan.jpg"},
                      OutputCase{"C:\\pics\\noext ", kWindowsDelimiters, "C:\\pics\\Orvessa ～ noext .jpg"},
                      OutputCase{"C:\\pics\\a.b.c.png ", kWindowsDelimiters, "C:\\pics\\Orvessa ～ a.b.c.jpg"},
                      OutputCase{"/home/u/pics/cat.jpeg ", kLinuxDelimiters, "/home/u/pics/Orvessa ～ cat.jpg"},
                      OutputCase{"/home/u/pics/scan.BMP ", kLinuxDelimiters, "/home/u/pics/Orvessa ～ scan.jpg"},
                      OutputCase{"/home/u/pics/noext ", kLinuxDelimiters, "/home/u/pics/Orvessa ～ noext .jpg"},
                      OutputCase{"/home/u/pics/a.b.c.png ", kLinuxDelimiters, "/home/u/pics/Orvessa ～ a.b.c.jpg"},
                      // A name that is only an extension keeps nothing of it.
                      OutputCase{"/pics/.jpg ", kLinuxDelimiters, "/pics/Orvessa ～ .jpg"},
                      // A "." in a folder does not start an extension.
                      OutputCase{"/my.pics/noext ", kLinuxDelimiters, "/my.pics/Orvessa ～ noext .jpg"},
                      // No folder at all: the output goes where the source is, the
                      // working folder.
                      OutputCase{"cat.jpg ", kLinuxDelimiters, "Orvessa ～ cat.jpg"},
                      OutputCase{"/写真/表示.jpg ", kLinuxDelimiters, "/写真/Orvessa ～ 表示.jpg"}));

TEST(OutputPath, PrefixIsFullwidthTildeBetweenSpaces) {
  EXPECT_EQ(kOutputPrefix, "Orvessa \xEF\xBD\x9E ");
  // The prefix sees to it that a source is never its own output.
  EXPECT_NE(OutputPathFor("/p/Orvessa ～ cat.jpg "), "/p/Orvessa ～ cat.jpg");
}

// --- The program name sent to the information page

struct NameCase {
  std::string programPath;
  std::string_view delimiters;
  std::string name;
};

class ProgramNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProgramNameTest, IsTheFileNameWithoutItsExtension) {
  EXPECT_EQ(ProgramNameOf(GetParam().programPath, GetParam().delimiters), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramNameTest,
                         ::testing::Values(NameCase{"/usr/bin/orvessa", kLinuxDelimiters, "orvessa"},
                                           NameCase{"/usr/bin/orvessa-color", kLinuxDelimiters, "orvessa-color"},
                                           NameCase{"/opt/my tool", kLinuxDelimiters, "my tool"},
                                           NameCase{"/opt/my tool.bin", kLinuxDelimiters, "my tool"},
                                           NameCase{"/opt/v1.2/orvessa", kLinuxDelimiters, "orvessa"},
                                           NameCase{"/opt/a.b.c", kLinuxDelimiters, "a.b"},
                                           NameCase{"C:\\Tools\\my tool.exe", kWindowsDelimiters, "my tool"},
                                           NameCase{"C:orvessa.exe", kWindowsDelimiters, "orvessa"}));

TEST(InfoPage, AddressIsSiteQueryAndNameUnescaped) {
  EXPECT_EQ(InfoPageAddress("https://example.com", "my tool"), "https://example.com/info.php?pf=w&sn=my tool");
}

// --- Gray

TEST(Monochrome, WeightsGreenRedBlueAndTruncates) {
  // Pixels as stored: blue, green, red.
  std::vector<std::uint8_t> row = {0, 0, 255, /**/ 0, 255, 0, /**/ 255, 0, 0, /**/ 255, 255, 255, /**/ 1, 1, 1};
  ToMonochrome(row.data(), 5, 1, static_cast<std::ptrdiff_t>(row.size()));
  const std::vector<std::uint8_t> expected = {76, 76, 76, 150, 150, 150, 28, 28, 28, 255, 255, 255, 1, 1, 1};
  EXPECT_EQ(row, expected);
}

TEST(Monochrome, LeavesRowPaddingAlone) {
  // Two rows of one pixel, each padded to four bytes.
  std::vector<std::uint8_t> rows = {10, 20, 30, 0xAA, 40, 50, 60, 0xBB};
  ToMonochrome(rows.data(), 1, 2, 4);
  EXPECT_EQ(rows, (std::vector<std::uint8_t>{21, 21, 21, 0xAA, 51, 51, 51, 0xBB}));
}

// --- The arrival edge and the slide

TEST(ArrivalEdge, BandsFollowTheMinuteHand) {
  const std::vector<std::pair<int, ArrivalEdge>> cases = {
      {0, FromTop},     {7, FromTop},   {8, FromRight}, {22, FromRight}, {23, FromBottom},
      {37, FromBottom}, {38, FromLeft}, {52, FromLeft}, {53, FromTop},   {59, FromTop}};
  for (const auto& [minute, edge] : cases) EXPECT_EQ(ChooseArrivalEdge(minute), edge) << "minute " << minute;
}

struct SlideCase {
  ArrivalEdge edge;
  Position parked;
  int arrivalTick;
  Position arrived;
};

class SlideTest : public ::testing::TestWithParam<SlideCase> {};

// Screen 1024 x 768, window 606 x 622 outside measure.
TEST_P(SlideTest, ParksStepsAndArrivesOneTickAfterTheLastStep) {
  const SlideCase& c = GetParam();
  const Extent screen{1024, 768};
  const Extent outer{606, 622};
  Position position = ParkingPosition(c.edge, screen, outer);
  EXPECT_EQ(position, c.parked);
  int tick = 0;
  for (;;) {
    ++tick;
    ASSERT_LT(tick, 1000);
    const SlideTick result = SlideStep(c.edge, screen, outer, position);
    if (result.arrived) {
      EXPECT_EQ(result.position, position);
      break;
    }
    // Only the one coordinate moves.
    const bool horizontal = c.edge == FromLeft || c.edge == FromRight;
    EXPECT_EQ(horizontal ? result.position.top : result.position.left, horizontal ? position.top : position.left);
    position = result.position;
  }
  EXPECT_EQ(tick, c.arrivalTick);
  EXPECT_EQ(position, c.arrived);
}

INSTANTIATE_TEST_SUITE_P(WorkedExample, SlideTest,
                         ::testing::Values(SlideCase{FromLeft, {-626, 73}, 28, {238, 73}},
                                           SlideCase{FromTop, {209, -642}, 24, {209, 94}},
                                           // Right and bottom park beyond the screen's own edge.
                                           SlideCase{FromRight, {1644, 73}, 46, {204, 73}},
                                           SlideCase{FromBottom, {209, 1388}, 43, {209, 44}}));

TEST(Slide, FirstParkingUsesTheDesignSize) {
  const Extent screen{1024, 768};
  const Extent design{kDesignSize, kDesignSize};
  EXPECT_EQ(ParkingPosition(FromLeft, screen, design), (Position{-620, 84}));
  EXPECT_EQ(ParkingPosition(FromRight, screen, design), (Position{1644, 84}));
  EXPECT_EQ(ParkingPosition(FromTop, screen, design), (Position{212, -620}));
  EXPECT_EQ(ParkingPosition(FromBottom, screen, design), (Position{212, 1388}));
}

TEST(Slide, WideScreensStillStartOutside) {
  // Wider than the window plus its gap: the window still starts beyond the
  // right edge and moves before it arrives.
  const Extent screen{3840, 2160};
  const Extent outer{606, 622};
  for (const ArrivalEdge edge : {FromLeft, FromRight, FromTop, FromBottom}) {
    const Position parked = ParkingPosition(edge, screen, outer);
    const bool outside = parked.left + outer.width <= 0 || parked.left >= screen.width ||
                         parked.top + outer.height <= 0 || parked.top >= screen.height;
    EXPECT_TRUE(outside) << edge;
    EXPECT_FALSE(SlideStep(edge, screen, outer, parked).arrived) << edge;
  }
}

TEST(Slide, HalvingTruncatesTowardZero) {
  // A window larger than the screen: the centre is negative and odd.
  const Extent screen{600, 600};
  const Extent outer{607, 607};
  // cx = (600 - 607) / 2 = -3, not -4.
  EXPECT_TRUE(SlideStep(FromLeft, screen, outer, {-3, 0}).arrived);
  EXPECT_FALSE(SlideStep(FromLeft, screen, outer, {-4, 0}).arrived);
  EXPECT_EQ(ParkingPosition(FromTop, screen, outer).left, -3);
}

}  // namespace
