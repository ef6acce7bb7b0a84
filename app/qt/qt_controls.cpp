#include "app/qt/qt_controls.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolTip>
#include <QRadioButton>
#include <QVBoxLayout>

void PaintSlider::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  if (!m_quiet) emit painted();
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

void QuietScrollBar::sliderChange(SliderChange change) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  const int ends = (value() == minimum() ? 1 : 0) | (value() == maximum() ? 2 : 0);
  if (change == SliderRangeChange && slider == m_slider && ends == m_ends) return;
  m_slider = slider;
  m_ends = ends;
  ++m_repaints;
  QScrollBar::sliderChange(change);
}

namespace {
// The log's rows for screen readers: the list, and a row each as it is asked
// for (a million rows cost nothing until a reader walks them).
class LogRowAccessible : public QAccessibleInterface {
 public:
  LogRowAccessible(LogView* view, int row) : m_view(view), m_row(row) {}
  bool isValid() const override { return m_view && m_row < m_view->rowCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    const std::string line = m_view->rowText(m_row);
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = m_view->rowRect(m_row);
    return r.isEmpty() ? QRect() : QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.selectable = true;
    s.focusable = true;
    if (isValid()) {
      s.selected = m_view->selection().Contains(m_row);
      s.focused = m_view->currentRow() == m_row && m_view->hasFocus();
      s.invisible = m_view->rowRect(m_row).isEmpty();
      s.offscreen = s.invisible;
    }
    return s;
  }
  int row() const { return m_row; }

 private:
  QPointer<LogView> m_view;
  int m_row;
};

class LogViewAccessible : public QAccessibleWidget {
 public:
  explicit LogViewAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::List) {}
  ~LogViewAccessible() override {
    for (const auto& [row, id] : m_rows) QAccessible::deleteAccessibleInterface(id);
  }
  int childCount() const override { return View()->rowCount(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    auto it = m_rows.find(index);
    if (it == m_rows.end())
      it = m_rows.emplace(index, QAccessible::registerAccessibleInterface(new LogRowAccessible(View(), index))).first;
    return QAccessible::accessibleInterface(it->second);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* row = dynamic_cast<const LogRowAccessible*>(child);
    return row ? row->row() : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint at = View()->viewport()->mapFromGlobal(QPoint(x, y));
    if (!View()->viewport()->rect().contains(at)) return nullptr;
    return child(View()->firstVisibleRow() + at.y() / View()->rowHeight());
  }

 private:
  LogView* View() const { return static_cast<LogView*>(widget()); }
  mutable std::map<int, QAccessible::Id> m_rows;
};

QAccessibleInterface* LogViewFactory(const QString& key, QObject* object) {
  if (key == QLatin1String("LogView") && object && object->isWidgetType())
    return new LogViewAccessible(static_cast<LogView*>(object));
  return nullptr;
}
}  // namespace

LogView::LogView(LogModel* model, QWidget* parent)
    : QAbstractScrollArea(parent), m_model(model), m_rowHeight(fontMetrics().height() + 2) {
  setVerticalScrollBar(new QuietScrollBar(Qt::Vertical, this));
  setHorizontalScrollBar(new QuietScrollBar(Qt::Horizontal, this));
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  connect(model, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { RowsAppended(first, last); });
  connect(model, &QAbstractItemModel::modelReset, this, [this] { Reset(); });
  static const bool factory = (QAccessible::installFactory(LogViewFactory), true);
  (void)factory;
}

int LogView::rowCount() const { return m_model->rowCount(); }

std::string LogView::rowText(int row) const { return m_model->Store().Line(static_cast<std::size_t>(row)); }

QRect LogView::rowRect(int row) const {
  const int line = row - firstVisibleRow();
  if (row < 0 || row >= rowCount() || line < 0 || line * m_rowHeight >= viewport()->height()) return {};
  return QRect(0, line * m_rowHeight, viewport()->width(), m_rowHeight);
}

int LogView::VisibleRows() const { return std::max(1, viewport()->height() / m_rowHeight); }

void LogView::UpdateScrollBars() {
  const int rows = m_model->rowCount();
  verticalScrollBar()->setPageStep(VisibleRows());
  verticalScrollBar()->setRange(0, std::max(0, rows - VisibleRows()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setRange(0, std::max(0, m_widest - viewport()->width()));
}

void LogView::RowsAppended(int first, int last) {
  for (int row = first; row <= last; ++row) {
    const std::string line = m_model->Store().Line(static_cast<std::size_t>(row));
    // Measuring text is the dear part of an append; only a line longer than
    // any before can be the new widest (hex lines all have the same length).
    if (line.size() <= m_longestBytes) continue;
    m_longestBytes = line.size();
    m_widest = std::max(m_widest, fontMetrics().horizontalAdvance(
                                      QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()))) + 8);
  }
  // A scroll bar's range change posts work of its own to the event loop;
  // one change per turn of the loop, not one per line, keeps a poll that
  // appends seventy lines (or a million appended at once) cheap.
  if (!m_scrollBarsPending) {
    m_scrollBarsPending = true;
    QTimer::singleShot(0, this, [this] {
      m_scrollBarsPending = false;
      UpdateScrollBars();
    });
  }
  // The list is never scrolled to the new line; it is drawn only if it shows.
  if (first < firstVisibleRow() + VisibleRows() + 1) viewport()->update();
}

void LogView::Reset() {
  m_widest = 0;
  m_longestBytes = 0;
  m_selection.Clear();
  UpdateScrollBars();
  viewport()->update();
}

void LogView::setCurrentRow(int row) {
  if (row >= 0 && row < m_model->rowCount()) m_selection.To(row, false, m_model->rowCount());
  else m_selection.Clear();
  viewport()->update();
}

void LogView::Select(int row, bool extend) {
  m_selection.To(row, extend, m_model->rowCount());
  viewport()->update();
}

void LogView::selectAll() {
  m_selection.All(m_model->rowCount());
  viewport()->update();
}

void LogView::copy() const {
  if (m_selection.Empty()) return;
  const std::string text = m_selection.Text(m_model->Store());
  QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void LogView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int first = firstVisibleRow();
  const int rows = m_model->rowCount();
  const int x = 3 - horizontalScrollBar()->value();
  for (int row = first, y = 0; row < rows && y < viewport()->height(); ++row, y += m_rowHeight) {
    const QRect line(0, y, viewport()->width(), m_rowHeight);
    if (m_selection.Contains(row)) {
      p.fillRect(line, palette().highlight());
      p.setPen(palette().highlightedText().color());
    } else {
      p.setPen(palette().text().color());
    }
    const std::string text = m_model->Store().Line(static_cast<std::size_t>(row));
    p.drawText(QRect(x, y, m_widest + 8, m_rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
}

void LogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void LogView::mousePressEvent(QMouseEvent* event) {
  const int row = firstVisibleRow() + event->position().toPoint().y() / m_rowHeight;
  if (event->button() == Qt::RightButton && m_selection.Contains(row)) return;  // the menu copies what is selected
  if (row >= m_model->rowCount()) return setCurrentRow(-1);
  Select(row, event->modifiers() & Qt::ShiftModifier);
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
  // A drag with the button held selects the rows it passes.
  if (!(event->buttons() & Qt::LeftButton) || m_selection.Empty()) return;
  Select(firstVisibleRow() + std::max(0, event->position().toPoint().y()) / m_rowHeight, true);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copyRows = menu.addAction(QStringLiteral("Copy"), this, [this] { copy(); });
  copyRows->setShortcut(QKeySequence::Copy);
  copyRows->setEnabled(!m_selection.Empty());
  menu.addAction(QStringLiteral("Select All"), this, [this] { selectAll(); })->setShortcut(QKeySequence::SelectAll);
  menu.exec(event->globalPos());
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return copy();
  if (event->matches(QKeySequence::SelectAll)) return selectAll();
  const int rows = m_model->rowCount();
  int row = m_selection.Current();
  switch (event->key()) {
    case Qt::Key_Down: row = std::min(rows - 1, row + 1); break;
    case Qt::Key_Up: row = std::max(0, row - 1); break;
    case Qt::Key_PageDown: row = std::min(rows - 1, row + VisibleRows()); break;
    case Qt::Key_PageUp: row = std::max(0, row - VisibleRows()); break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = rows - 1; break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
  if (rows == 0) return;
  Select(row, event->modifiers() & Qt::ShiftModifier);
  row = m_selection.Current();
  if (row < firstVisibleRow()) verticalScrollBar()->setValue(row);
  else if (row >= firstVisibleRow() + VisibleRows()) verticalScrollBar()->setValue(row - VisibleRows() + 1);
}

void LogView::scrollContentsBy(int, int) { viewport()->update(); }

bool LogView::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(event);
  // A row wider than the list (a decoded card status) shows whole in its tip;
  // a row that fits needs none.
  const auto* help = static_cast<QHelpEvent*>(event);
  const int line = help->pos().y() / m_rowHeight;
  const int row = firstVisibleRow() + line;
  if (row < m_model->rowCount()) {
    const std::string bytes = m_model->Store().Line(static_cast<std::size_t>(row));
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const int left = 3 - horizontalScrollBar()->value();
    if (left < 0 || left + fontMetrics().horizontalAdvance(text) > viewport()->width()) {
      QToolTip::showText(help->globalPos(), text, viewport(),
                         QRect(0, line * m_rowHeight, viewport()->width(), m_rowHeight));
      return true;
    }
  }
  QToolTip::hideText();
  event->ignore();
  return true;
}

LogBox::LogBox(QWidget* parent)
    : QWidget(parent), m_model(new LogModel(this)), m_edit(new QLineEdit(this)) {
  m_view = new LogView(m_model, this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(m_edit);
  layout->addWidget(m_view, 1);
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
    return static_cast<LogBox*>(Widget(id))->view()->currentRow();
  }
  auto* c = qobject_cast<QComboBox*>(Widget(id));
  if (!c) return -1;
  const int index = c->currentIndex();
  return ShownSelection(index, c->currentText().toStdString(), c->itemText(index).toStdString());
}

void QtControls::SetCurSel(int id, int index) {
  if (Kind(id) == ControlKind::SimpleCombo) {
    static_cast<LogBox*>(Widget(id))->view()->setCurrentRow(index);
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

void QtControls::AddLogLine(int id, const LogLine& line) {
  if (Kind(id) == ControlKind::SimpleCombo) static_cast<LogBox*>(Widget(id))->model()->Append(line);
}

void QtControls::ResetContent(int id) {
  if (Kind(id) == ControlKind::SimpleCombo) static_cast<LogBox*>(Widget(id))->model()->Clear();
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
void QtControls::SetToolTip(int id, const std::string& text) { Widget(id)->setToolTip(QString::fromStdString(text)); }
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
