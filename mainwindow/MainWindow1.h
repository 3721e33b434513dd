// The mount window: lays the photo into the artwork, slides in from a
// screen edge, saves what it shows and ends the program.
#pragma once

#include <string>
#include <string_view>

#include "Forms.h"
#include "Slide.h"

class TMainForm1 : public TForm {
 public:
  explicit TMainForm1(TComponent* Owner);
  std::string_view ClassName() const override { return "TMainForm1"; }

  // Elements, bound by name from the window definition.
  TImage* Image3 = nullptr;    // landscape frame
  TImage* Image4 = nullptr;    // portrait frame
  TImage* Image2 = nullptr;    // the photo
  TPanel* Panel1 = nullptr;    // hidden holder of the capture surface
  TImage* Image1 = nullptr;    // capture surface, never seen
  TButton* Button1 = nullptr;  // hidden Save command
  TTimer* Timer1 = nullptr;    // slide-in clock

  // Every argument followed by one space.
  std::string SourcePath;
  // Extension of SourcePath with its trailing space; empty without one.
  std::string SourceExt;
  orvessa::ArrivalEdge ArrivalEdge = orvessa::FromLeft;

  void FormCreate(TObject* Sender);
  void Timer1Timer(TObject* Sender);
  void Button1Click(TObject* Sender);

 protected:
  void Publish(Published& published) override;

 private:
  void ShowInformationPrompt();
  void ApplyArrangement();
  orvessa::Extent ScreenSize() const;
  orvessa::Extent OuterSize() const;
};

extern TMainForm1* MainForm1;

// Sizes the photo element takes in its two arrangements.
TDrawSizes PhotoDrawSizes();
