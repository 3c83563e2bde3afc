// The number-field binding on real line edits: typing, leaving, committing before a command.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

#include "dialogseam.h"
#include "numberedit.h"
#include "qtapp.h"
#include "xinput.h"

KEVO_TEST_APPLICATION(QApplication);

namespace {

class NumberEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialogs::setResponder([this](const dialogs::Request& r) {
            asked.push_back(r.text);
            return dialogs::Response{dialogs::mrOk, {}};
        });
        win = std::make_unique<QWidget>();
        auto* lay = new QVBoxLayout(win.get());
        for (QLineEdit*& e : edits) lay->addWidget(e = new QLineEdit(win.get()));
        lay->addWidget(button = new QPushButton("Senden", win.get()));
        // "0x"+HH, maximum 239, values below 16 stored as 16 (as the telegram tool's address).
        addr = NumberEdit::bind(edits[0], {NumberField::prefixed(NumberFormat::hexByte()), [] { return 239; },
                                           [this] { ++changes; },
                                           [this](std::int32_t v) {
                                               stored = v < 16 ? 16 : v;
                                               return addr->canonical(stored);
                                           }});
        // Hex digits, "0x" implied and never shown.
        search = NumberEdit::bind(edits[1], {NumberField::impliedHex(2),
                                             [] { return 0xFF; },
                                             {},
                                             [this](std::int32_t v) {
                                                 searched = v;
                                                 return v ? search->canonical(v) : QString();
                                             }});
        win->show();
        win->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(win.get()));
    }
    void TearDown() override {
        win.reset();
        dialogs::setResponder({});
    }
    void type(QLineEdit* e, const char* text) {
        e->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(e, QString::fromUtf8(text));
    }

    std::unique_ptr<QWidget> win;
    QLineEdit* edits[3] = {nullptr, nullptr, nullptr};
    QPushButton* button = nullptr;
    NumberEdit* addr = nullptr;
    NumberEdit* search = nullptr;
    std::int32_t stored = -1, searched = -1;
    int changes = 0;
    std::vector<std::string> asked;
};

}  // namespace

TEST_F(NumberEditTest, TypingCapsAndKeepsTheCaretLeavingStoresAndRewrites) {
    type(edits[0], "0xFF");
    EXPECT_EQ(edits[0]->text(), "0xF");
    EXPECT_EQ(stored, -1);  // nothing stored while typing
    EXPECT_GT(changes, 0);

    edits[0]->setCursorPosition(2);
    QTest::keyClicks(edits[0], "z");
    EXPECT_EQ(edits[0]->text(), "0xF");
    EXPECT_EQ(edits[0]->cursorPosition(), 3);  // where typing left it, within the new text

    edits[2]->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(stored, 16);
    EXPECT_EQ(edits[0]->text(), "0x10");

    type(edits[1], "a0");
    EXPECT_EQ(edits[1]->text(), "A0");
    edits[2]->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(searched, 0xA0);
    edits[1]->clear();
    type(edits[1], "0");
    edits[2]->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(edits[1]->text(), "");  // the owner's choice for 0

    edits[0]->setFocus(Qt::TabFocusReason);
    addr->assign("0x50");  // the program's text: disabling the focused field leaves nothing
    edits[0]->setEnabled(false);
    EXPECT_EQ(stored, 16);
    edits[0]->setEnabled(true);
    edits[0]->clear();
    type(edits[0], "0x60");  // the user's text is left all the same
    edits[0]->setEnabled(false);
    EXPECT_EQ(stored, 0x60);
}

TEST_F(NumberEditTest, CommitPendingRunsTheLeavingRuleOnce) {
    type(edits[0], "200");
    int leaves = 0;
    const auto count = QObject::connect(edits[0], &QLineEdit::textChanged, [&] { ++leaves; });
    NumberEdit::commitPending(win.get());
    EXPECT_EQ(stored, 200);
    EXPECT_EQ(edits[0]->text(), "0xC8");
    EXPECT_EQ(leaves, 1);
    EXPECT_NE(QApplication::focusWidget(), edits[0]);
    QObject::disconnect(count);

    // A window that is not active cannot move the focus: the rule runs all the same.
    edits[0]->setFocus();
    edits[0]->setText("0x30");
    win->hide();
    NumberEdit::commitPending(win.get());
    EXPECT_EQ(stored, 0x30);
}

TEST_F(NumberEditTest, SetTextRunsTheRuleAndAPastedHugeNumberIsReported) {
    addr->setText("0xFFF");
    EXPECT_EQ(edits[0]->text(), "0xF");
    addr->assign("0x05");  // shown as it stands
    EXPECT_EQ(edits[0]->text(), "0x05");

    edits[0]->setFocus(Qt::TabFocusReason);
    edits[0]->selectAll();
    QApplication::clipboard()->setText("99999999999");
    edits[0]->paste();
    EXPECT_EQ(edits[0]->text(), "0x05");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("kein gültiger ganzzahliger Wert"), std::string::npos);

    // A screen reader's edit sets the text without typing: cleaned and capped all the same.
    QAccessibleInterface* ai = QAccessible::queryAccessibleInterface(edits[0]);
    ASSERT_TRUE(ai && ai->editableTextInterface());
    const int before = changes;
    ai->setText(QAccessible::Value, QStringLiteral("0x1FF"));
    EXPECT_EQ(edits[0]->text(), "0x1F");
    ai->editableTextInterface()->insertText(4, QStringLiteral("z"));
    EXPECT_EQ(edits[0]->text(), "0x1F");
    EXPECT_GT(changes, before);
}

// On an X server of its own: a click on another field of the window, coming back from another
// window, arrives before the activation, which then gives that field the focus at once.
class NumberEditOnX : public NumberEditTest {};

TEST_F(NumberEditOnX, LeftThroughAnotherWindow) {
    if (!kevosupport::onX()) GTEST_SKIP() << "needs an X server";
    QWidget other;
    other.setGeometry(win->frameGeometry().right() + 40, win->y(), 200, 100);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    type(edits[0], "0x60");
    kevosupport::xclick(&other, {50, 50});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &other; }));
    kevosupport::xclick(edits[2], {5, 5});
    EXPECT_TRUE(QTest::qWaitFor([&] { return stored == 0x60; }));
    EXPECT_EQ(QApplication::focusWidget(), edits[2]);
}
