// The class library's own rules: the exception box's text, and reading a
// window definition, which fails loudly on anything it does not know.
#include <gtest/gtest.h>

#include <string>

#include "Application.h"
#include "Exceptions.h"
#include "FormReader.h"
#include "Forms.h"
#include "OffscreenApplication.h"
#include "Resources.h"

namespace {

TEST(ExceptionBox, AddsAFullStopAfterCharactersAboveIt) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"broken", "broken."},
      {"JPEG エラー #42", "JPEG エラー #42."},
      {"ファイル x を作成できません", "ファイル x を作成できません."},
      {"done.", "done."},
      {"what!", "what!"},
      {"a-", "a-"},
      {"a/", "a/."},
      {"保存しました。", "保存しました。."},
  };
  for (const auto& [message, shown] : cases) EXPECT_EQ(ExceptionBoxText(message), shown) << message;
}

TEST(FormDefinition, ReadsObjectsPropertiesAndChildren) {
  const TObjectDefinition root = ParseFormDefinition(R"(
    // comment
    object Main: TMain
      Caption = 'It''s 表示'
      Left = -12
      Visible = False
      Color = clBlack
      Font.Name = 'x'
      object Child: TImage
        Stretch = True
      end
    end)");
  EXPECT_EQ(root.name, "Main");
  EXPECT_EQ(root.className, "TMain");
  ASSERT_EQ(root.properties.size(), 5U);
  EXPECT_EQ(root.properties[0].second.text, "It's 表示");
  EXPECT_EQ(root.properties[1].second.integer, -12);
  EXPECT_EQ(root.properties[2].second.kind, TPropertyValue::Boolean);
  EXPECT_FALSE(root.properties[2].second.boolean);
  EXPECT_EQ(root.properties[3].second.kind, TPropertyValue::Identifier);
  EXPECT_EQ(root.properties[4].first, "Font.Name");
  ASSERT_EQ(root.children.size(), 1U);
  EXPECT_EQ(root.children[0].className, "TImage");
}

TEST(FormDefinition, SyntaxErrorsNameTheirLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"object A: TA\n  Left = \nend", "line 3"},
      {"object A TA\nend", "line 1"},
      {"object A: TA\n  Caption = 'open\nend", "line 2"},
      {"object A: TA\n", "line 2"},
      {"object A: TA\nend\nextra", "line 3"},
      {"", "line 1"},
  };
  for (const auto& [text, where] : cases) {
    try {
      ParseFormDefinition(text);
      ADD_FAILURE() << "parsed: " << text;
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find(where), std::string::npos) << e.Message();
    }
  }
}

// A form whose definition is given by each test.
class TTestForm : public TForm {
 public:
  explicit TTestForm(const std::string& definition) : TForm(nullptr) {
    static int counter = 0;
    const std::string name = "test" + std::to_string(++counter) + ".dfm";
    fText = definition;
    const auto* bytes = reinterpret_cast<const unsigned char*>(fText.data());
    RegisterResource(name, bytes, bytes + fText.size());
    ReadDefinition(name);
  }
  std::string_view ClassName() const override { return "TTestForm"; }
  TImage* Image1 = nullptr;
  TTimer* Timer1 = nullptr;
  int clicks = 0;

 protected:
  void Publish(Published& published) override {
    published.Field("Image1", Image1);
    published.Field("Timer1", Timer1);
    published.Handler("Image1Click", [this](TObject*) { ++clicks; });
  }

 private:
  std::string fText;
};

TEST(FormDefinition, BindsElementsByName) {
  TTestForm form(
      "object F: TTestForm\n ClientWidth = 10\n ClientHeight = 20\n"
      " object Image1: TImage\n  Align = alClient\n end\n"
      " object Timer1: TTimer\n  Interval = 5\n  Enabled = False\n end\nend");
  ASSERT_NE(form.Image1, nullptr);
  EXPECT_EQ(form.Image1->Width(), 10);
  EXPECT_EQ(form.Image1->Height(), 20);
  ASSERT_NE(form.Timer1, nullptr);
  EXPECT_EQ(form.Timer1->Interval(), 5);
  EXPECT_FALSE(form.Timer1->Enabled());
}

TEST(FormDefinition, UnknownNamesFailLoudly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"object F: TOther\nend", "クラス TOther が見つかりません"},
      {"object F: TTestForm\n object Image1: TLabel\n end\nend", "クラス TLabel が見つかりません"},
      {"object F: TTestForm\n object Image9: TImage\n end\nend", "フィールド Image9 が見つかりません"},
      // A field of another kind does not bind either.
      {"object F: TTestForm\n object Timer1: TImage\n end\nend", "フィールド Timer1 が見つかりません"},
      {"object F: TTestForm\n Colour = clBlack\nend", "プロパティ F.Colour は存在しません"},
      {"object F: TTestForm\n object Image1: TImage\n  Stretch = 3\n end\nend",
       "プロパティ Image1.Stretch の値が不正です"},
      {"object F: TTestForm\n OnCreate = Missing\nend", "メソッド Missing が見つかりません"},
      {"object F: TTestForm\n object Image1: TImage\n  Picture.Resource = 'none.bmp'\n end\nend",
       "リソース none.bmp が見つかりません"},
  };
  for (const auto& [text, message] : cases) {
    try {
      TTestForm form(text);
      ADD_FAILURE() << "read: " << text;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), message) << text;
    }
  }
}

}  // namespace
