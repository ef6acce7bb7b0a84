// What every source's actions on the panel share, whatever window they act
// on: who acts, a new source's name, a camera message.
#include "app/dialog.h"
#include "app/script_commands.h"

Source IScriptActions::Appear(Source::Kind kind, const std::string& detail) {
  CVarnelDlg* dlg = Dialog();
  return dlg ? dlg->Appear(kind, detail) : m_ownSources.Next(kind, detail);
}

Source IScriptActions::ActFor(const Source& who) {
  CVarnelDlg* dlg = Dialog();
  return dlg ? dlg->SwapActing(who) : who;
}

bool IScriptActions::SendCamera(const Source& who, const Frame& command) {
  CVarnelDlg* dlg = Dialog();
  if (!dlg || ModalBoxOpen()) return false;
  const CVarnelDlg::Acting acting = dlg->ActAs(who);
  return dlg->SendCamera(command);
}
