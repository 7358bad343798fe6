// The real message boxes on Qt, inspected and closed by a timer as a person
// would: what only Qt's boxes show (the toolkit's contract: tests/toolkit).
#include "app/toolkit/dialogs.h"

#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/toolkit/application.h"

namespace {

struct SeenBox {
  bool seen = false;
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  bool okButton = false;
  Qt::WindowModality modality = Qt::NonModal;
  bool onTop = false;
};

// Polls for the open box, records it and presses its OK button.
void CloseBoxWhenItOpens(SeenBox& seen) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen.seen = true;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->buttons().size());
    seen.okButton = box->button(QMessageBox::Ok) != nullptr;
    seen.modality = box->windowModality();
    seen.onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (seen.okButton) box->button(QMessageBox::Ok)->click();
    poll->deleteLater();
  });
  poll->start(5);
}

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousName = QApplication::applicationDisplayName();
    // The title set for the program wins over Qt's display name.
    QApplication::setApplicationDisplayName("tests_app");
    tk::SetApplicationTitle("Zorvex Firmware Flash Utility");
  }
  void TearDown() override { QApplication::setApplicationDisplayName(previousName); }
  QString previousName;
  tk::WindowDialogs dialogs;
};

TEST_F(DialogsTest, PlainBoxHasNoIconOneOkAndApplicationTitle) {
  SeenBox seen;
  CloseBoxWhenItOpens(seen);
  dialogs.ShowMessage("ERROR\x82\xc5\x82\xb7");  // "ERRORです"
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.caption, "Zorvex Firmware Flash Utility");
  EXPECT_EQ(seen.text, QString::fromUtf8(u8"ERRORです"));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_TRUE(seen.okButton);
  EXPECT_NE(seen.modality, Qt::NonModal);
  EXPECT_TRUE(seen.onTop);
}

TEST_F(DialogsTest, FatalBoxHasErrorIconGivenCaptionAndBlocksTheApplication) {
  SeenBox seen;
  CloseBoxWhenItOpens(seen);
  dialogs.ShowFatalError("wnaspi32.dll", "ASPI32 error");
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.caption, "ASPI32 error");
  EXPECT_EQ(seen.text, "wnaspi32.dll");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.modality, Qt::ApplicationModal);
  EXPECT_TRUE(seen.onTop);
}

}  // namespace
