// Forms and the elements on them.
//
// A form is one top-level window. Its elements do not get windows of their
// own: the form composes its client area from them (later elements over
// earlier ones) into one picture, shows that picture, and hands the same
// picture out through its canvas. What is read back is therefore always
// exactly what is displayed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FormReader.h"
#include "Graphics.h"

using TColor = std::uint32_t;  // 0x00BBGGRR
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBtnFace = 0xF0F0F0;

enum TAlign { alNone, alClient };
enum TFormBorderStyle { bsSizeable, bsToolWindow };
enum TFormStyle { fsNormal, fsStayOnTop };

class TForm;
class TControl;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return fOwner; }
  std::string Name;
  int Tag = 0;

  // Class name as window definitions spell it.
  virtual std::string_view ClassName() const = 0;
  // Sets one property from a window definition; false when there is no such
  // property. Event properties are bound by the form.
  virtual bool SetProperty(const std::string& name, const TPropertyValue& value);
  // The event a definition may bind under `name` (OnClick, ...), or null.
  virtual TNotifyEvent* EventProperty(const std::string& name);
  // After every property of the definition has been set.
  virtual void Loaded() {}

 protected:
  // Destroys the owned components now rather than with this object.
  void DestroyComponents();

 private:
  TComponent* fOwner;
  std::vector<TComponent*> fComponents;  // owned, in creation order
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  int Left() const { return fBounds.Left; }
  int Top() const { return fBounds.Top; }
  int Width() const { return fBounds.Width(); }
  int Height() const { return fBounds.Height(); }
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  virtual void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return fVisible; }
  void SetVisible(bool visible);
  TAlign Align() const { return fAlign; }
  void SetAlign(TAlign align);

  // The element this one lies on (a form or a panel); null for a form.
  TControl* Parent() const { return fParent; }
  void SetParent(TControl* parent);
  const std::vector<TControl*>& Controls() const { return fControls; }

  bool SetProperty(const std::string& name, const TPropertyValue& value) override;

  // Draws this element (and what lies on it) into `target`, whose pixel
  // (0, 0) is the parent's client pixel (originX, originY), within `clip`.
  virtual void PaintTo(TBitmap& target, int originX, int originY, const TRect& clip) const;

 protected:
  // Something shown changed: the form composes its picture anew.
  void Invalidate() const;
  // Client size available to elements aligned to fill it.
  virtual TSize ClientSizeForAlign() const { return {Width(), Height()}; }
  void PaintChildren(TBitmap& target, int originX, int originY, const TRect& clip) const;
  void RealignChildren();

 private:
  TRect fBounds;
  bool fVisible = true;
  TAlign fAlign = alNone;
  TControl* fParent = nullptr;
  std::vector<TControl*> fControls;
};

class TCanvas;

class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  std::string_view ClassName() const override { return "TImage"; }

  TPicture* Picture() { return &fPicture; }
  const TPicture* Picture() const { return &fPicture; }
  bool Stretch() const { return fStretch; }
  void SetStretch(bool stretch);
  bool AutoSize() const { return fAutoSize; }
  void SetAutoSize(bool autoSize);

  // Drawing surface over the picture's bitmap; an image without a picture
  // gets a black bitmap of its own size the first time.
  TCanvas* Canvas();

  bool SetProperty(const std::string& name, const TPropertyValue& value) override;
  void PaintTo(TBitmap& target, int originX, int originY, const TRect& clip) const override;

 private:
  class ImageCanvas;
  void PictureChanged();
  TPicture fPicture;
  bool fStretch = false;
  bool fAutoSize = false;
  std::unique_ptr<ImageCanvas> fCanvas;
};

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* owner);
  std::string_view ClassName() const override { return "TPanel"; }
  TColor Color = clBtnFace;
  int TabOrder = 0;
  bool SetProperty(const std::string& name, const TPropertyValue& value) override;
  void PaintTo(TBitmap& target, int originX, int originY, const TRect& clip) const override;
};

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner);
  std::string_view ClassName() const override { return "TButton"; }
  std::string Caption;
  int TabOrder = 0;
  TNotifyEvent OnClick;
  // Runs OnClick as a click would, failures shown by the application.
  void Click();
  bool SetProperty(const std::string& name, const TPropertyValue& value) override;
  TNotifyEvent* EventProperty(const std::string& name) override;
  void PaintTo(TBitmap& target, int originX, int originY, const TRect& clip) const override;
};

// A repeating timer on the UI thread. Its ticks also arrive while a modal
// box is open; a tick that comes while the handler still runs is dropped.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::string_view ClassName() const override { return "TTimer"; }

  int Interval() const { return fInterval; }
  void SetInterval(int milliseconds);
  bool Enabled() const { return fEnabled; }
  void SetEnabled(bool enabled);
  TNotifyEvent OnTimer;

  bool SetProperty(const std::string& name, const TPropertyValue& value) override;
  TNotifyEvent* EventProperty(const std::string& name) override;
  void Loaded() override;
  // One tick, as the clock would deliver it.
  void Tick();

 private:
  class Clock;
  void Update();
  int fInterval = 1000;
  bool fEnabled = true;
  bool fLoading = false;
  bool fInHandler = false;
  std::unique_ptr<Clock> fClock;
};

// Opaque window handle, for services that want an owner window.
using HWND = std::uintptr_t;

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // Outer rectangle on the screen, caption bar and borders included. The
  // position is the one last set: a window manager that keeps the window
  // on the screen does not change what the program reads back.
  void SetBounds(int left, int top, int width, int height) override;

  int ClientWidth() const { return fClientWidth; }
  int ClientHeight() const { return fClientHeight; }
  void SetClientWidth(int width);
  void SetClientHeight(int height);

  std::string Caption() const { return fCaption; }
  void SetCaption(const std::string& caption);
  TColor Color() const { return fColor; }
  void SetColor(TColor color);
  TFormBorderStyle BorderStyle() const { return fBorderStyle; }
  TFormStyle FormStyle() const { return fFormStyle; }

  TNotifyEvent OnCreate;

  void Show();
  void Hide();
  // The main form ends the application; any other form is only hidden.
  void Close();

  // The composed client area, exactly as shown.
  const TBitmap& ClientImage() const;
  TCanvas* Canvas();
  HWND Handle() const;

  bool SetProperty(const std::string& name, const TPropertyValue& value) override;
  TNotifyEvent* EventProperty(const std::string& name) override;

  // Runs OnCreate, failures shown by the application.
  void DoCreate();

  // The window behind the form, for the layer's own dialogs.
  class FormWindow* Window() const {
    return fWindow.get();
  }

 protected:
  // Reads the window definition `resourceName` into this form: its own
  // settings, then each element, created by class and bound to the field of
  // the same name. Names that the form does not publish fail loudly.
  void ReadDefinition(std::string_view resourceName);

  // The fields and handlers a window definition may name.
  class Published {
   public:
    template <typename T>
    void Field(const std::string& name, T*& field) {
      fFields.push_back({name, [&field](TComponent* c) {
                           auto* typed = dynamic_cast<T*>(c);
                           if (typed != nullptr) field = typed;
                           return typed != nullptr;
                         }});
    }
    void Handler(const std::string& name, TNotifyEvent handler) { fHandlers.push_back({name, std::move(handler)}); }

   private:
    friend class TForm;
    struct FieldEntry {
      std::string name;
      std::function<bool(TComponent*)> bind;
    };
    struct HandlerEntry {
      std::string name;
      TNotifyEvent handler;
    };
    std::vector<FieldEntry> fFields;
    std::vector<HandlerEntry> fHandlers;
  };
  virtual void Publish(Published& published) = 0;

  TSize ClientSizeForAlign() const override { return {fClientWidth, fClientHeight}; }

 private:
  friend class TControl;
  friend class FormWindow;
  class FormCanvas;
  void ApplyDefinition(TControl& control, const TObjectDefinition& definition, Published& published);
  void ApplyProperties(TComponent& component, const TObjectDefinition& definition, Published& published);
  void ClientChanged();
  void ClientResized();
  void UserClosed();
  void OuterSizeChanged(int width, int height);

  int fClientWidth = 0;
  int fClientHeight = 0;
  std::string fCaption;
  TColor fColor = clBtnFace;
  TFormBorderStyle fBorderStyle = bsSizeable;
  TFormStyle fFormStyle = fsNormal;
  mutable TBitmap fClientImage;
  mutable bool fClientImageValid = false;
  std::unique_ptr<FormCanvas> fCanvas;
  std::unique_ptr<class FormWindow> fWindow;
};
