// The search dialog: field rules and enabling through the number-field helper, and the
// search in a trace decoded from known pairs.
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "iicsearch.h"
#include "inputpaths.h"
#include "mainwindow_fixture.h"
#include "vclcontrols.h"

using namespace kevotest;

namespace {

KEVO_TEST_APPLICATION(KevoApplication);

class SearchTest : public MainWindowTest {
  protected:
    TF_Search* s = nullptr;

    void SetUp() override {
        MainWindowTest::SetUp();
        offlineStart();
        ASSERT_TRUE(waitFor([this] { return QApplication::activeWindow() == w; }));
        F_Search = s = new TF_Search(w);
        w->setSearchWindow(s);
        // Lines 00001 and 00003 read back after a repeated start; 00004 has a 2-byte sub-address.
        const uint8_t ok = StatusNoError | StatusNoStop;
        const std::vector<uint8_t> read = {
            StatusStart | ok, 0xA0, ok, 0x10, StatusRepStart | ok, 0xA1, ok, 0x3F, StatusNoError, 0x40};
        for (const auto& t : {telegram({0xA0, 0x00, 0x3F}), read, telegram({0x42, 0x12, 0x34, 0x56}), read,
                              telegram({0xA0, 0x12, 0x34, 0x55})})
            for (size_t i = 0; i < t.size(); i += 2) captureStore()->AppendBusEvent(t[i], t[i + 1]);
        DecodeTrace(0);
        w->UpdateFileCommands();  // the search command needs a log
        show();
    }
    void TearDown() override {
        F_Search = nullptr;
        MainWindowTest::TearDown();
    }
    void show() {
        w->miSearch->trigger();
        activate();
    }
    void activate() {
        if (QApplication::activeWindow() == s) return;
        // The offscreen platform activates a window only while another one is active.
        if (!QApplication::activeWindow()) w->activateWindow();
        ASSERT_TRUE(waitFor([] { return QApplication::activeWindow() != nullptr; }));
        s->activateWindow();
        ASSERT_TRUE(waitFor([this] { return QApplication::activeWindow() == s; }));
    }
    // Types into a field (replacing its text) and, unless told, leaves it.
    void enter(QLineEdit* e, const char* text, bool leave = true) {
        activate();
        e->setFocus(Qt::TabFocusReason);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, QString::fromUtf8(text));
        if (leave) s->CB_Repeat->setFocus(Qt::TabFocusReason);
    }
    void choose(int rdWr) { vcl::setChecked(s->RG_RdWr->button(rdWr), true); }
    std::string selected() const { return s8(w->RE_I2CMonitor->textCursor().selectedText()); }
    // The number of the trace line that holds the selection.
    std::string selectedLine() const {
        return traceText().substr(
            traceText().rfind('\n', w->RE_I2CMonitor->textCursor().selectionStart()) + 1, 5);
    }
};

TEST_F(SearchTest, ShowResetsTheFieldsButKeepsTheCheckBoxes) {
    EXPECT_FALSE(s->isModal());
    EXPECT_LE((s->frameGeometry().center() - w->frameGeometry().center()).manhattanLength(), 2);
    enter(s->LE_DevAdr, "A0");
    enter(s->LE_SubAdr, "10");
    choose(1);
    enter(s->LE_Byte[0], "3F");
    s->CB_StopCond->setChecked(true);
    s->BB_Cancel->click();
    EXPECT_FALSE(s->isVisible());
    show();
    for (QLineEdit* e : {s->LE_DevAdr, s->LE_SubAdr, s->LE_Byte[0]}) EXPECT_EQ(s8(e->text()), "");
    EXPECT_FALSE(s->LE_SubAdr->isEnabled() || s->RG_RdWr->isEnabled() || s->BB_Search->isEnabled());
    EXPECT_EQ(s->RG_RdWr->itemIndex(), 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s->LE_Byte[i]->isEnabled(), i == 0);
    EXPECT_EQ(s->focusWidget(), s->LE_DevAdr);
    EXPECT_TRUE(s->CB_StopCond->isChecked());
}

TEST_F(SearchTest, FieldRulesAndEnabling) {
    struct Step {
        QLineEdit* edit;
        const char* typed;
        bool leave;
        const char* shown;
    };
    const Step steps[] = {
        {s->LE_DevAdr, "1FF", false, "1F"},  {s->LE_DevAdr, "a0", false, "A0"},
        {s->LE_DevAdr, "5", true, "05"},     {s->LE_DevAdr, "0", true, ""},
        {s->LE_Byte[0], "1FF", true, "1F"},  {s->LE_SubAdr, "x1g2", false, "12"},
        {s->LE_SubAdr, "123", true, "0123"}, {s->LE_SubAdr, "100", true, "0100"},
    };
    for (const Step& st : steps) {
        if (st.edit == s->LE_SubAdr) enter(s->LE_DevAdr, "A0");
        enter(st.edit, st.typed, st.leave);
        EXPECT_EQ(s8(st.edit->text()), st.shown) << st.typed;
    }
    // 0 left empties the address: no sub-address, nothing to search.
    enter(s->LE_Byte[0], "");
    enter(s->LE_DevAdr, "0");
    EXPECT_FALSE(s->LE_SubAdr->isEnabled() || s->BB_Search->isEnabled());
    enter(s->LE_DevAdr, "A0");
    enter(s->LE_SubAdr, "10");
    EXPECT_TRUE(s->RG_RdWr->isEnabled());
    enter(s->LE_SubAdr, "00");
    EXPECT_FALSE(s->RG_RdWr->isEnabled());  // "gelesen" cannot be chosen for sub-address 00
    // A read address: sub-address and choice disabled, "gelesen" chosen.
    enter(s->LE_DevAdr, "A1");
    EXPECT_FALSE(s->LE_SubAdr->isEnabled() || s->RG_RdWr->isEnabled());
    EXPECT_EQ(s->RG_RdWr->itemIndex(), 1);
    EXPECT_EQ(s8(s->LE_SubAdr->text()), "");
    // Emptying byte 2 disables byte 3 and drops it from the pattern.
    for (int i = 0; i < 3; ++i) enter(s->LE_Byte[i], i == 0 ? "12" : i == 1 ? "34" : "56");
    EXPECT_EQ(s8(s->BuildSearchPattern()), "»A1 12 34 56");
    enter(s->LE_Byte[1], "");
    EXPECT_FALSE(s->LE_Byte[2]->isEnabled());
    EXPECT_EQ(s8(s->BuildSearchPattern()), "»A1 12");
    for (int i = 0; i < 4; ++i) {  // each byte enables the next, up to the fifth
        enter(s->LE_Byte[i], "11");
        EXPECT_TRUE(s->LE_Byte[i + 1]->isEnabled()) << i;
    }
}

TEST_F(SearchTest, SearchStepsFromMatchToMatchAndReportsTheEnd) {
    enter(s->LE_DevAdr, "A0");
    enter(s->LE_SubAdr, "10");
    choose(1);
    enter(s->LE_Byte[0], "3F");
    enter(s->LE_Byte[1], "40");
    s->CB_StopCond->setChecked(true);
    QTest::mouseClick(s->BB_Search, Qt::LeftButton);
    EXPECT_EQ(selected(), "»A0 10»A1 3F 40«");
    EXPECT_EQ(selectedLine(), "00001");
    s->BB_Search->click();  // without repeat: the first match again
    EXPECT_EQ(selectedLine(), "00001");
    s->CB_Repeat->setChecked(true);
    s->BB_Search->click();
    EXPECT_EQ(selectedLine(), "00003");
    s->BB_Search->click();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Keine Übereinstimmung gefunden");
    EXPECT_EQ(selectedLine(), "00003");  // the selection stays

    // Data only: matches inside a telegram; a two-byte sub-address finds its two pairs.
    s->CB_Repeat->setChecked(false);
    s->CB_StopCond->setChecked(false);
    enter(s->LE_DevAdr, "");
    enter(s->LE_Byte[0], "12");
    enter(s->LE_Byte[1], "34");
    s->BB_Search->click();
    EXPECT_EQ(selected() + selectedLine(), " 12 3400002");
    enter(s->LE_Byte[1], "");
    enter(s->LE_Byte[0], "55");
    enter(s->LE_DevAdr, "A0");
    enter(s->LE_SubAdr, "1234");
    choose(0);
    s->BB_Search->click();
    EXPECT_EQ(selected(), "»A0 12 34 55");

    // Repeat with the caret at the end: reported at once.
    s->CB_Repeat->setChecked(true);
    w->RE_I2CMonitor->setCaretPos(w->RE_I2CMonitor->textLength());
    s->BB_Search->click();
    EXPECT_EQ(messages().size(), 2u);
}

// The read/write choice and the two check boxes on every input path: the match that the
// search then selects, from the start or onwards, or the message that there is none.
TEST_F(SearchTest, ChoiceAndCheckBoxesFollowEveryInputPath) {
    struct Row {
        QAbstractButton* control;
        const char* selected;  // nullptr: no match
        const char* line;
    } const rows[] = {
        {s->RG_RdWr->button(1), "»A0 10»A1 3F 40", "00001"}, {s->CB_StopCond, "»A0 10»A1 3F 40«", "00001"},
        {s->CB_Repeat, "»A0 10»A1 3F 40«", "00003"},         {s->CB_Repeat, "»A0 10»A1 3F 40«", "00001"},
        {s->CB_StopCond, "»A0 10»A1 3F 40", "00001"},        {s->RG_RdWr->button(0), nullptr, nullptr},
    };
    for (kevosupport::InputPath path : kevosupport::kInputPaths) {
        SCOPED_TRACE(kevosupport::pathName(path));
        s->BB_Cancel->click();
        show();
        enter(s->LE_DevAdr, "A0");
        enter(s->LE_SubAdr, "10");
        enter(s->LE_Byte[0], "3F");
        enter(s->LE_Byte[1], "40");
        for (const Row& r : rows) {
            SCOPED_TRACE(r.control->text().toStdString());
            const size_t before = messages().size();
            kevosupport::operate(r.control, path);
            s->BB_Search->click();
            if (!r.selected) {
                ASSERT_EQ(messages().size(), before + 1);
                EXPECT_EQ(messages().back().text, "Keine Übereinstimmung gefunden");
                continue;
            }
            EXPECT_EQ(messages().size(), before);
            EXPECT_EQ(selected(), r.selected);
            EXPECT_EQ(selectedLine(), r.line);
        }
    }
}

}  // namespace
