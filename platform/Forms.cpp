#include "Forms.h"

#include <QTimer>
#include <algorithm>

#include "Application.h"
#include "BmpReader.h"
#include "Exceptions.h"
#include "Resources.h"
#include "qt/FormWindow.h"

namespace {

[[noreturn]] void UnknownProperty(const TComponent& component, const std::string& name) {
  throw Exception(FormatText("プロパティ %s.%s は存在しません", {component.Name, name}));
}

[[noreturn]] void WrongValue(const TComponent& component, const std::string& name) {
  throw Exception(FormatText("プロパティ %s.%s の値が不正です", {component.Name, name}));
}

int IntegerValue(const TComponent& component, const std::string& name, const TPropertyValue& value) {
  if (value.kind != TPropertyValue::Integer || value.integer < -1000000 || value.integer > 1000000) {
    WrongValue(component, name);
  }
  return static_cast<int>(value.integer);
}

bool BooleanValue(const TComponent& component, const std::string& name, const TPropertyValue& value) {
  if (value.kind != TPropertyValue::Boolean) WrongValue(component, name);
  return value.boolean;
}

std::string TextValue(const TComponent& component, const std::string& name, const TPropertyValue& value) {
  if (value.kind != TPropertyValue::String) WrongValue(component, name);
  return value.text;
}

TColor ColorValue(const TComponent& component, const std::string& name, const TPropertyValue& value) {
  if (value.kind == TPropertyValue::Identifier) {
    if (value.text == "clBlack") return clBlack;
    if (value.text == "clWhite") return clWhite;
    if (value.text == "clBtnFace") return clBtnFace;
  }
  if (value.kind == TPropertyValue::Integer && value.integer >= 0 && value.integer <= 0xFFFFFF) {
    return static_cast<TColor>(value.integer);
  }
  WrongValue(component, name);
}

void FillRect(TBitmap& target, const TRect& rect, TColor color) {
  const TPixelRows pixels = target.Pixels();
  const int x0 = std::max(rect.Left, 0);
  const int x1 = std::min(rect.Right, pixels.width);
  const int y0 = std::max(rect.Top, 0);
  const int y1 = std::min(rect.Bottom, pixels.height);
  const auto red = static_cast<std::uint8_t>(color & 0xFF);
  const auto green = static_cast<std::uint8_t>((color >> 8) & 0xFF);
  const auto blue = static_cast<std::uint8_t>((color >> 16) & 0xFF);
  for (int y = y0; y < y1; ++y) {
    std::uint8_t* p = pixels.Row(y) + static_cast<std::ptrdiff_t>(x0) * 3;
    for (int x = x0; x < x1; ++x, p += 3) {
      p[0] = blue;
      p[1] = green;
      p[2] = red;
    }
  }
}

TRect Intersect(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

bool IsEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

// Copies `source` 1:1 with its corner at (left, top) of `target`, within `clip`.
void DrawAt(const TBitmap& source, TBitmap& target, int left, int top, const TRect& clip) {
  TBitmap scratch;
  const TBitmap* full = &source;
  if (source.IsSampled()) {
    scratch.SetSize(source.Width(), source.Height());
    StretchNearest(source, scratch, Rect(0, 0, source.Width(), source.Height()));
    full = &scratch;
  }
  const TRect area = Intersect(Rect(left, top, left + full->Width(), top + full->Height()), clip);
  if (IsEmpty(area)) return;
  const TPixelRows to = target.Pixels();
  const TConstPixelRows from = full->Pixels();
  for (int y = area.Top; y < area.Bottom; ++y) {
    std::copy_n(from.Row(y - top) + static_cast<std::ptrdiff_t>(area.Left - left) * 3, area.Width() * 3,
                to.Row(y) + static_cast<std::ptrdiff_t>(area.Left) * 3);
  }
}

TForm* FormOf(const TControl* control) {
  while (control != nullptr && control->Parent() != nullptr) control = control->Parent();
  return const_cast<TForm*>(dynamic_cast<const TForm*>(control));
}

}  // namespace

// --- TComponent

TComponent::TComponent(TComponent* owner) : fOwner(owner) {
  if (owner != nullptr) owner->fComponents.push_back(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (fOwner != nullptr) {
    auto& siblings = fOwner->fComponents;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TComponent::DestroyComponents() {
  // Last created first.
  while (!fComponents.empty()) {
    TComponent* last = fComponents.back();
    fComponents.pop_back();
    last->fOwner = nullptr;
    delete last;
  }
}

TNotifyEvent* TComponent::EventProperty(const std::string& /*name*/) { return nullptr; }

bool TComponent::SetProperty(const std::string& name, const TPropertyValue& value) {
  if (name == "Tag") {
    Tag = IntegerValue(*this, name, value);
    return true;
  }
  return false;
}

// --- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  // Elements that outlive this one (owned elsewhere) no longer lie on it.
  for (TControl* child : fControls) child->fParent = nullptr;
  fControls.clear();
  SetParent(nullptr);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (fBounds.Left == left && fBounds.Top == top && fBounds.Width() == width && fBounds.Height() == height) return;
  fBounds = Rect(left, top, left + width, top + height);
  RealignChildren();
  Invalidate();
}

void TControl::SetVisible(bool visible) {
  if (fVisible == visible) return;
  fVisible = visible;
  Invalidate();
}

void TControl::SetAlign(TAlign align) {
  fAlign = align;
  if (fParent != nullptr) fParent->RealignChildren();
}

void TControl::SetParent(TControl* parent) {
  if (fParent == parent) return;
  if (fParent != nullptr) {
    auto& siblings = fParent->fControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    fParent->Invalidate();
  }
  fParent = parent;
  if (parent != nullptr) {
    parent->fControls.push_back(this);
    parent->RealignChildren();
    Invalidate();
  }
}

void TControl::RealignChildren() {
  const TSize client = ClientSizeForAlign();
  for (TControl* child : fControls) {
    if (child->fAlign == alClient) child->SetBounds(0, 0, client.cx, client.cy);
  }
}

bool TControl::SetProperty(const std::string& name, const TPropertyValue& value) {
  if (name == "Left") {
    SetLeft(IntegerValue(*this, name, value));
  } else if (name == "Top") {
    SetTop(IntegerValue(*this, name, value));
  } else if (name == "Width") {
    SetWidth(IntegerValue(*this, name, value));
  } else if (name == "Height") {
    SetHeight(IntegerValue(*this, name, value));
  } else if (name == "Visible") {
    SetVisible(BooleanValue(*this, name, value));
  } else if (name == "Align") {
    if (value.kind != TPropertyValue::Identifier || (value.text != "alClient" && value.text != "alNone")) {
      WrongValue(*this, name);
    }
    SetAlign(value.text == "alClient" ? alClient : alNone);
  } else if (name == "Anchors") {
    // Elements never move with their parent's size here: the form is fixed.
    if (value.kind != TPropertyValue::Identifier || value.text != "none") WrongValue(*this, name);
  } else {
    return TComponent::SetProperty(name, value);
  }
  return true;
}

void TControl::Invalidate() const {
  if (TForm* form = FormOf(this)) form->ClientChanged();
}

void TControl::PaintTo(TBitmap& target, int originX, int originY, const TRect& clip) const {
  PaintChildren(target, originX, originY, clip);
}

void TControl::PaintChildren(TBitmap& target, int originX, int originY, const TRect& clip) const {
  for (const TControl* child : fControls) {
    if (!child->Visible()) continue;
    const TRect bounds = Rect(originX + child->Left(), originY + child->Top(), originX + child->Left() + child->Width(),
                              originY + child->Top() + child->Height());
    const TRect childClip = Intersect(bounds, clip);
    if (IsEmpty(childClip)) continue;
    child->PaintTo(target, originX, originY, childClip);
  }
}

// --- TImage

class TImage::ImageCanvas : public TCanvas {
 public:
  explicit ImageCanvas(TImage& image) : fImage(image) {}

 protected:
  const TBitmap& PixelsForReading() override { return *Bitmap(); }
  TBitmap* PixelsForWriting() override {
    // Whatever is written shows on the next paint.
    fImage.Invalidate();
    return Bitmap();
  }

 private:
  TBitmap* Bitmap() {
    TPicture& picture = *fImage.Picture();
    if (picture.Graphic() == nullptr) {
      auto bitmap = std::make_unique<TBitmap>();
      bitmap->SetSize(fImage.Width(), fImage.Height());
      picture.SetGraphic(std::move(bitmap));
    }
    auto* bitmap = dynamic_cast<TBitmap*>(picture.Graphic());
    if (bitmap == nullptr) throw Exception("ビットマップ以外のイメージは変更できません");
    return bitmap;
  }
  TImage& fImage;
};

TImage::TImage(TComponent* owner) : TControl(owner) {
  SetBounds(0, 0, 105, 105);
  fPicture.OnChange = [this] { PictureChanged(); };
}

TImage::~TImage() = default;

void TImage::SetStretch(bool stretch) {
  fStretch = stretch;
  Invalidate();
}

void TImage::SetAutoSize(bool autoSize) {
  fAutoSize = autoSize;
  PictureChanged();
}

void TImage::PictureChanged() {
  if (fAutoSize && fPicture.Width() > 0 && fPicture.Height() > 0) {
    SetBounds(Left(), Top(), fPicture.Width(), fPicture.Height());
  }
  Invalidate();
}

TCanvas* TImage::Canvas() {
  if (!fCanvas) fCanvas = std::make_unique<ImageCanvas>(*this);
  return fCanvas.get();
}

bool TImage::SetProperty(const std::string& name, const TPropertyValue& value) {
  if (name == "Stretch") {
    SetStretch(BooleanValue(*this, name, value));
  } else if (name == "AutoSize") {
    SetAutoSize(BooleanValue(*this, name, value));
  } else if (name == "Picture.Resource") {
    // Artwork built into the program, read like any bitmap file.
    const TResource resource = FindResource(TextValue(*this, name, value));
    auto bitmap = std::make_unique<TBitmap>();
    ReadBmp(resource.data, resource.size, *bitmap, {});
    fPicture.SetGraphic(std::move(bitmap));
  } else {
    return TControl::SetProperty(name, value);
  }
  return true;
}

void TImage::PaintTo(TBitmap& target, int originX, int originY, const TRect& clip) const {
  const auto* bitmap = dynamic_cast<const TBitmap*>(fPicture.Graphic());
  if (bitmap == nullptr || bitmap->Empty()) return;
  const int left = originX + Left();
  const int top = originY + Top();
  if (!fStretch) {
    DrawAt(*bitmap, target, left, top, clip);
    return;
  }
  // Stretched into a picture of the element's size, then drawn 1:1.
  TBitmap stretched;
  stretched.SetSize(Width(), Height());
  StretchNearest(*bitmap, stretched, Rect(0, 0, Width(), Height()));
  DrawAt(stretched, target, left, top, clip);
}

// --- TPanel

TPanel::TPanel(TComponent* owner) : TControl(owner) { SetBounds(0, 0, 185, 41); }

bool TPanel::SetProperty(const std::string& name, const TPropertyValue& value) {
  if (name == "Color") {
    Color = ColorValue(*this, name, value);
  } else if (name == "TabOrder") {
    TabOrder = IntegerValue(*this, name, value);
  } else {
    return TControl::SetProperty(name, value);
  }
  return true;
}

void TPanel::PaintTo(TBitmap& target, int originX, int originY, const TRect& clip) const {
  FillRect(target, clip, Color);
  PaintChildren(target, originX + Left(), originY + Top(), clip);
}

// --- TButton

TButton::TButton(TComponent* owner) : TControl(owner) { SetBounds(0, 0, 75, 25); }

TNotifyEvent* TButton::EventProperty(const std::string& name) { return name == "OnClick" ? &OnClick : nullptr; }

void TButton::Click() {
  if (OnClick) CallHandler([this] { OnClick(this); });
}

bool TButton::SetProperty(const std::string& name, const TPropertyValue& value) {
  if (name == "Caption") {
    Caption = TextValue(*this, name, value);
  } else if (name == "TabOrder") {
    TabOrder = IntegerValue(*this, name, value);
  } else {
    return TControl::SetProperty(name, value);
  }
  return true;
}

void TButton::PaintTo(TBitmap& target, int /*originX*/, int /*originY*/, const TRect& clip) const {
  // A plain face; no element that is ever shown here is a button.
  FillRect(target, clip, clBtnFace);
}

// --- TTimer

class TTimer::Clock {
 public:
  explicit Clock(TTimer& timer) {
    fTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&fTimer, &QTimer::timeout, [&timer] { timer.Tick(); });
  }
  void Set(bool running, int interval) {
    if (!running) {
      fTimer.stop();
    } else if (!fTimer.isActive() || fTimer.interval() != interval) {
      fTimer.start(interval);
    }
  }

 private:
  QTimer fTimer;
};

TTimer::TTimer(TComponent* owner) : TComponent(owner), fClock(std::make_unique<Clock>(*this)) {}

TTimer::~TTimer() = default;

void TTimer::SetInterval(int milliseconds) {
  fInterval = std::max(milliseconds, 0);
  Update();
}

void TTimer::SetEnabled(bool enabled) {
  fEnabled = enabled;
  Update();
}

void TTimer::Update() { fClock->Set(!fLoading && fEnabled && fInterval > 0, fInterval); }

void TTimer::Loaded() {
  fLoading = false;
  Update();
}

bool TTimer::SetProperty(const std::string& name, const TPropertyValue& value) {
  // The clock starts once the whole definition has been read.
  fLoading = true;
  if (name == "Interval") {
    SetInterval(IntegerValue(*this, name, value));
  } else if (name == "Enabled") {
    SetEnabled(BooleanValue(*this, name, value));
  } else {
    return TComponent::SetProperty(name, value);
  }
  return true;
}

TNotifyEvent* TTimer::EventProperty(const std::string& name) { return name == "OnTimer" ? &OnTimer : nullptr; }

void TTimer::Tick() {
  if (fInHandler || !fEnabled || !OnTimer) return;
  fInHandler = true;
  CallHandler([this] { OnTimer(this); });
  fInHandler = false;
}

// --- TForm

class TForm::FormCanvas : public TCanvas {
 public:
  explicit FormCanvas(TForm& form) : fForm(form) {}

 protected:
  const TBitmap& PixelsForReading() override { return fForm.ClientImage(); }
  TBitmap* PixelsForWriting() override { return nullptr; }

 private:
  TForm& fForm;
};

TForm::TForm(TComponent* owner) : TControl(owner), fWindow(std::make_unique<FormWindow>(*this)) { SetVisible(false); }

TForm::~TForm() {
  // Elements go while the form is whole, and before the window they are
  // drawn in.
  fWindow->hide();
  DestroyComponents();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  fWindow->MoveOuter(left, top);
}

void TForm::SetClientWidth(int width) {
  fClientWidth = std::max(width, 0);
  ClientResized();
}

void TForm::SetClientHeight(int height) {
  fClientHeight = std::max(height, 0);
  ClientResized();
}

void TForm::ClientResized() {
  ClientChanged();
  RealignChildren();
  fWindow->ApplySettings();
  // Until a window manager has framed the window, outer and client size agree.
  const QRect frame = fWindow->frameGeometry();
  OuterSizeChanged(frame.width(), frame.height());
}

void TForm::SetCaption(const std::string& caption) {
  fCaption = caption;
  fWindow->setWindowTitle(QString::fromStdString(caption));
}

void TForm::SetColor(TColor color) {
  fColor = color;
  ClientChanged();
}

void TForm::OuterSizeChanged(int width, int height) {
  // Only the size is taken over: the position stays the one the program set.
  TControl::SetBounds(Left(), Top(), width, height);
}

void TForm::Show() {
  SetVisible(true);
  fWindow->MoveOuter(Left(), Top());
  fWindow->show();
}

void TForm::Hide() {
  SetVisible(false);
  fWindow->hide();
}

void TForm::Close() {
  if (Application->MainForm() == this) {
    Hide();
    Application->Terminate();
  } else {
    Hide();
  }
}

void TForm::UserClosed() {
  CallHandler([this] { Close(); });
}

void TForm::ClientChanged() {
  fClientImageValid = false;
  fWindow->update();
}

const TBitmap& TForm::ClientImage() const {
  if (!fClientImageValid || fClientImage.Width() != fClientWidth || fClientImage.Height() != fClientHeight) {
    TBitmap image;
    image.SetSize(fClientWidth, fClientHeight);
    const TRect client = Rect(0, 0, fClientWidth, fClientHeight);
    FillRect(image, client, fColor);
    PaintChildren(image, 0, 0, client);
    fClientImage.Assign(&image);
    fClientImageValid = true;
  }
  return fClientImage;
}

TCanvas* TForm::Canvas() {
  if (!fCanvas) fCanvas = std::make_unique<FormCanvas>(*this);
  return fCanvas.get();
}

HWND TForm::Handle() const { return static_cast<HWND>(fWindow->winId()); }

bool TForm::SetProperty(const std::string& name, const TPropertyValue& value) {
  if (name == "Caption") {
    SetCaption(TextValue(*this, name, value));
  } else if (name == "ClientWidth") {
    SetClientWidth(IntegerValue(*this, name, value));
  } else if (name == "ClientHeight") {
    SetClientHeight(IntegerValue(*this, name, value));
  } else if (name == "Color") {
    SetColor(ColorValue(*this, name, value));
  } else if (name == "BorderStyle") {
    if (value.kind != TPropertyValue::Identifier || (value.text != "bsToolWindow" && value.text != "bsSizeable")) {
      WrongValue(*this, name);
    }
    fBorderStyle = value.text == "bsToolWindow" ? bsToolWindow : bsSizeable;
    ClientResized();
  } else if (name == "FormStyle") {
    if (value.kind != TPropertyValue::Identifier || (value.text != "fsStayOnTop" && value.text != "fsNormal")) {
      WrongValue(*this, name);
    }
    fFormStyle = value.text == "fsStayOnTop" ? fsStayOnTop : fsNormal;
    fWindow->ApplySettings();
  } else if (name == "HorzScrollBar.Visible" || name == "VertScrollBar.Visible") {
    // The client area never scrolls; only hidden scroll bars are accepted.
    if (BooleanValue(*this, name, value)) WrongValue(*this, name);
  } else if (name == "Font.Charset" || name == "Font.Name" || name == "Font.Height" || name == "Font.Color" ||
             name == "Font.Style" || name == "PixelsPerInch" || name == "OldCreateOrder" || name == "TextHeight") {
    // No element of a form draws text; the settings are kept in the
    // definition for completeness only. The layout is in pixels at 96 dpi.
    if (name == "PixelsPerInch" && IntegerValue(*this, name, value) != 96) WrongValue(*this, name);
    if (name == "OldCreateOrder" && BooleanValue(*this, name, value)) WrongValue(*this, name);
  } else {
    return TControl::SetProperty(name, value);
  }
  return true;
}

TNotifyEvent* TForm::EventProperty(const std::string& name) { return name == "OnCreate" ? &OnCreate : nullptr; }

void TForm::DoCreate() {
  if (OnCreate) CallHandler([this] { OnCreate(this); });
}

void TForm::ReadDefinition(std::string_view resourceName) {
  const TObjectDefinition definition = ParseFormDefinition(FindResource(resourceName).Text());
  if (definition.className != ClassName()) {
    throw Exception(FormatText("クラス %s が見つかりません", {definition.className}));
  }
  Published published;
  Publish(published);
  Name = definition.name;
  ApplyDefinition(*this, definition, published);
  Loaded();
}

void TForm::ApplyProperties(TComponent& component, const TObjectDefinition& definition, Published& published) {
  for (const auto& [name, value] : definition.properties) {
    if (TNotifyEvent* event = component.EventProperty(name)) {
      const auto handler = std::find_if(published.fHandlers.begin(), published.fHandlers.end(),
                                        [&text = value.text](const auto& entry) { return entry.name == text; });
      if (value.kind != TPropertyValue::Identifier || handler == published.fHandlers.end()) {
        throw Exception(FormatText("メソッド %s が見つかりません", {value.text}));
      }
      *event = handler->handler;
    } else if (!component.SetProperty(name, value)) {
      UnknownProperty(component, name);
    }
  }
}

void TForm::ApplyDefinition(TControl& control, const TObjectDefinition& definition, Published& published) {
  ApplyProperties(control, definition, published);
  for (const TObjectDefinition& child : definition.children) {
    std::unique_ptr<TComponent> created;
    if (child.className == "TImage") {
      created = std::make_unique<TImage>(this);
    } else if (child.className == "TPanel") {
      created = std::make_unique<TPanel>(this);
    } else if (child.className == "TButton") {
      created = std::make_unique<TButton>(this);
    } else if (child.className == "TTimer") {
      created = std::make_unique<TTimer>(this);
    } else {
      throw Exception(FormatText("クラス %s が見つかりません", {child.className}));
    }
    TComponent* component = created.release();  // the form owns it from here
    component->Name = child.name;
    const auto field = std::find_if(published.fFields.begin(), published.fFields.end(),
                                    [&](const auto& entry) { return entry.name == child.name; });
    if (field == published.fFields.end() || !field->bind(component)) {
      throw Exception(FormatText("フィールド %s が見つかりません", {child.name}));
    }
    if (auto* element = dynamic_cast<TControl*>(component)) {
      element->SetParent(&control);
      ApplyDefinition(*element, child, published);
    } else {
      if (!child.children.empty()) throw Exception(FormatText("%s は他の要素を持てません", {child.name}));
      ApplyProperties(*component, child, published);
    }
    component->Loaded();
  }
}
