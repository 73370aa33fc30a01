#include "platform/qt/template_dialog.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>

#include "platform/qt/host_text.h"
#include "platform/qt/images.h"

namespace {

bool has_equal_advances(const QFont& font) {
  const QFontMetrics metrics(font);
  return metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W'));
}

// The listing's columns line up only in a font whose characters all advance alike. Neither the
// desktop's choice nor fontconfig's fixed-pitch mark can be trusted for that (Noto Sans Mono is
// not marked, and "monospace" may resolve to a proportional font), so the advances decide, at the
// size the window uses: the desktop's fixed-pitch font where they are equal in it, or else the
// first family that has them equal, whatever fonts the machine has.
QFont fixed_pitch_font(int point_size) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::Monospace);
  font.setPointSize(point_size);
  if (has_equal_advances(font)) return font;
  for (const QString& family : QFontDatabase::families()) {
    const QFont candidate(family, point_size);
    if (has_equal_advances(candidate)) return candidate;
  }
  return font;
}

// "Courier" stands for the desktop's fixed-pitch font, anything else for its usual one.
QFont template_font(const DialogTemplate& dialog_template) {
  if (has_fixed_pitch_font(dialog_template)) return fixed_pitch_font(dialog_template.point_size);
  QFont font = QApplication::font();
  font.setPointSize(dialog_template.point_size);
  return font;
}

Qt::WindowFlags window_flags(const DialogTemplate& dialog_template) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (dialog_template.style & kDialogCloseBox)
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  return flags;
}

// Dark enough to read on the edit fields' light background.
const QColor kHighlightColour(192, 0, 0);

void apply_tab_stop(QWidget& widget, unsigned style) {
  if (style & kStyleTabStop) widget.setFocusPolicy(Qt::StrongFocus);
  if (style & kStyleNoTabStop) widget.setFocusPolicy(Qt::ClickFocus);
}

}  // namespace

TemplateDialog::TemplateDialog(const DialogTemplate& dialog_template, DialogProcedure& procedure,
                               QWidget* owner)
    : QDialog(owner, window_flags(dialog_template)), procedure_(procedure) {
  setWindowTitle(QString::fromLatin1(dialog_template.title));
  setFont(template_font(dialog_template));
  units_ = DialogUnits::for_font(font());
  for (const ControlTemplate& control : dialog_template.controls) {
    QWidget* widget = create_control(control);
    if (control.id != kNoId) controls_[control.id] = {control.kind, widget};
    if (control.kind == ControlKind::kDefaultPushButton) default_button_id_ = control.id;
  }
  setFixedSize(units_.rect(0, 0, dialog_template.width, dialog_template.height).size());
  place_on_owner(dialog_template);
  procedure_.on_init(*this);
}

TemplateDialog::~TemplateDialog() {
  procedure_.on_destroy(*this);
}

QWidget* TemplateDialog::create_control(const ControlTemplate& control) {
  const QString text = QString::fromLatin1(control.text);
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::kPushButton:
    case ControlKind::kDefaultPushButton: {
      auto* button = new QPushButton(text, this);
      button->setDefault(control.kind == ControlKind::kDefaultPushButton);
      connect(button, &QPushButton::clicked, this, [this, id = control.id] { command(id); });
      widget = button;
      break;
    }
    case ControlKind::kListBox: {
      // Lines stay in the order they are appended: the fill inserts each at the end.
      auto* list = new QListWidget(this);
      list->setUniformItemSizes(true);
      list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      list->setVerticalScrollBarPolicy(
          control.style & kStyleVerticalScroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      if (!(control.style & kStyleBorder)) list->setFrameShape(QFrame::NoFrame);
      widget = list;
      break;
    }
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(text, this);
      edit->setReadOnly(control.style & kStyleReadOnly);
      edit->setFrame(control.style & kStyleBorder);
      widget = edit;
      break;
    }
    case ControlKind::kLeftText:
    case ControlKind::kRightText: {
      auto* label = new QLabel(text, this);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(
          Qt::AlignTop | (control.kind == ControlKind::kLeftText ? Qt::AlignLeft : Qt::AlignRight));
      widget = label;
      break;
    }
    case ControlKind::kPicture: {
      // The picture takes the size of its bitmap, not the size in the template.
      auto* picture = new QLabel(this);
      picture->setPixmap(bitmap_resource(control.text));
      picture->setGeometry(QRect(units_.point(control.x, control.y), picture->pixmap().size()));
      return picture;
    }
  }
  apply_tab_stop(*widget, control.style);
  widget->setGeometry(units_.rect(control.x, control.y, control.width, control.height));
  return widget;
}

// The template's position counts from the top left corner of the owner's client area: below the
// menu bar of a main window.
void TemplateDialog::place_on_owner(const DialogTemplate& dialog_template) {
  QWidget* owner = parentWidget();
  if (!owner) return;
  auto* main_window = qobject_cast<QMainWindow*>(owner);
  QWidget* client =
      main_window && main_window->centralWidget() ? main_window->centralWidget() : owner;
  move(client->mapToGlobal(units_.point(dialog_template.x, dialog_template.y)));
}

QWidget* TemplateDialog::control(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second.widget;
}

QListWidget* TemplateDialog::list(int id) const {
  return qobject_cast<QListWidget*>(control(id));
}

void TemplateDialog::set_text(int id, const char* text) {
  auto found = controls_.find(id);
  if (found == controls_.end()) return;
  const QString value = from_host_text(text);
  switch (found->second.kind) {
    case ControlKind::kPushButton:
    case ControlKind::kDefaultPushButton:
      static_cast<QPushButton*>(found->second.widget)->setText(value);
      break;
    case ControlKind::kEdit: {
      auto* edit = static_cast<QLineEdit*>(found->second.widget);
      edit->setText(value);
      edit->setCursorPosition(0);  // show the start of a long text, not its end
      break;
    }
    case ControlKind::kLeftText:
    case ControlKind::kRightText:
      static_cast<QLabel*>(found->second.widget)->setText(value);
      break;
    case ControlKind::kListBox:
    case ControlKind::kPicture:
      break;
  }
}

void TemplateDialog::clear_list(int id) {
  QListWidget* lines = list(id);
  if (!lines) return;
  lines->clear();
  // A list emptied and filled again shows its first line, not the old scroll position.
  lines->scrollToTop();
}

void TemplateDialog::append_line(int id, const char* text) {
  if (QListWidget* lines = list(id)) lines->addItem(from_host_text(text));
}

void TemplateDialog::set_highlight(int id, bool highlighted) {
  auto found = controls_.find(id);
  if (found == controls_.end() || found->second.kind != ControlKind::kEdit) return;
  QWidget* edit = found->second.widget;
  const QColor colour = highlighted ? kHighlightColour : palette().color(QPalette::Text);
  // A refresh asks for every field each time; most keep their colour.
  if (edit->palette().color(QPalette::Text) == colour) return;
  QPalette changed = edit->palette();
  changed.setColor(QPalette::Text, colour);
  edit->setPalette(changed);
}

void TemplateDialog::end(int result) {
  ended_ = true;
  done(result);
}

void TemplateDialog::command(int id) {
  procedure_.on_command(*this, id);
}

// Escape and the caption's close box both arrive here; the window stays unless the procedure
// ends it.
void TemplateDialog::reject() {
  command(kIdCancel);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    command(default_button_id_);
    return;
  }
  QDialog::keyPressEvent(event);
}

int run_modal_dialog(const char* name, DialogProcedure& procedure, QWidget* owner) {
  const DialogTemplate* dialog_template = find_dialog_template(name);
  if (!dialog_template) return -1;
  TemplateDialog dialog(*dialog_template, procedure, owner);
  return dialog.ended() ? dialog.result() : dialog.exec();
}

TemplateDialog* open_modeless_dialog(const char* name, DialogProcedure& procedure, QWidget* owner) {
  const DialogTemplate* dialog_template = find_dialog_template(name);
  if (!dialog_template) return nullptr;
  auto* dialog = new TemplateDialog(*dialog_template, procedure, owner);
  if (dialog->ended()) {
    delete dialog;
    return nullptr;
  }
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  return dialog;
}
