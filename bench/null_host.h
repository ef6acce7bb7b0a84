// A dialog host that shows nothing, for the benchmarks of the poll.
#pragma once

#include <string>

#include "app/host.h"

class NullHost : public IDialogHost {
 public:
  void MessageBox(const std::string&) override {}
  void ShowWarning(const std::string&) override {}
  void ShowAbout() override {}
  void PostDialogMessage(unsigned) override {}
  void EndDialog(int) override {}
  void Diagnostic(const std::string&) override {}
  void ShowWaiting(const std::string&) override {}
};
