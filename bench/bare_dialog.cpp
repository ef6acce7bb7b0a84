// The baseline for the panel's start-up and idle cost: a bare Qt dialog,
// nothing in it. Says "painted" on standard output at its first paint.
#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <cstdio>

namespace {
class Bare : public QDialog {
 protected:
  void paintEvent(QPaintEvent* e) override {
    QDialog::paintEvent(e);
    if (!m_said) std::printf("painted\n"), std::fflush(stdout);
    m_said = true;
  }

 private:
  bool m_said = false;
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Bare dialog;
  dialog.resize(1024, 700);
  dialog.show();
  return app.exec();
}
