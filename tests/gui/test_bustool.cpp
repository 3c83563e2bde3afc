// The bus telegram tool on the offscreen platform against the simulated bus: the field rules,
// read and write telegrams, the replies and the messages, the link count after every click.
#include "inifile.h"
#include "inputpaths.h"
#include "tools_fixture.h"

KEVO_TEST_APPLICATION(KevoApplication);

using namespace kevotest;
using kevosupport::InputPath;

namespace {

class BusToolTest : public ToolWindowTest {
  protected:
    TF_BusTool* t = nullptr;

    void SetUp() override {
        ToolWindowTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(start());
        t = F_BusTool;
        t->move(200, 120);
        w->miBusTool->trigger();  // shown by the main window's command
        ASSERT_TRUE(QTest::qWaitForWindowExposed(t));
        t->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(t));
        sim->clearLog();
    }

    void receive() {
        const int count = LinkOpenCount;
        t->TB_Receive->trigger();
        EXPECT_EQ(LinkOpenCount, count) << "the click gives its link reference back";
    }
    void send() {
        const int count = LinkOpenCount;
        t->TB_Send->trigger();
        EXPECT_EQ(LinkOpenCount, count);
    }
    QString received(int k) const { return t->BusToolEdits[size_t(16 + k)]->text(); }
    std::string lastMessage() const { return messages().empty() ? "" : messages().back().text; }
};

}  // namespace

TEST_F(BusToolTest, ShowingLoadsTheSettingsAndSetsTheCheckMark) {
    EXPECT_TRUE(w->miBusTool->isChecked());
    EXPECT_TRUE(t->RB_1ByteSub->isChecked());  // built-in: 0xA0, 1 byte, count 1
    for (int i = 0; i < 16; ++i) EXPECT_EQ(t->BusToolEdits[size_t(i)]->isEnabled(), i < 1) << i;

    // A stored odd address and no sub-address: everything of the sub-address disabled.
    for (int k = 0; k < 16; ++k) t->BusToolEdits[size_t(16 + k)]->setText("old");
    t->hide();
    EXPECT_FALSE(w->miBusTool->isChecked());
    ProjectSettings.BusDevAddr = 0x91;
    ProjectSettings.BusSubBytes = 0;
    ProjectSettings.BusSubAddr = 0x1234;
    t->show();
    EXPECT_TRUE(t->RB_noSub->isChecked());
    EXPECT_FALSE(t->RB_2ByteSub->isEnabled());
    EXPECT_FALSE(t->E_SubAdress->isEnabled());
    EXPECT_EQ(ProjectSettings.BusSubAddr, 0x1234) << "\"Nein\" keeps the sub-address";
    for (int k = 0; k < 16; ++k) EXPECT_EQ(received(k), "") << "showing empties the receive fields";
}

TEST_F(BusToolTest, ShowingBringsValuesOutsideTheFieldsInByTheFieldRules) {
    // Put into the settings record directly. The stored width's rule applies whichever button
    // was selected before the showing.
    struct Case {
        std::int32_t dev, subBytes, sub, count;
        const char *devText, *subText, *countText;
        std::int32_t devStored, subStored, countStored;
        const char* wire;
        QRadioButton* before;
    } cases[] = {
        {0x1A0, 1, 0x1A0, 0x20, "0x1A", "0xA0", "0x02", 0x1A, 0xA0, 2, ",W2,1ASA0,00,00", t->RB_1ByteSub},
        {0xA0, 1, 0x1234, 1, "0xA0", "0x34", "0x01", 0xA0, 0x34, 1, ",W1,A0S34,00", t->RB_1ByteSub},
        {0xA0, 1, 0x1234, 1, "0xA0", "0x34", "0x01", 0xA0, 0x34, 1, ",W1,A0S34,00", t->RB_noSub},
        {4, 2, 0x12345, -1, "0x10", "0x1234", "0x00", 16, 0x1234, 0, ",W0,10W1234", t->RB_1ByteSub},
    };
    for (const Case& c : cases) {
        c.before->click();
        t->hide();
        TProjectSettings& s = ProjectSettings;
        s.BusDevAddr = c.dev;
        s.BusSubBytes = c.subBytes;
        s.BusSubAddr = c.sub;
        s.BusDataBytes = c.count;
        t->show();
        EXPECT_EQ(t->E_DevAdr->text(), c.devText) << c.wire;
        EXPECT_EQ(t->E_SubAdress->text(), c.subText) << c.wire;
        EXPECT_EQ(t->E_AnzBytes->text(), c.countText) << c.wire;
        EXPECT_EQ(s.BusDevAddr, c.devStored) << c.wire;
        EXPECT_EQ(s.BusSubAddr, c.subStored) << c.wire;
        EXPECT_EQ(s.BusDataBytes, c.countStored) << c.wire;
        sim->clearLog();
        send();
        EXPECT_EQ(sim->busLog(), std::vector<std::string>{c.wire});
    }
    // Kept behind "Nein", a sub-address beyond two bytes comes in by the field's rules when
    // "2 Byte" is chosen.
    t->hide();
    ProjectSettings.BusSubBytes = 0;
    ProjectSettings.BusSubAddr = 0x12345;
    t->show();
    QTest::mouseClick(t->RB_2ByteSub, Qt::LeftButton, {}, QPoint(6, t->RB_2ByteSub->height() / 2));
    EXPECT_EQ(t->E_SubAdress->text(), "0x1234");
    EXPECT_EQ(ProjectSettings.BusSubAddr, 0x1234);
    sim->clearLog();
    send();
    EXPECT_EQ(sim->busLog(), std::vector<std::string>{",W0,10W1234"});
}

TEST_F(BusToolTest, NumberFieldsFollowTheirRows) {
    struct Case {
        QLineEdit* edit;
        const char* typed;
        const char* whileTyping;
        const char* left;
    } cases[] = {
        {t->E_DevAdr, "0xFF", "0xF", "0x10"},
        {t->E_DevAdr, "200", "200", "0xC8"},
        {t->E_DevAdr, "", "", "0x10"},
        {t->E_AnzBytes, "0x11", "0x1", "0x01"},
        {t->E_AnzBytes, "0x10", "0x10", "0x10"},
        {t->E_SByte3, "0x1FF", "0x1F", "0x1F"},
        {t->E_SubAdress, "0x1FF", "0x1F", "0x1F"},  // 1-byte width: 255 at most
    };
    for (const Case& c : cases) {
        c.edit->setEnabled(true);
        type(c.edit, QString::fromUtf8(c.typed));
        EXPECT_EQ(c.edit->text(), c.whileTyping) << c.typed;
        QTest::keyClick(c.edit, Qt::Key_Tab);
        EXPECT_EQ(c.edit->text(), c.left) << c.typed;
    }
    EXPECT_EQ(ProjectSettings.BusDevAddr, 16);
    EXPECT_EQ(ProjectSettings.BusDataBytes, 16);
    EXPECT_EQ(ProjectSettings.BusSendData[3], 0x1F);
    EXPECT_EQ(ProjectSettings.BusSubAddr, 0x1F);

    // Two-byte width takes 0xFFFF; one byte cuts it to 0xFF; back to two bytes shows 0x00FF.
    t->RB_2ByteSub->click();
    typeAndLeave(t->E_SubAdress, "0xFFFF");
    EXPECT_EQ(t->E_SubAdress->text(), "0xFFFF");
    t->RB_1ByteSub->click();
    EXPECT_EQ(t->E_SubAdress->text(), "0xFF");
    EXPECT_EQ(ProjectSettings.BusSubAddr, 0xFF);
    t->RB_2ByteSub->click();
    EXPECT_EQ(t->E_SubAdress->text(), "0x00FF");
    t->RB_noSub->click();
    EXPECT_EQ(t->E_SubAdress->text(), "0x00");
    EXPECT_FALSE(t->E_SubAdress->isEnabled());
    EXPECT_EQ(ProjectSettings.BusSubBytes, 0);

    // A count of 0 disables every send field; they keep their values.
    typeAndLeave(t->E_AnzBytes, "");
    EXPECT_EQ(ProjectSettings.BusDataBytes, 0);
    EXPECT_FALSE(t->E_SByte0->isEnabled());
    EXPECT_EQ(t->E_SByte3->text(), "0x1F");
    type(t->E_DevAdr, "0x1");  // a switch to another window while typing leaves no field
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == w; }));
    EXPECT_EQ(t->E_DevAdr->text(), "0x1");
}

TEST_F(BusToolTest, ReadsTheRegisterDeviceAndEmptiesTheFieldsBeyondTheReply) {
    for (int k = 0; k < 16; ++k) t->BusToolEdits[size_t(16 + k)]->setText("old");
    typeAndLeave(t->E_DevAdr, "0x90");
    typeAndLeave(t->E_AnzBytes, "5");
    receive();
    EXPECT_EQ(sim->busLog(), std::vector<std::string>{",R5,90S00"});
    const char* expected[] = {"0x19", "0x80", "0x4B", "0x00", "0x50"};
    for (int k = 0; k < 16; ++k) EXPECT_EQ(received(k), k < 5 ? expected[k] : "") << k;
    EXPECT_TRUE(messages().empty());

    // While a recording holds the link, the click shares it and leaves it open.
    ASSERT_TRUE(ComOpen());
    receive();
    EXPECT_EQ(LinkOpenCount, 1);
    // Answers later than the wait fail their own reads and never show as the next read's.
    sim->setReplyDelayMs(kLateReplyMs);
    receive();
    typeAndLeave(t->E_DevAdr, "0xA0");
    receive();
    sim->setReplyDelayMs(0);
    EXPECT_EQ(messages().size(), 2u) << "a read showed the answer of the read before it";
    ComClose();

    // An odd address reads directly, whatever the width.
    typeAndLeave(t->E_DevAdr, "0xA1");
    EXPECT_FALSE(t->RB_1ByteSub->isEnabled());
    EXPECT_FALSE(t->E_SubAdress->isEnabled());
    typeAndLeave(t->E_AnzBytes, "1");
    sim->clearLog();
    receive();
    EXPECT_EQ(sim->busLog(), std::vector<std::string>{",R1,A1"});
}

TEST_F(BusToolTest, WritesAndReadsBackAnEepromWithUnconfirmedTextUsed) {
    typeAndLeave(t->E_SubAdress, "0x10");
    typeAndLeave(t->E_AnzBytes, "2");
    typeAndLeave(t->E_SByte0, "0x12");
    type(t->E_SByte1, "0x34");  // not left: the click commits it first
    send();
    EXPECT_EQ(sim->busLog(), std::vector<std::string>{",W2,A0S10,12,34"});
    EXPECT_EQ(sim->memory(0xA0)[0x10], 0x12);
    EXPECT_EQ(sim->memory(0xA0)[0x11], 0x34);

    type(t->E_AnzBytes, "4");  // typed, not confirmed
    receive();
    EXPECT_EQ(sim->busLog().back(), ",R4,A0S10");
    EXPECT_EQ(received(0), "0x12");
    EXPECT_EQ(received(1), "0x34");
    EXPECT_EQ(received(2), "0xFF");

    // A count of 0 sends the address part only and reads nothing.
    typeAndLeave(t->E_AnzBytes, "0");
    send();
    receive();
    EXPECT_EQ(sim->busLog().back(), ",W0,A0S10");
    EXPECT_TRUE(messages().empty());
}

TEST_F(BusToolTest, FailuresGiveTheirMessagesAtTheToolWindow) {
    for (int k = 0; k < 16; ++k) t->BusToolEdits[size_t(16 + k)]->setText("keep");
    // No device at 0xB0: status 01 for read and write.
    typeAndLeave(t->E_DevAdr, "0xB0");
    receive();
    EXPECT_EQ(lastMessage(), "Acknowledgefehler!\nBaustein antwortet nicht");
    ASSERT_FALSE(messages().empty());
    EXPECT_EQ(messages().back().x, t->x() + 150);
    EXPECT_EQ(messages().back().y, t->y() + 150);
    typeAndLeave(t->E_DevAdr, "0xA0");
    sim->failNextBus("02", 1);
    send();
    EXPECT_EQ(lastMessage(), "Schreiben des Bausteines fehlgeschlagen!");

    // An empty reply (offline: nothing is sent).
    OfflineMode = true;
    receive();
    EXPECT_EQ(lastMessage(), "Datenübertragung fehlgeschlagen!\nVerbindung prüfen.");
    OfflineMode = false;

    // Status characters that are no number: the event loop's box, link closed.
    sim->setReply(",R1,A0S00", ",rXY,12");
    const size_t before = messages().size();
    receive();
    ASSERT_EQ(messages().size(), before + 1);
    EXPECT_NE(lastMessage().find("kein gültiger"), std::string::npos) << lastMessage();

    // Even address without sub-address: the message, nothing sent.
    t->RB_noSub->click();
    sim->clearLog();
    receive();
    EXPECT_EQ(lastMessage(), "Baustein Leseadresse (+0x01) oder Subadresse angeben!");
    EXPECT_TRUE(sim->busLog().empty());
    typeAndLeave(t->E_AnzBytes, "0");  // a count of 0 ends the read before that check
    const size_t shown = messages().size();
    receive();
    EXPECT_EQ(messages().size(), shown);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(received(k), "keep") << "failures keep the receive fields";
}

// The sub-address buttons on every input path: the width, the sub-address and its field, and
// the telegram that follows. A button acts only when the operation selects it: operating the
// selected "1 Byte" keeps a stored two-byte sub-address. With typed (not null) the caret is in
// the sub-address field with that text typed (nothing for "") when the button is operated.
TEST_F(BusToolTest, SubAddressButtonsActOnEveryInputPathOnlyWhenNewlySelected) {
    struct Row {
        QRadioButton* button;
        std::int32_t subBytes, subAddr;
        const char* field;
        bool fieldEnabled;
        const char* telegram;
        const char* typed = nullptr;
    } const rows[] = {
        {t->RB_1ByteSub, 1, 0x1234, "0x10", true, nullptr},
        {t->RB_2ByteSub, 2, 0x1234, "0x1234", true, ",W1,A0W1234,00"},
        {t->RB_noSub, 0, 0x1234, "0x00", false, ",W1,A0,00"},
        {t->RB_1ByteSub, 1, 0x34, "0x34", true, ",W1,A0S34,00"},
        {t->RB_2ByteSub, 2, 0x34, "0x0034", true, ",W1,A0W0034,00"},
        {t->RB_noSub, 0, 0x34, "0x00", false, ",W1,A0,00", ""},
        {t->RB_2ByteSub, 2, 0x34, "0x0034", true, nullptr},
        {t->RB_1ByteSub, 1, 0x56, "0x56", true, nullptr, "0x1256"},
        {t->RB_2ByteSub, 2, 0x78, "0x0078", true, nullptr, "0x78"},
    };
    for (InputPath path : kevosupport::kInputPaths) {
        SCOPED_TRACE(kevosupport::pathName(path));
        typeAndLeave(t->E_SubAdress, "0x10");
        t->RB_1ByteSub->click();
        ProjectSettings.BusSubAddr = 0x1234;  // as a project stores it
        for (const Row& r : rows) {
            SCOPED_TRACE(r.button->text().toStdString());
            if (r.typed && *r.typed) type(t->E_SubAdress, r.typed);
            if (r.typed) t->E_SubAdress->setFocus();
            kevosupport::operate(r.button, path);
            EXPECT_TRUE(r.button->isChecked());
            EXPECT_EQ(ProjectSettings.BusSubBytes, r.subBytes);
            EXPECT_EQ(ProjectSettings.BusSubAddr, r.subAddr);
            EXPECT_EQ(t->E_SubAdress->text(), r.field);
            EXPECT_EQ(t->E_SubAdress->isEnabled(), r.fieldEnabled);
            if (!r.telegram) continue;
            sim->clearLog();
            send();
            EXPECT_EQ(sim->busLog(), std::vector<std::string>{r.telegram});
        }
    }
}

// A field set without the caret in it (as a screen reader sets it) is what each command sends.
TEST_F(BusToolTest, EachCommandTakesAFieldSetWithoutTheCaret) {
    for (bool sending : {false, true}) {
        SCOPED_TRACE(sending ? "send" : "receive");
        type(t->E_SubAdress, "0x05");  // the caret stays here
        t->E_DevAdr->setText("0xAE");
        sim->clearLog();
        sending ? send() : receive();
        EXPECT_EQ(sim->busLog(), std::vector<std::string>{sending ? ",W1,AES05,00" : ",R1,AES05"});
        typeAndLeave(t->E_DevAdr, "0xA0");
    }
    type(t->E_SByte0, "0x33");  // saving the project takes it too
    w->miSaveProjClick();
    EXPECT_EQ(ini::GetPrivateProfileString("Bustool", "Sendedaten", "", w->ConfigPath).substr(0, 2), "33");
}

// A project opened or created while the tool is open: what is typed goes into the project it
// was typed for (saved with it), then every field shows the new project and is what is sent.
TEST_F(BusToolTest, OpenedOrNewProjectShowsInEveryField) {
    TProjectSettings& s = ProjectSettings;
    s.AutoSaveProject = 1;
    s.BusDevAddr = 0xAE, s.BusSubAddr = 0x05, s.BusSendData[0] = 0x99;
    const std::string opened = w->ProjectDir + "p.kvo", old = w->ProjectDir + "old.kvo";
    ASSERT_TRUE(SaveProjectFile(opened, *w));
    s.BusDevAddr = 0x90, s.BusSubAddr = 0x03, s.BusSendData[0] = 0x44;
    w->ProjectPath.clear();
    ASSERT_TRUE(SaveProjectFile("", *w));  // the default project that New starts from
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "open" : "new");
        s.BusDevAddr = 0xA0, s.BusSubAddr = 0, s.BusSendData[0] = 0x11;
        w->ProjectPath = old;
        t->hide();
        t->show();
        t->BusToolEdits[16]->setText("0x5A");  // read from 0xA0
        type(t->E_SByte0, "0x22");             // not left
        w->DocFlags = 0;
        answers = {{dialogs::mrOk, open ? opened : std::string()}};  // New: the name, cancelled
        open ? w->miOpenProjClick() : w->miNewProjektClick();
        EXPECT_EQ(ini::GetPrivateProfileString("Bustool", "Sendedaten", "", old).substr(0, 2), "22");
        EXPECT_EQ(QStringList({t->E_DevAdr->text(), t->E_SubAdress->text(), t->E_SByte0->text()}).join(' '),
                  open ? "0xAE 0x05 0x99" : "0x90 0x03 0x44");
        EXPECT_EQ(received(0), "");
        sim->clearLog();
        receive();
        EXPECT_EQ(sim->busLog(), std::vector<std::string>{open ? ",R1,AES05" : ",R1,90S03"});
    }
}
