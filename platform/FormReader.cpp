#include "FormReader.h"

#include <cctype>

#include "Exceptions.h"

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : fText(text) {}

  TObjectDefinition Document() {
    TObjectDefinition root = Object();
    SkipBlank();
    if (fPos < fText.size()) Fail("unexpected text after the last \"end\"");
    return root;
  }

 private:
  TObjectDefinition Object() {
    SkipBlank();
    TObjectDefinition object;
    object.line = fLine;
    if (Word() != "object") Fail("\"object\" expected");
    object.name = Word();
    SkipBlank();
    Expect(':');
    object.className = Word();
    for (;;) {
      SkipBlank();
      const std::size_t mark = fPos;
      const int markLine = fLine;
      const std::string word = Word();
      if (word == "end") return object;
      if (word == "object") {
        fPos = mark;
        fLine = markLine;
        object.children.push_back(Object());
        continue;
      }
      SkipBlank();
      Expect('=');
      object.properties.emplace_back(word, Value());
    }
  }

  TPropertyValue Value() {
    SkipBlank();
    TPropertyValue value;
    if (fPos < fText.size() && fText[fPos] == '\'') {
      value.kind = TPropertyValue::String;
      value.text = QuotedString();
      return value;
    }
    if (fPos < fText.size() && (fText[fPos] == '-' || std::isdigit(static_cast<unsigned char>(fText[fPos])))) {
      value.kind = TPropertyValue::Integer;
      const bool negative = fText[fPos] == '-';
      if (negative) ++fPos;
      if (fPos >= fText.size() || !std::isdigit(static_cast<unsigned char>(fText[fPos]))) Fail("number expected");
      long long number = 0;
      while (fPos < fText.size() && std::isdigit(static_cast<unsigned char>(fText[fPos]))) {
        if (number > 100000000000LL) Fail("number too large");
        number = number * 10 + (fText[fPos++] - '0');
      }
      value.integer = negative ? -number : number;
      return value;
    }
    const std::string word = Word();
    if (word == "True" || word == "False") {
      value.kind = TPropertyValue::Boolean;
      value.boolean = word == "True";
    } else {
      value.kind = TPropertyValue::Identifier;
      value.text = word;
    }
    return value;
  }

  std::string QuotedString() {
    std::string text;
    ++fPos;
    for (;;) {
      if (fPos >= fText.size() || fText[fPos] == '\n') Fail("unterminated string");
      const char c = fText[fPos++];
      if (c == '\'') {
        if (fPos < fText.size() && fText[fPos] == '\'') {
          text += '\'';
          ++fPos;
          continue;
        }
        return text;
      }
      text += c;
    }
  }

  // An identifier, possibly dotted (Font.Name).
  std::string Word() {
    SkipBlank();
    const std::size_t start = fPos;
    while (fPos < fText.size()) {
      const auto c = static_cast<unsigned char>(fText[fPos]);
      if (!(std::isalnum(c) || c == '_' || c == '.')) break;
      ++fPos;
    }
    if (fPos == start) Fail("name expected");
    return std::string(fText.substr(start, fPos - start));
  }

  void Expect(char c) {
    if (fPos >= fText.size() || fText[fPos] != c) Fail(std::string("\"") + c + "\" expected");
    ++fPos;
  }

  void SkipBlank() {
    while (fPos < fText.size()) {
      const char c = fText[fPos];
      if (c == '\n') {
        ++fLine;
        ++fPos;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++fPos;
      } else if (c == '/' && fPos + 1 < fText.size() && fText[fPos + 1] == '/') {
        while (fPos < fText.size() && fText[fPos] != '\n') ++fPos;
      } else {
        break;
      }
    }
  }

  [[noreturn]] void Fail(const std::string& what) const {
    throw Exception("Window definition, line " + std::to_string(fLine) + ": " + what);
  }

  std::string_view fText;
  std::size_t fPos = 0;
  int fLine = 1;
};

}  // namespace

TObjectDefinition ParseFormDefinition(std::string_view text) { return Parser(text).Document(); }
