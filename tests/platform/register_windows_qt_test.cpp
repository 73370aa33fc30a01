#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QTest>
#include <string>

#include "cpu/cpu_state.h"
#include "debugger/register_windows.h"
#include "machine/machine_state.h"
#include "platform/qt/template_dialog.h"
#include "resources/dialog_templates.h"
#include "tests/platform/screenshot.h"
#include "tests/support/core_fixture.h"
#include "tests/support/program_rom.h"

namespace {

class NoCommands : public DialogProcedure {
 public:
  bool on_command(Dialog&, int) override { return false; }
};

QLineEdit* edit(const TemplateDialog& dialog, int id) {
  return qobject_cast<QLineEdit*>(dialog.control(id));
}

QColor text_colour(const TemplateDialog& dialog, int id) {
  return edit(dialog, id)->palette().color(QPalette::Text);
}

TEST(TemplateDialog, HighlightDrawsAnEditFieldInAnotherColourAndBack) {
  NoCommands procedure;
  TemplateDialog dialog(*find_dialog_template("GPR_REGS"), procedure, nullptr);
  const int field = kGprFieldIds.field(8);
  const QColor usual = text_colour(dialog, field);
  dialog.set_highlight(field, true);
  EXPECT_NE(text_colour(dialog, field), usual);
  EXPECT_EQ(text_colour(dialog, kGprFieldIds.field(9)), usual);
  dialog.set_highlight(field, false);
  EXPECT_EQ(text_colour(dialog, field), usual);
  dialog.set_highlight(kIdStep, true);  // not an edit field: ignored
  dialog.set_highlight(4242, true);
}

// The three windows on real widgets, driven by their own procedures.
class RegisterWindowsOnScreen : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    owner.setCentralWidget(new QWidget);
    owner.resize(800, 600);
    owner.show();
  }

  QPointer<TemplateDialog> open(const char* name, RegisterWindowKind kind) {
    return open_modeless_dialog(name, register_window_procedure(kind), &owner);
  }

  TempDir dir;
  QMainWindow owner;
};

TEST_F(RegisterWindowsOnScreen, ShowTheRegistersStepAndGoAwayWhenClosed) {
  ASSERT_EQ(load_program_rom(dir, "addiu $t0, $zero, 0x1234\n nop"), 1);
  QPointer<TemplateDialog> gpr = open("GPR_REGS", RegisterWindowKind::gpr);
  QPointer<TemplateDialog> cp0 = open("CP0_REGS", RegisterWindowKind::cp0);
  QPointer<TemplateDialog> fpr = open("FPR_REGS", RegisterWindowKind::fpr);
  ASSERT_TRUE(gpr && cp0 && fpr);
  EXPECT_EQ(edit(*gpr, kGprFieldIds.field(29))->text(), "a4001ffc");
  EXPECT_EQ(edit(*cp0, kCp0FieldIds.pc)->text(), "4000040");
  EXPECT_EQ(edit(*fpr, kFprFieldIds.field(16))->text(), "0");

  const QColor usual = text_colour(*gpr, kGprFieldIds.field(8));
  QTest::mouseClick(gpr->control(kIdStep), Qt::LeftButton);
  EXPECT_EQ(edit(*gpr, kIdOpcode)->text(), "ADDIU t0,r0,1234");
  EXPECT_EQ(edit(*gpr, kGprFieldIds.field(8))->text(), "1234");
  EXPECT_NE(text_colour(*gpr, kGprFieldIds.field(8)), usual);
  EXPECT_EQ(text_colour(*gpr, kGprFieldIds.field(9)), usual);
  EXPECT_EQ(edit(*fpr, kFprFieldIds.pc)->text(), "4000044");

  save_screenshot(*gpr, "registers-gpr");
  save_screenshot(*cp0, "registers-cp0");
  save_screenshot(*fpr, "registers-fpr");

  // Qt deletes a closed window; later refreshes must not reach it.
  QTest::mouseClick(gpr->control(kIdOk), Qt::LeftButton);
  QTest::keyClick(cp0, Qt::Key_Escape);
  EXPECT_TRUE(fpr->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(gpr || cp0 || fpr);
  refresh_register_windows();
  EXPECT_EQ(shared.message_text().c_str(), std::string("4000044"));
}

}  // namespace
