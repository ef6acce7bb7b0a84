#include "app/qt/dialogs.h"

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

WarningDialog::WarningDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Warning!"));
  setModal(false);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QFont font = DialogFont(8);
  setFont(font);
  const DialogUnits du(font);
  setFixedSize(du.X(194), du.Y(70));
  auto* text = new QLabel(QString::fromUtf8(kWarningText), this);
  text->setGeometry(du.Rect(50, 22, 112, 12));
  text->setObjectName(QStringLiteral("warningText"));
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_ok->setGeometry(du.Rect(70, 43, 50, 14));
  m_ok->setDefault(true);
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("关于 Varnel"));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  const QFont font = DialogFont(9);
  setFont(font);
  const DialogUnits du(font);
  setFixedSize(du.X(235), du.Y(55));
  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(32, 32));
  icon->setGeometry(du.X(11), du.Y(17), 32, 32);
  auto* name = new QLabel(QStringLiteral("Varnel 1.99"), this);
  name->setTextFormat(Qt::PlainText);
  name->setGeometry(du.Rect(40, 10, 130, 10));
  auto* line = new QLabel(QString::fromUtf8("云台控制面板，Linux 版"), this);
  line->setGeometry(du.Rect(40, 25, 130, 10));
  m_ok = new QPushButton(QString::fromUtf8("确定"), this);
  m_ok->setGeometry(du.Rect(178, 7, 50, 14));
  m_ok->setDefault(true);
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}
