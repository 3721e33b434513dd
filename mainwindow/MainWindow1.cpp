#include "MainWindow1.h"

#include <ctime>
#include <memory>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "Edition.h"
#include "Exceptions.h"
#include "FileIO.h"
#include "InfoPage.h"
#include "JpegImage.h"
#include "Monochrome.h"
#include "OutputPath.h"
#include "SourceIntake.h"
#include "SystemServices.h"

#ifndef ORVESSA_INFO_SITE
#error "ORVESSA_INFO_SITE names the product site"
#endif

using orvessa::Extent;
using orvessa::Position;

TMainForm1* MainForm1 = nullptr;

namespace {

constexpr std::string_view kInstructionText = "アイコン（実行ファイル）上に画像ファイルをドロップしてください。";
constexpr std::string_view kQuestionText = "インフォメーションを参照しますか？";
constexpr std::string_view kSavedText = " のOrvessa形式で保存しました。";
constexpr std::string_view kFileNotFoundText = "ファイル %s が見つかりません";
constexpr std::string_view kNotAPictureText = "ファイル %s は BMP または JPEG 画像ではありません";

// Where the photo lies in each arrangement.
constexpr TRect kLandscapePhoto = {24, 110, 24 + 560, 110 + 376};
constexpr TRect kPortraitPhoto = {112, 24, 112 + 376, 24 + 560};

// The current minute of the hour in local time.
int CurrentMinute() {
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char digits[8] = {};
  std::strftime(digits, sizeof digits, "%M", &local);
  // Decimal, so that "08" and "09" are 8 and 9.
  return static_cast<int>(std::strtol(digits, nullptr, 10));
}

}  // namespace

TDrawSizes PhotoDrawSizes() {
  return {{kLandscapePhoto.Width(), kLandscapePhoto.Height()}, {kPortraitPhoto.Width(), kPortraitPhoto.Height()}};
}

TMainForm1::TMainForm1(TComponent* Owner) : TForm(Owner) {
  ReadDefinition("MainWindow1.dfm");

  SourcePath.clear();
  SourceExt.clear();
  ArrivalEdge = orvessa::ChooseArrivalEdge(CurrentMinute());
  // Wait outside the screen; the window's real size is known only later.
  const Position parked =
      orvessa::ParkingPosition(ArrivalEdge, ScreenSize(), {orvessa::kDesignSize, orvessa::kDesignSize});
  SetTop(parked.top);
  SetLeft(parked.left);
}

void TMainForm1::Publish(Published& published) {
  published.Field("Image1", Image1);
  published.Field("Image2", Image2);
  published.Field("Image3", Image3);
  published.Field("Image4", Image4);
  published.Field("Panel1", Panel1);
  published.Field("Button1", Button1);
  published.Field("Timer1", Timer1);
  published.Handler("FormCreate", [this](TObject* sender) { FormCreate(sender); });
  published.Handler("Timer1Timer", [this](TObject* sender) { Timer1Timer(sender); });
  published.Handler("Button1Click", [this](TObject* sender) { Button1Click(sender); });
}

void TMainForm1::FormCreate(TObject* /*Sender*/) {
  if (ParamCount() == 0) {
    ShowInformationPrompt();
    return;
  }

  std::vector<std::string> arguments;
  for (int i = 1; i <= ParamCount(); ++i) arguments.push_back(ParamStr(i));
  SourcePath = orvessa::BuildSourcePath(arguments);
  const std::string loadPath = orvessa::LoadPathOf(SourcePath);
  // Without a photo there is nothing to mount: say why, and the first tick
  // ends the run instead of saving an empty frame over a good mount.
  if (!FileExists(loadPath)) throw Exception(FormatText(kFileNotFoundText, {loadPath}));

  const auto jpeg = std::make_unique<TJPEGImage>();
  const auto bitmap = std::make_unique<TBitmap>();
  SourceExt = orvessa::ExtractFileExt(SourcePath);
  switch (orvessa::ClassifySource(SourceExt)) {
    case orvessa::SourceKind::Other:
      throw Exception(FormatText(kNotAPictureText, {loadPath}));
    case orvessa::SourceKind::Bitmap:
      Image2->Picture()->DrawSizes = PhotoDrawSizes();
      Image2->Picture()->LoadFromFile(loadPath);
      break;
    case orvessa::SourceKind::Jpeg:
      jpeg->LoadFromFile(loadPath);
      jpeg->DrawSizes = PhotoDrawSizes();
      bitmap->Assign(jpeg.get());
      Image2->Picture()->Assign(bitmap.get());
      break;
  }

  bitmap->Assign(Image2->Picture()->Graphic());
  bitmap->SetPixelFormat(pf24bit);
#if MonochromeEdition
  const TPixelRows pixels = bitmap->Pixels();
  orvessa::ToMonochrome(pixels.data, pixels.width, pixels.height, pixels.stride);
#endif
  Image2->Picture()->Assign(bitmap.get());
}

void TMainForm1::ShowInformationPrompt() {
  MessageBeep(0);
  ShowMessage(std::string(kInstructionText));
  if (MessageDlg(std::string(kQuestionText), mtConfirmation, mbYes | mbNo, 0) == mrYes) {
    const std::string address = orvessa::InfoPageAddress(ORVESSA_INFO_SITE, orvessa::ProgramNameOf(ParamStr(0)));
    ShellExecuteA(Handle(), "OPEN", address.c_str(), "", "", SW_SHOW);
  }
}

void TMainForm1::Timer1Timer(TObject* Sender) {
  // Nothing to mount (no file given, or it could not be read): end.
  if (ParamCount() == 0 || Image2->Picture()->Graphic() == nullptr) {
    MainForm1->Close();
    return;
  }

  if (Timer1->Tag == 0) {
    ApplyArrangement();
    const Position parked = orvessa::ParkingPosition(ArrivalEdge, ScreenSize(), OuterSize());
    MainForm1->SetTop(parked.top);
    MainForm1->SetLeft(parked.left);
    Timer1->Tag = 1;
  }

  const orvessa::SlideTick tick =
      orvessa::SlideStep(ArrivalEdge, ScreenSize(), OuterSize(), {MainForm1->Left(), MainForm1->Top()});
  if (!tick.arrived) {
    if (tick.position.left != MainForm1->Left()) MainForm1->SetLeft(tick.position.left);
    if (tick.position.top != MainForm1->Top()) MainForm1->SetTop(tick.position.top);
    return;
  }

  Timer1->SetEnabled(false);
  Button1Click(Sender);
  MainForm1->Close();
}

void TMainForm1::ApplyArrangement() {
  const TPicture* photo = Image2->Picture();
  const bool landscape = photo->Width() > photo->Height();
  const TRect& place = landscape ? kLandscapePhoto : kPortraitPhoto;
  (landscape ? Image3 : Image4)->SetVisible(true);
  Image2->SetBounds(place.Left, place.Top, place.Width(), place.Height());
}

void TMainForm1::Button1Click(TObject* /*Sender*/) {
  auto jpeg = std::make_unique<TJPEGImage>();
  auto bitmap = std::make_unique<TBitmap>();

  const int width = MainForm1->ClientWidth();
  const int height = MainForm1->ClientHeight();
  Image1->Picture()->Assign(nullptr);
  Image1->SetAutoSize(false);
  Image1->SetWidth(width);
  Image1->SetHeight(height);
  Image1->Canvas()->CopyRect(Rect(0, 0, width, height), *MainForm1->Canvas(), Rect(0, 0, width, height));

  bitmap->Assign(Image1->Picture()->Graphic());
  jpeg->Assign(bitmap.get());
  jpeg->CompressionQuality = 80;
  jpeg->SaveToFile(orvessa::OutputPathFor(SourcePath));
  jpeg.reset();
  bitmap.reset();

  MessageBeep(0);
  ShowMessage(std::to_string(width) + " x " + std::to_string(height) + std::string(kSavedText));
}

Extent TMainForm1::ScreenSize() const { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Extent TMainForm1::OuterSize() const { return {MainForm1->Width(), MainForm1->Height()}; }
