// The Warning window, the About box, the icon and the dialog font.
#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QPushButton>
#include <string>

QIcon AppIcon();
// "宋体" 9 pt where the system has it, otherwise a font that renders Chinese.
QFont DialogFont(int pointSize = 9);

// Dialog units to pixels, from the font's average character width and height.
struct DialogUnits {
  explicit DialogUnits(const QFont& font);
  int X(int dlu) const;
  int Y(int dlu) const;
  QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
  double baseX, baseY;
};

struct BoxLayout;

// A box drawn from its shared layout (app/boxes.h).
class BoxDialog : public QDialog {
  Q_OBJECT
 public:
  BoxDialog(const BoxLayout& layout, QWidget* parent);
  QPushButton* okButton() const { return m_ok; }

 private:
  QPushButton* m_ok = nullptr;
};

// Modeless: the main window stays usable while it shows. OK, Escape and the
// close box only hide it.
class WarningDialog : public BoxDialog {
 public:
  WarningDialog(QWidget* parent, const std::string& text);
};

class AboutDialog : public BoxDialog {
 public:
  explicit AboutDialog(QWidget* parent);
};
