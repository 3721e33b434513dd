// The mount window on Qt's offscreen platform: its definition, the photo
// laid in, the slide, the save, and the runs that end without a photo.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "Exceptions.h"
#include "FileIO.h"
#include "JpegImage.h"
#include "MainWindow1.h"
#include "OffscreenApplication.h"
#include "SystemServices.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

void SetArguments(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {"/usr/bin/orvessa"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  SetCommandLine(static_cast<int>(all.size()), argv.data());
}

// Creates the window as the application does: definition, constructor
// body, then OnCreate.
class MainWindowTest : public ::testing::Test {
 protected:
  void Create(const std::vector<std::string>& arguments) {
    SetArguments(arguments);
    TakeShownBoxes();
    fForm = std::make_unique<TMainForm1>(nullptr);
    MainForm1 = fForm.get();
    fForm->DoCreate();
    // As the message loop does when it starts.
    fForm->Show();
  }
  void TearDown() override {
    fForm.reset();
    MainForm1 = nullptr;
    PressInBoxes(0);
  }
  // Ticks until the timer is switched off (the arrival); returns the count.
  int TickUntilArrival() {
    int ticks = 0;
    while (fForm->Timer1->Enabled() && fForm->Visible() && ticks < 1000) {
      ++ticks;
      // As the clock delivers it: a failure stops at the handler's boundary.
      fForm->Timer1->Tick();
    }
    return ticks;
  }
  std::unique_ptr<TMainForm1> fForm;
};

struct ElementCase {
  std::string name;
  std::string className;
  TRect bounds;
  bool visible;
};

TEST_F(MainWindowTest, DefinitionGivesTheWindowAndItsElements) {
  PressInBoxes(1);  // "No" on the question
  Create({});
  EXPECT_EQ(fForm->Name, "MainForm1");
  EXPECT_EQ(fForm->Caption(), "Orvessa！");
  EXPECT_EQ(fForm->BorderStyle(), bsToolWindow);
  EXPECT_EQ(fForm->FormStyle(), fsStayOnTop);
  EXPECT_EQ(fForm->ClientWidth(), 600);
  EXPECT_EQ(fForm->ClientHeight(), 600);
  EXPECT_EQ(fForm->Color(), clBlack);

  const std::vector<ElementCase> elements = {{"Image3", "TImage", {0, 0, 600, 600}, false},
                                             {"Image4", "TImage", {0, 0, 600, 600}, false},
                                             {"Image2", "TImage", {112, 24, 488, 584}, true},
                                             {"Panel1", "TPanel", {552, 524, 1152, 1124}, false},
                                             {"Button1", "TButton", {264, 290, 338, 310}, false}};
  ASSERT_EQ(fForm->Controls().size(), elements.size());
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const TControl* control = fForm->Controls()[i];  // creation order
    SCOPED_TRACE(elements[i].name);
    EXPECT_EQ(control->Name, elements[i].name);
    EXPECT_EQ(control->ClassName(), elements[i].className);
    EXPECT_EQ(control->Left(), elements[i].bounds.Left);
    EXPECT_EQ(control->Top(), elements[i].bounds.Top);
    EXPECT_EQ(control->Width(), elements[i].bounds.Width());
    EXPECT_EQ(control->Height(), elements[i].bounds.Height());
    EXPECT_EQ(control->Visible(), elements[i].visible);
  }
  EXPECT_EQ(fForm->Image3->Align(), alClient);
  EXPECT_EQ(fForm->Image4->Align(), alClient);
  EXPECT_EQ(fForm->Image3->Picture()->Width(), 600);
  EXPECT_EQ(fForm->Image4->Picture()->Height(), 600);
  EXPECT_TRUE(fForm->Image2->Stretch());
  EXPECT_EQ(fForm->Panel1->Color, clWhite);
  EXPECT_EQ(fForm->Panel1->TabOrder, 0);
  ASSERT_EQ(fForm->Panel1->Controls().size(), 1U);
  EXPECT_EQ(fForm->Panel1->Controls()[0], fForm->Image1);
  EXPECT_EQ(fForm->Image1->Left(), 12);
  EXPECT_EQ(fForm->Image1->Top(), 0);
  EXPECT_TRUE(fForm->Image1->AutoSize());
  EXPECT_TRUE(fForm->Image1->Stretch());
  EXPECT_EQ(fForm->Button1->Caption, "保存");
  EXPECT_EQ(fForm->Button1->TabOrder, 1);
  EXPECT_EQ(fForm->Timer1->Interval(), 20);
  EXPECT_TRUE(fForm->Timer1->Enabled());
  EXPECT_EQ(fForm->Timer1->Tag, 0);
  EXPECT_TRUE(fForm->SourcePath.empty());
}

TEST_F(MainWindowTest, ParksOffScreenOnTheChosenEdge) {
  PressInBoxes(1);
  Create({});
  const int left = fForm->Left();
  const int top = fForm->Top();
  switch (fForm->ArrivalEdge) {
    case orvessa::FromLeft:
      EXPECT_EQ(left, -620);
      EXPECT_EQ(top, 84);
      break;
    case orvessa::FromRight:
      EXPECT_EQ(left, 1644);
      EXPECT_EQ(top, 84);
      break;
    case orvessa::FromTop:
      EXPECT_EQ(left, 212);
      EXPECT_EQ(top, -620);
      break;
    case orvessa::FromBottom:
      EXPECT_EQ(left, 212);
      EXPECT_EQ(top, 1388);
      break;
  }
}

TEST_F(MainWindowTest, WithoutArgumentsBeepsExplainsAndAsks) {
  PressInBoxes(1);  // No
  Create({});
  const std::vector<TShownBox> boxes = TakeShownBoxes();
  ASSERT_EQ(boxes.size(), 2U);
  EXPECT_EQ(boxes[0].caption, "Orvessa");
  EXPECT_EQ(boxes[0].text, "アイコン（実行ファイル）上に画像ファイルをドロップしてください。");
  EXPECT_EQ(boxes[0].icon, BoxIcon::None);
  EXPECT_EQ(boxes[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(boxes[1].caption, "確認");
  EXPECT_EQ(boxes[1].text, "インフォメーションを参照しますか？");
  EXPECT_EQ(boxes[1].icon, BoxIcon::Question);
  EXPECT_EQ(boxes[1].buttons, (std::vector<std::string>{"はい(&Y)", "いいえ(&N)"}));
  EXPECT_EQ(boxes[1].defaultButton, 0);
  // A tick ends the run: the window is closed, nothing arranged or moved.
  const int left = fForm->Left();
  fForm->Timer1Timer(fForm->Timer1);
  EXPECT_FALSE(fForm->Visible());
  EXPECT_EQ(fForm->Left(), left);
  EXPECT_EQ(fForm->Timer1->Tag, 0);
}

struct NoPhotoCase {
  std::string name;
  std::vector<std::string> arguments;  // "$" stands for the scratch folder
  std::string message;                 // "%s" stands for the load path
};

class NoPhotoTest : public MainWindowTest, public ::testing::WithParamInterface<NoPhotoCase> {};

// Without a photo the run says why, saves nothing and ends on the first tick.
TEST_P(NoPhotoTest, SaysWhyAndEndsWithoutSaving) {
  ScratchFolder folder;
  WriteFile(folder / "notes.txt", {'h', 'i'});
  WriteFile(folder / "broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 2});
  WriteFile(folder / "empty.bmp", {});
  mkdir((folder / "album.jpg").c_str(), 0755);
  std::vector<std::string> arguments;
  for (std::string argument : GetParam().arguments) {
    if (argument[0] == '$') argument = folder.Path() + argument.substr(1);
    arguments.push_back(argument);
  }
  std::string loadPath;
  for (const std::string& argument : arguments) loadPath += (loadPath.empty() ? "" : " ") + argument;

  Create(arguments);
  const std::vector<TShownBox> boxes = TakeShownBoxes();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(boxes[0].caption, "Orvessa");
  EXPECT_EQ(boxes[0].icon, BoxIcon::Error);
  const std::string expected = FormatText(GetParam().message, {loadPath});
  EXPECT_EQ(boxes[0].text.substr(0, expected.size()), expected);
  EXPECT_EQ(boxes[0].text.back(), '.');
  EXPECT_EQ(fForm->Image2->Picture()->Graphic(), nullptr);

  fForm->Timer1Timer(fForm->Timer1);
  EXPECT_FALSE(fForm->Visible());
  EXPECT_EQ(fForm->Timer1->Tag, 0);
  const std::vector<std::uint8_t> none;
  struct stat info {};
  for (const char* name : {"Orvessa ～ notes.jpg", "Orvessa ～ broken.jpg", "Orvessa ～ empty.jpg",
                           "Orvessa ～ album.jpg", "Orvessa ～ missing.jpg"}) {
    EXPECT_NE(stat((folder / std::string(name)).c_str(), &info), 0) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoPhotoTest,
    ::testing::Values(NoPhotoCase{"Missing", {"$/missing.jpg"}, "ファイル %s が見つかりません"},
                      NoPhotoCase{"Folder", {"$/album.jpg"}, "ファイル %s が見つかりません"},
                      NoPhotoCase{"TwoFiles", {"$/broken.jpg", "$/notes.txt"}, "ファイル %s が見つかりません"},
                      NoPhotoCase{"OtherKind", {"$/notes.txt"}, "ファイル %s は BMP または JPEG 画像ではありません"},
                      NoPhotoCase{"DamagedJpeg", {"$/broken.jpg"}, "JPEG エラー #"},
                      NoPhotoCase{"EmptyBitmap", {"$/empty.bmp"}, "ビットマップイメージが不正です"}),
    [](const ::testing::TestParamInfo<NoPhotoCase>& parameter) { return parameter.param.name; });

// The photo and its arrangement.

TBitmap DecodeFile(const std::string& path) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(path);
  TBitmap bitmap;
  bitmap.Assign(&jpeg);
  return bitmap;
}

TEST_F(MainWindowTest, LaysTheLandscapePhotoInAndSavesWhatIsShown) {
  ScratchFolder folder;
  const std::string source = folder / "branches.jpg";
  WriteFile(source, ReadFile(TestData("photos/imaging_branches.jpg")));
  WriteFile(folder / "Orvessa ～ branches.jpg", {'o', 'l', 'd'});
  Create({source});
  EXPECT_EQ(fForm->SourcePath, source + " ");
  EXPECT_EQ(fForm->SourceExt, ".jpg ");
  EXPECT_TRUE(TakeShownBoxes().empty());
  EXPECT_EQ(fForm->Image2->Picture()->Width(), 600);
  EXPECT_EQ(fForm->Image2->Picture()->Height(), 400);

  const int ticks = TickUntilArrival();
  EXPECT_GT(ticks, 1);
  EXPECT_TRUE(fForm->Image3->Visible());
  EXPECT_FALSE(fForm->Image4->Visible());
  EXPECT_EQ(fForm->Image2->Left(), 24);
  EXPECT_EQ(fForm->Image2->Top(), 110);
  EXPECT_EQ(fForm->Image2->Width(), 560);
  EXPECT_EQ(fForm->Image2->Height(), 376);
  EXPECT_EQ(fForm->Timer1->Tag, 1);
  EXPECT_FALSE(fForm->Visible());  // closed after the save

  // The report of the save.
  const std::vector<TShownBox> boxes = TakeShownBoxes();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(boxes[0].text, "600 x 600 のOrvessa形式で保存しました。");
  EXPECT_EQ(boxes[0].caption, "Orvessa");
  EXPECT_EQ(boxes[0].icon, BoxIcon::None);

  // What was saved is the composition the window shows, encoded at 80.
  const TBitmap& shown = fForm->ClientImage();
  const auto* captured = dynamic_cast<const TBitmap*>(fForm->Image1->Picture()->Graphic());
  ASSERT_NE(captured, nullptr);
  EXPECT_EQ(FirstDifference(*captured, shown), -1);
  TJPEGImage expected;
  expected.Assign(&shown);
  expected.CompressionQuality = 80;
  EXPECT_EQ(ReadFile(folder / "Orvessa ～ branches.jpg"), expected.Compress());

  // The composition: the frame 1:1, the photo stretched into its rectangle.
  TBitmap photo = DecodeFile(source);
  TBitmap composed;
  composed.Assign(fForm->Image3->Picture()->Graphic());
  TBitmap stretched;
  stretched.SetSize(560, 376);
  StretchNearest(photo, stretched, Rect(0, 0, 560, 376));
  for (int y = 0; y < 376; ++y) {
    std::uint8_t* row = composed.ScanLine(110 + y) + 24 * 3;
    const std::uint8_t* from = stretched.ScanLine(y);
    for (int x = 0; x < 560 * 3; x += 3) {
#if MonochromeEdition
      const auto gray = static_cast<std::uint8_t>((59 * from[x + 1] + 30 * from[x + 2] + 11 * from[x]) / 100);
      row[x] = row[x + 1] = row[x + 2] = gray;
#else
      row[x] = from[x];
      row[x + 1] = from[x + 1];
      row[x + 2] = from[x + 2];
#endif
    }
  }
  EXPECT_EQ(FirstDifference(composed, shown), -1);
}

struct ArrangementCase {
  int width;
  int height;
  bool landscape;
};

class ArrangementTest : public MainWindowTest, public ::testing::WithParamInterface<ArrangementCase> {};

TEST_P(ArrangementTest, WiderThanTallIsLandscape) {
  ScratchFolder folder;
  TBitmap picture;
  picture.SetSize(GetParam().width, GetParam().height);
  TJPEGImage jpeg;
  jpeg.Assign(&picture);
  jpeg.SaveToFile(folder / "p.jpg");
  Create({folder / "p.jpg"});
  fForm->Timer1->SetEnabled(false);
  fForm->Timer1Timer(fForm->Timer1);
  EXPECT_EQ(fForm->Image3->Visible(), GetParam().landscape);
  EXPECT_EQ(fForm->Image4->Visible(), !GetParam().landscape);
  EXPECT_EQ(fForm->Image2->Width(), GetParam().landscape ? 560 : 376);
  EXPECT_EQ(fForm->Image2->Height(), GetParam().landscape ? 376 : 560);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ArrangementTest,
                         ::testing::Values(ArrangementCase{1000, 1000, false}, ArrangementCase{1001, 1000, true},
                                           ArrangementCase{1000, 1001, false}, ArrangementCase{1, 1, false},
                                           ArrangementCase{2, 1, true}));

TEST_F(MainWindowTest, TheScreenSizeIsTheOffscreenOne) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

struct SaveFaultCase {
  std::string name;
  // Done after the photo was read and before the window arrives.
  std::function<void(const std::string& folder)> spoil;
};

class FailedSaveTest : public MainWindowTest, public ::testing::WithParamInterface<SaveFaultCase> {};

TEST_P(FailedSaveTest, SaysSoAndLeavesTheWindowInTheMiddle) {
  ScratchFolder scratch;
  const std::string folder = scratch / "photos";
  mkdir(folder.c_str(), 0755);
  const std::string source = folder + "/branches.jpg";
  const std::string output = folder + "/Orvessa ～ branches.jpg";
  WriteFile(source, ReadFile(TestData("photos/imaging_branches.jpg")));
  Create({source});
  GetParam().spoil(folder);
  TickUntilArrival();
  const std::vector<TShownBox> boxes = TakeShownBoxes();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(boxes[0].text, "ファイル " + output + " を作成できません.");
  // Timer off, not closed: the window stays until the user closes it.
  EXPECT_FALSE(fForm->Timer1->Enabled());
  EXPECT_EQ(fForm->Timer1->Tag, 1);
  EXPECT_TRUE(fForm->Visible());
  // Nothing was left behind.
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    EXPECT_EQ(std::system(("test $(ls -A " + ShellQuote(folder) + " | grep -c orvessa-save) = 0").c_str()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedSaveTest,
    ::testing::Values(SaveFaultCase{"FolderAtTheOutputName",
                                    [](const std::string& folder) {
                                      mkdir((folder + "/Orvessa ～ branches.jpg").c_str(), 0755);
                                    }},
                      SaveFaultCase{"PhotoFolderRemoved",
                                    [](const std::string& folder) {
                                      ASSERT_EQ(std::system(("rm -rf " + ShellQuote(folder)).c_str()), 0);
                                    }}),
    [](const ::testing::TestParamInfo<SaveFaultCase>& parameter) { return parameter.param.name; });

}  // namespace
