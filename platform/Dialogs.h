// Message boxes. They are modal, parented to the main form when there is
// one (so that a window kept on top cannot hide them) and centred on the
// screen. Timers keep ticking while they are open.
#pragma once

#include <string>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned { mbYes = 1U << 0, mbNo = 1U << 1, mbOK = 1U << 2, mbCancel = 1U << 3 };
using TMsgDlgButtons = unsigned;

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// A plain box: the text, the application title as caption, one OK button,
// no icon.
void ShowMessage(const std::string& text);

// A box with the type's caption and icon ("確認" and a question mark for
// mtConfirmation) and the given buttons. The first button is the default;
// Escape presses Cancel, or No when there is no Cancel. Returns the button
// pressed (mrCancel or mrNo for Escape or the close box).
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext);
