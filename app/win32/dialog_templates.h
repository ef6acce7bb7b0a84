// The three dialogs as in-memory templates (DLGTEMPLATEEX), so that the
// dialog manager itself gives them dialog units, Tab order, Escape and Enter:
// the main window from the control table, the Warning window and the About box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Control ids the main template adds to the table's: the log's edit field
// above its list (the list itself is 1155).
inline constexpr int kLogEditId = 11155;

// Each template as DWORD-aligned words, ready for DialogBoxIndirectParamW.
std::vector<std::uint16_t> MainDialogTemplate();
std::vector<std::uint16_t> WarningTemplate(const std::string& text);
std::vector<std::uint16_t> AboutTemplate();
// Learn mode's question: the text, an editable list of the actions, OK and Cancel.
inline constexpr int kPadActionId = 100;
std::vector<std::uint16_t> PadActionTemplate(const std::string& question);
