#include "app/qt/qt_controls.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QRadioButton>
#include <QVBoxLayout>

void PaintSlider::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  emit painted();
}

WrapButton::WrapButton(const QString& caption, QWidget* parent) : QPushButton(parent), m_label(new QLabel(caption, this)) {
  m_label->setWordWrap(true);
  m_label->setAlignment(Qt::AlignCenter);
  m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void WrapButton::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  m_label->setGeometry(rect().adjusted(3, 1, -3, -1));
}

LogBox::LogBox(QWidget* parent)
    : QWidget(parent), m_model(new LogModel(this)), m_view(new QTableView(this)), m_edit(new QLineEdit(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(m_edit);
  layout->addWidget(m_view, 1);
  m_view->setModel(m_model);
  m_view->horizontalHeader()->hide();
  m_view->verticalHeader()->hide();
  // Uniform rows: the header keeps one span for all of them, so appending
  // costs the same at line 10 and at line 1,000,000.
  m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 2);
  m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  m_view->setShowGrid(false);
  m_view->setWordWrap(false);
  m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_view->setSelectionMode(QAbstractItemView::SingleSelection);
  m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void LogBox::Append(const std::string& line) {
  m_model->Append(line);
  // Widen the one column for a longer line, so it can be scrolled to.
  const int width = m_view->fontMetrics().horizontalAdvance(QString::fromStdString(line)) + 8;
  if (width > m_widest) {
    m_widest = width;
    m_view->setColumnWidth(0, std::max(width, m_view->viewport()->width()));
  } else if (m_model->rowCount() == 1) {
    m_view->setColumnWidth(0, std::max(m_widest, m_view->viewport()->width()));
  }
}

void LogBox::Clear() {
  m_model->Clear();
  m_widest = 0;
}

// ---- QtControls ---------------------------------------------------------------

void QtControls::Register(int id, ControlKind kind, QWidget* widget) { m_controls[id] = {kind, widget}; }

QWidget* QtControls::Widget(int id) const {
  const auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second.widget;
}

ControlKind QtControls::Kind(int id) const { return m_controls.at(id).kind; }

int QtControls::IdOf(const QWidget* widget) const {
  for (const QWidget* w = widget; w; w = w->parentWidget())
    for (const auto& [id, e] : m_controls)
      if (e.widget == w) return id;
  return 0;
}

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

std::string QtControls::GetWindowText(int id) const {
  QWidget* w = Widget(id);
  switch (Kind(id)) {
    case ControlKind::Edit: return static_cast<QLineEdit*>(w)->text().toStdString();
    case ControlKind::Static:
    case ControlKind::Label: return static_cast<QLabel*>(w)->text().toStdString();
    case ControlKind::Combo:
    case ControlKind::SortedCombo: return static_cast<QComboBox*>(w)->currentText().toStdString();
    case ControlKind::SimpleCombo: return static_cast<LogBox*>(w)->edit()->text().toStdString();
    case ControlKind::MultiLineButton: return static_cast<WrapButton*>(w)->caption().toStdString();
    case ControlKind::Button:
    case ControlKind::Check:
    case ControlKind::Radio: return static_cast<QAbstractButton*>(w)->text().toStdString();
    default: return {};
  }
}

void QtControls::SetWindowText(int id, const std::string& text) {
  QWidget* w = Widget(id);
  const QString t = Q(text);
  switch (Kind(id)) {
    case ControlKind::Edit: {
      auto* e = static_cast<QLineEdit*>(w);
      if (e->text() != t) e->setText(t);  // an unchanged text keeps the cursor where it is
      break;
    }
    case ControlKind::Static:
    case ControlKind::Label: {
      auto* l = static_cast<QLabel*>(w);
      if (l->text() != t) l->setText(t);
      break;
    }
    case ControlKind::Combo:
    case ControlKind::SortedCombo: {
      auto* c = static_cast<QComboBox*>(w);
      if (c->currentText() != t) c->setEditText(t);
      break;
    }
    case ControlKind::SimpleCombo: static_cast<LogBox*>(w)->edit()->setText(t); break;
    case ControlKind::MultiLineButton: static_cast<WrapButton*>(w)->label()->setText(t); break;
    case ControlKind::Button:
    case ControlKind::Check:
    case ControlKind::Radio: static_cast<QAbstractButton*>(w)->setText(t); break;
    default: break;
  }
}

int QtControls::GetCheck(int id) const {
  auto* b = qobject_cast<QAbstractButton*>(Widget(id));
  return b && b->isChecked() ? 1 : 0;
}

void QtControls::SetCheck(int id, int state) {
  auto* b = qobject_cast<QAbstractButton*>(Widget(id));
  if (!b || b->isChecked() == (state != 0)) return;
  // A radio button in an exclusive group cannot be cleared directly.
  const bool exclusive = b->autoExclusive();
  if (!state && exclusive) b->setAutoExclusive(false);
  b->setChecked(state != 0);
  if (!state && exclusive) b->setAutoExclusive(true);
}

int QtControls::GetCurSel(int id) const {
  if (Kind(id) == ControlKind::SimpleCombo) {
    const QModelIndex current = static_cast<LogBox*>(Widget(id))->view()->currentIndex();
    return current.isValid() ? current.row() : -1;
  }
  auto* c = qobject_cast<QComboBox*>(Widget(id));
  if (!c) return -1;
  const int index = c->currentIndex();
  // Typed text that is not the selected entry leaves no selection.
  if (index < 0 || c->currentText() != c->itemText(index)) return -1;
  return index;
}

void QtControls::SetCurSel(int id, int index) {
  if (Kind(id) == ControlKind::SimpleCombo) {
    auto* box = static_cast<LogBox*>(Widget(id));
    box->view()->setCurrentIndex(box->model()->index(index, 0));
    return;
  }
  if (auto* c = qobject_cast<QComboBox*>(Widget(id))) {
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    if (index >= 0 && index < c->count()) c->setEditText(c->itemText(index));
  }
}

int QtControls::GetCount(int id) const {
  if (Kind(id) == ControlKind::SimpleCombo) return static_cast<LogBox*>(Widget(id))->model()->rowCount();
  auto* c = qobject_cast<QComboBox*>(Widget(id));
  return c ? c->count() : 0;
}

std::string QtControls::GetLBText(int id, int index) const {
  if (Kind(id) == ControlKind::SimpleCombo)
    return std::string(static_cast<LogBox*>(Widget(id))->model()->Store().Line(static_cast<std::size_t>(index)));
  auto* c = qobject_cast<QComboBox*>(Widget(id));
  return c ? c->itemText(index).toStdString() : std::string();
}

void QtControls::AddString(int id, const std::string& text) {
  if (Kind(id) == ControlKind::SimpleCombo) static_cast<LogBox*>(Widget(id))->Append(text);
  else if (auto* c = qobject_cast<QComboBox*>(Widget(id))) c->addItem(Q(text));
}

void QtControls::ResetContent(int id) {
  if (Kind(id) == ControlKind::SimpleCombo) static_cast<LogBox*>(Widget(id))->Clear();
  else if (auto* c = qobject_cast<QComboBox*>(Widget(id))) c->clear();
}

int QtControls::GetPos(int id) const {
  auto* s = qobject_cast<QSlider*>(Widget(id));
  return s ? s->value() : 0;
}

void QtControls::SetPos(int id, int pos, bool redraw) {
  auto* s = qobject_cast<QSlider*>(Widget(id));
  if (!s) return;
  s->setValue(pos);
  if (redraw) s->update();  // repaints even when the position did not change
}

void QtControls::SetRange(int id, int min, int max) {
  auto* s = qobject_cast<QSlider*>(Widget(id));
  if (s && (s->minimum() != min || s->maximum() != max)) s->setRange(min, max);
}

int QtControls::GetRangeMin(int id) const {
  auto* s = qobject_cast<QSlider*>(Widget(id));
  return s ? s->minimum() : 0;
}

int QtControls::GetRangeMax(int id) const {
  auto* s = qobject_cast<QSlider*>(Widget(id));
  return s ? s->maximum() : 0;
}

void QtControls::EnableWindow(int id, bool enable) { Widget(id)->setEnabled(enable); }
bool QtControls::IsWindowEnabled(int id) const { return Widget(id)->isEnabled(); }
void QtControls::ShowWindow(int id, bool show) { Widget(id)->setVisible(show); }
bool QtControls::IsWindowVisible(int id) const { return !Widget(id)->isHidden(); }

void QtControls::SetFocus(int id) {
  QWidget* w = Widget(id);
  if (Kind(id) == ControlKind::SimpleCombo) w = static_cast<LogBox*>(w)->edit();
  w->setFocus(Qt::OtherFocusReason);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
}

int QtControls::GetFocus() const {
  if (m_controls.empty()) return 0;
  const QWidget* top = m_controls.begin()->second.widget->window();
  return IdOf(top->focusWidget());
}
