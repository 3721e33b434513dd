// Stands in for the mount window when the program's own entry point is
// built into the shell probe: each way a start can end is chosen by the
// first argument.
#pragma once

#include <string_view>

#include "Forms.h"

class TMainForm1 : public TForm {
 public:
  explicit TMainForm1(TComponent* Owner);
  std::string_view ClassName() const override { return "TMainForm1"; }

 protected:
  void Publish(Published& published) override;

 private:
  TTimer* fTimer = nullptr;
  bool fThrown = false;
};

extern TMainForm1* MainForm1;
