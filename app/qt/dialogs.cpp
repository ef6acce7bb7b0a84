#include "app/qt/dialogs.h"

#include "app/boxes.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include "app/host.h"

QIcon AppIcon() {
  // A gimbal seen from the front: the fork, the camera body, its lens.
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 32.0;
    p.setPen(QPen(QColor(40, 60, 90), 2.5 * s));
    p.drawArc(QRectF(4 * s, 6 * s, 24 * s, 22 * s), 200 * 16, 140 * 16);
    p.drawLine(QPointF(16 * s, 2 * s), QPointF(16 * s, 8 * s));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 90, 140));
    p.drawRoundedRect(QRectF(7 * s, 10 * s, 18 * s, 13 * s), 3 * s, 3 * s);
    p.setBrush(QColor(230, 120, 40));
    p.drawEllipse(QPointF(16 * s, 16.5 * s), 4.5 * s, 4.5 * s);
    p.setBrush(QColor(30, 30, 30));
    p.drawEllipse(QPointF(16 * s, 16.5 * s), 2 * s, 2 * s);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

QFont DialogFont(int pointSize) {
  const QStringList families = QFontDatabase::families();
  for (const char* name : {"宋体", "SimSun", "NSimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC",
                           "WenQuanYi Zen Hei", "AR PL UMing CN"}) {
    const QString family = QString::fromUtf8(name);
    if (families.contains(family)) {
      QFont f(family);
      f.setPointSize(pointSize);
      return f;
    }
  }
  QFont f;
  f.setPointSize(pointSize);
  return f;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics fm(font);
  // The average width is taken over the alphabet, as dialog units define it.
  baseX = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
  baseY = fm.height();
}

int DialogUnits::X(int dlu) const { return qRound(dlu * baseX / 4.0); }
int DialogUnits::Y(int dlu) const { return qRound(dlu * baseY / 8.0); }

BoxDialog::BoxDialog(const BoxLayout& box, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromStdString(box.caption));
  setModal(box.modal);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  const QFont font = DialogFont(box.pointSize);
  setFont(font);
  const DialogUnits du(font);
  setFixedSize(du.X(box.w), du.Y(box.h));
  for (const BoxItem& item : box.items) {
    const QString text = QString::fromStdString(item.text);
    switch (item.kind) {
      case BoxItem::kIcon: {
        auto* icon = new QLabel(this);
        icon->setPixmap(AppIcon().pixmap(32, 32));
        icon->setGeometry(du.X(item.x), du.Y(item.y), 32, 32);
        break;
      }
      case BoxItem::kText: {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(du.Rect(item.x, item.y, item.w, item.h));
        break;
      }
      case BoxItem::kOk:
        m_ok = new QPushButton(text, this);
        m_ok->setGeometry(du.Rect(item.x, item.y, item.w, item.h));
        m_ok->setDefault(true);
        connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
        break;
    }
  }
}

WarningDialog::WarningDialog(QWidget* parent, const std::string& text) : BoxDialog(WarningBox(text), parent) {}

AboutDialog::AboutDialog(QWidget* parent) : BoxDialog(AboutBox(), parent) {}
