// The text form of a window definition:
//
//   object MainForm1: TMainForm1
//     Caption = 'Orvessa'      strings in single quotes ('' for a quote)
//     ClientWidth = 600        integers, negative ones too
//     Visible = False          True / False
//     Color = clBlack          identifiers (enumerations, colours, handlers)
//     object Image1: TImage    children, in creation order
//       ...
//     end
//   end
//
// Comments run from "//" to the end of a line.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TPropertyValue {
  enum Kind { Integer, String, Identifier, Boolean };
  Kind kind = Integer;
  long long integer = 0;
  bool boolean = false;
  std::string text;  // strings and identifiers
};

struct TObjectDefinition {
  std::string name;
  std::string className;
  std::vector<std::pair<std::string, TPropertyValue>> properties;
  std::vector<TObjectDefinition> children;
  int line = 0;
};

// Raises Exception naming the line of the first syntax error.
TObjectDefinition ParseFormDefinition(std::string_view text);
