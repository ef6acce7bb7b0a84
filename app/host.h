// What the main window needs from its surroundings besides its controls:
// message boxes, the Warning window, the About box, posting to its own thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

class IDialogHost {
 public:
  virtual ~IDialogHost() = default;
  // A modal box with an OK button; returns when the operator closed it.
  // Posted messages are still handled meanwhile.
  virtual void MessageBox(const std::string& text) = 0;
  // The modeless "Warning!" window with text (WarningText); shown again on every call.
  virtual void ShowWarning(const std::string& text) = 0;
  virtual void ShowAbout() = 0;
  // Safe from any thread: the message is handled on the dialog's thread, in order.
  virtual void PostDialogMessage(unsigned message) = 0;
  virtual void EndDialog(int result) = 0;
  // One line for the operator's terminal (standard error).
  virtual void Diagnostic(const std::string& line) = 0;
  // Beside the status line, what the panel waits for ("connecting to ..."),
  // or nothing (empty) once it no longer waits.
  virtual void ShowWaiting(const std::string& what) = 0;
  // Learn mode's question, modal: what a pad's input is to do, one of
  // choices or typed; nothing when the operator cancelled (or no window asks).
  virtual std::optional<std::string> AskPadAction(const std::string& question, const std::vector<std::string>& choices) {
    (void)question, (void)choices;
    return std::nullopt;
  }
};

// The main window's caption, with what the panel waits for (ShowWaiting) after it.
std::string WindowCaption(const std::string& waitingFor);

inline constexpr int IDOK = 1, IDCANCEL = 2;
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr unsigned IDM_LEARNPAD = 0x0020;  // learn mode: the next pad control pressed is asked about
inline constexpr const char* kLearnPadMenuText = "Learn a pad control...";
inline constexpr const char* kAboutMenuText = "关于 Varnel(&A)...";
inline constexpr const char* kWarningText = "This serial port is not found!";
inline constexpr const char* kInstructionError = "Input instruction error";
