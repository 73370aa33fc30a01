#include "platform/qt/template_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>
#include <vector>

#include "tests/platform/test_font.h"
#include "tests/support/recording_dialog.h"

namespace {

// Records the commands it gets; ends the dialog with result 1 on `ends_on`, if given.
class TestProcedure : public DialogProcedure {
 public:
  explicit TestProcedure(std::optional<int> ends_on = std::nullopt) : ends_on_(ends_on) {}

  bool on_command(Dialog& dialog, int id) override {
    commands.push_back(id);
    if (id != ends_on_) return false;
    dialog.end(1);
    return true;
  }
  void on_destroy(Dialog&) override { ++destroyed; }

  std::vector<int> commands;
  int destroyed = 0;

 private:
  std::optional<int> ends_on_;
};

const DialogTemplate& named(const char* name) {
  return *find_dialog_template(name);
}

QLabel* label_with_text(const QWidget& dialog, const QString& text) {
  for (QLabel* label : dialog.findChildren<QLabel*>())
    if (label->text() == text) return label;
  return nullptr;
}

TEST(DialogUnits, ConvertBothEdgesWithRounding) {
  const DialogUnits units{6, 13};
  EXPECT_EQ(units.point(4, 8), QPoint(6, 13));
  EXPECT_EQ(units.point(275, 210), QPoint(413, 341));  // 412.5 and 341.25, rounded
  EXPECT_EQ(units.rect(7, 6, 206, 197), QRect(QPoint(11, 10), QPoint(319, 329)));
  // Controls that touch in units touch in pixels.
  EXPECT_EQ(units.rect(0, 0, 3, 3).right() + 1, units.rect(3, 0, 3, 3).left());
}

TEST(TemplateDialog, MeasuresTheListingInTheFixedPitchFont) {
  // A font of the test's own, so that the machine need not have one installed.
  ASSERT_FALSE(add_monospace_test_font().isEmpty());
  TestProcedure procedure;
  TemplateDialog dialog(named("COMMANDS"), procedure, nullptr);
  EXPECT_EQ(dialog.font().pointSize(), 8);
  // The listing's columns line up: narrow and wide characters advance alike, by the average.
  const QFontMetrics metrics(dialog.control(kIdListing)->font());
  const DialogUnits& units = dialog.units();
  for (char c : {'i', 'W', '0', ' '})
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(c)), units.base_x) << c;
  EXPECT_EQ(units.base_y, metrics.height());
  EXPECT_EQ(dialog.size(), QSize(units.x(275), units.y(210)));
  EXPECT_EQ(dialog.control(kIdListing)->geometry(), units.rect(7, 6, 206, 197));
  EXPECT_EQ(dialog.control(kIdListingPc)->geometry(), units.rect(218, 82, 50, 14));
}

TEST(TemplateDialog, UsesTheDesktopFontForTheOtherTemplates) {
  TestProcedure procedure;
  TemplateDialog dialog(named("GPR_REGS"), procedure, nullptr);
  EXPECT_EQ(dialog.font().family(), QApplication::font().family());
  EXPECT_EQ(dialog.font().pointSize(), 8);
  EXPECT_EQ(dialog.windowTitle(), "General Purpose Registers");
}

TEST(TemplateDialog, BuildsEachControlOfItsKind) {
  TestProcedure procedure;
  TemplateDialog commands(named("COMMANDS"), procedure, nullptr);
  auto* ok = qobject_cast<QPushButton*>(commands.control(kIdOk));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), "OK");
  EXPECT_TRUE(ok->isDefault());
  auto* step = qobject_cast<QPushButton*>(commands.control(kIdStep));
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->text(), "&Step");
  EXPECT_FALSE(step->isDefault());
  EXPECT_EQ(qobject_cast<QPushButton*>(commands.control(kIdListingBack))->text(), "- 256");
  EXPECT_NE(qobject_cast<QListWidget*>(commands.control(kIdListing)), nullptr);
  auto* pc = qobject_cast<QLineEdit*>(commands.control(kIdListingPc));
  ASSERT_NE(pc, nullptr);
  EXPECT_TRUE(pc->isReadOnly());
  EXPECT_NE(label_with_text(commands, "Current PC:"), nullptr);
  EXPECT_EQ(commands.control(kNoId), nullptr);

  TemplateDialog gpr(named("GPR_REGS"), procedure, nullptr);
  for (int reg = 0; reg < 32; ++reg) {
    auto* field = qobject_cast<QLineEdit*>(gpr.control(kGprFieldIds.field(reg)));
    ASSERT_NE(field, nullptr) << reg;
    EXPECT_TRUE(field->isReadOnly());
  }
  EXPECT_FALSE(qobject_cast<QLineEdit*>(gpr.control(kIdOpcode))->isReadOnly());
  QLabel* label = label_with_text(gpr, "Register 31:");
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->alignment() & Qt::AlignRight);

  TemplateDialog rom(named("ROM"), procedure, nullptr);
  EXPECT_EQ(rom.control(kIdRomName)->focusPolicy(), Qt::ClickFocus);  // not a tab stop
}

TEST(TemplateDialog, ShowsTheAboutPictureAtItsOwnSize) {
  TestProcedure procedure;
  TemplateDialog about(named("ABOUT"), procedure, nullptr);
  EXPECT_EQ(qobject_cast<QLabel*>(about.control(kIdAboutTitle))->text(), "Korvel " KORVEL_VERSION);
  const QLabel* picture = nullptr;
  for (const QLabel* label : about.findChildren<QLabel*>())
    if (!label->pixmap().isNull()) picture = label;
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->pixmap().size(), QSize(361, 164));
  EXPECT_EQ(picture->geometry(), QRect(about.units().point(143, 12), QSize(361, 164)));
  EXPECT_TRUE(about.rect().contains(picture->geometry()));
}

TEST(TemplateDialog, DeliversButtonClicksAsTheirIds) {
  TestProcedure procedure;
  TemplateDialog dialog(named("COMMANDS"), procedure, nullptr);
  dialog.show();
  QTest::mouseClick(dialog.control(kIdListingForward), Qt::LeftButton);
  QTest::mouseClick(dialog.control(kIdStep), Qt::LeftButton);
  EXPECT_EQ(procedure.commands, (std::vector<int>{kIdListingForward, kIdStep}));
  EXPECT_TRUE(dialog.isVisible());
}

TEST(TemplateDialog, EscapeAndTheCloseBoxSendCancelAndCloseNothingByThemselves) {
  TestProcedure procedure;
  TemplateDialog dialog(named("COMMANDS"), procedure, nullptr);
  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.close());
  EXPECT_EQ(procedure.commands, (std::vector<int>{kIdCancel, kIdCancel}));
  EXPECT_TRUE(dialog.isVisible());
}

TEST(TemplateDialog, CloseBoxClosesWhenTheProcedureEndsOnCancel) {
  TestProcedure procedure(kIdCancel);
  TemplateDialog dialog(named("ROM"), procedure, nullptr);
  dialog.show();
  EXPECT_TRUE(dialog.close());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 1);
}

TEST(TemplateDialog, EnterSendsTheDefaultButtonOrOk) {
  TestProcedure procedure;
  TemplateDialog commands(named("COMMANDS"), procedure, nullptr);
  commands.show();
  QTest::keyClick(commands.control(kIdListing), Qt::Key_Return);
  TemplateDialog about(named("ABOUT"), procedure, nullptr);  // has no button at all
  about.show();
  QTest::keyClick(&about, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(procedure.commands, (std::vector<int>{kIdOk, kIdOk}));
}

// What a window procedure does to its dialog, run on the real widgets and on the recorder.
class FillingProcedure : public DialogProcedure {
 public:
  void on_init(Dialog& dialog) override {
    dialog.append_line(kIdListing, "stale");
    dialog.clear_list(kIdListing);
    dialog.append_line(kIdListing, "PC         Opcode     Instruction");
    dialog.append_line(kIdListing, "B comes before");
    dialog.append_line(kIdListing, "A, as appended");
    dialog.set_text(kIdListingPc, "4000040");
    dialog.set_text(kIdStep, "Step");
    dialog.set_text(4242, "no such control");
    dialog.append_line(kIdListingPc, "not a list");
  }
  bool on_command(Dialog&, int) override { return false; }
};

TEST(TemplateDialog, AppliesRequestsAsTheRecordingDialogRecordsThem) {
  FillingProcedure procedure;
  TemplateDialog dialog(named("COMMANDS"), procedure, nullptr);
  RecordingDialog recorded(named("COMMANDS"));
  procedure.on_init(recorded);

  auto* list = qobject_cast<QListWidget*>(dialog.control(kIdListing));
  std::vector<std::string> shown_lines;
  for (int row = 0; row < list->count(); ++row)
    shown_lines.push_back(list->item(row)->text().toStdString());
  EXPECT_EQ(shown_lines, recorded.lines(kIdListing));
  EXPECT_EQ(shown_lines.size(), 3u);
  EXPECT_EQ(shown_lines[1], "B comes before");
  for (int id : {kIdListingPc, kIdStep, kIdOk}) {
    QWidget* control = dialog.control(id);
    const QString shown = qobject_cast<QLineEdit*>(control)
                              ? qobject_cast<QLineEdit*>(control)->text()
                              : qobject_cast<QPushButton*>(control)->text();
    EXPECT_EQ(shown.toStdString(), recorded.text(id)) << id;
  }
  EXPECT_EQ(recorded.text(kIdListingPc), "4000040");
  EXPECT_EQ(recorded.ignored_ids(), (std::vector<int>{4242, kIdListingPc}));
}

TEST(ModelessDialog, OpensAtTheClientAreaCornerAndGoesAwayWhenEnded) {
  QMainWindow owner;
  owner.setCentralWidget(new QWidget);
  owner.show();
  TestProcedure procedure(kIdOk);
  QPointer<TemplateDialog> dialog = open_modeless_dialog("Commands", procedure, &owner);
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->pos(), owner.centralWidget()->mapToGlobal(QPoint(0, 0)));
  QTest::mouseClick(dialog->control(kIdOk), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(dialog);
  EXPECT_EQ(procedure.destroyed, 1);
  EXPECT_EQ(open_modeless_dialog("NO_SUCH", procedure, &owner), nullptr);
}

TEST(ModalDialog, RunsUntilEndedAndReturnsTheResult) {
  QMainWindow owner;
  owner.setCentralWidget(new QWidget);
  owner.show();
  TestProcedure procedure(kIdCancel);
  QPoint shown_at;
  QPoint expected_at;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll.stop();
    shown_at = dialog->pos();
    expected_at = owner.centralWidget()->mapToGlobal(dialog->units().point(20, 20));
    QTest::keyClick(dialog, Qt::Key_Escape);
    if (dialog->isVisible()) dialog->done(-2);  // fail rather than hang
  });
  poll.start(5);
  EXPECT_EQ(run_modal_dialog("about", procedure, &owner), 1);
  EXPECT_EQ(procedure.commands, std::vector<int>{kIdCancel});
  EXPECT_EQ(shown_at, expected_at);
  EXPECT_NE(shown_at, QPoint());
  EXPECT_EQ(run_modal_dialog("NO_SUCH", procedure, &owner), -1);
}

// A procedure may end its dialog while it is being set up; the dialog is then never shown.
class EndsAtOnce : public TestProcedure {
 public:
  void on_init(Dialog& dialog) override { dialog.end(7); }
};

TEST(TemplateDialog, EndedWhileSetUpItIsNeverShown) {
  QMainWindow owner;
  EndsAtOnce procedure;
  EXPECT_EQ(run_modal_dialog("ROM", procedure, &owner), 7);
  EXPECT_EQ(open_modeless_dialog("GPR_REGS", procedure, &owner), nullptr);
  EXPECT_EQ(procedure.destroyed, 2);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
