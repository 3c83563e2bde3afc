// Identification and the analyzer configuration against the adapter simulator over a
// real pty, with the Retry/Ignore box answered through the dialog seam.
#include <vector>

#include "test_adapter_fixture.h"

using namespace adaptertest;

namespace {

const char* const kFirmware = "RAFU I2C-Analyzer V1.20";
const char* const kLinkError =
    "Die Datenverbindung zum RAFU konnte nicht hergestellt werden\n        Bitte überprüfen Sie das "
    "Datenkabel";

class Identification : public AdapterTest {
  protected:
    void expectNoDevice() {
        EXPECT_EQ(DeviceInfo.FirmwareText, "kein Gerät");
        EXPECT_EQ(DeviceInfo.SerialNumber, "");
        EXPECT_EQ(DeviceInfo.ShortSerial, "----");
        EXPECT_EQ(DeviceInfo.OptionsText, "");
        EXPECT_EQ(DeviceInfo.SystemClock, 24000000);
    }
    void expectLinkClosed() {
        EXPECT_EQ(LinkOpenCount, 0);
        EXPECT_FALSE(portHeld());
    }
};

class AnalyzerSetup : public Identification {
  protected:
    std::vector<dialogs::Request> boxes;
    // Answers the boxes in turn; a box beyond the script is answered with Ignore.
    void script(std::vector<int> answers, std::function<void()> onBox = {}) {
        dialogs::setResponder([this, answers, onBox](const dialogs::Request& r) {
            boxes.push_back(r);
            if (onBox) onBox();
            const size_t i = boxes.size() - 1;
            return dialogs::Response{i < answers.size() ? answers[i] : int(dialogs::mrIgnore), {}};
        });
    }
};

TEST_F(Identification, StandardAndPllAdapter) {
    ReadDeviceInfo();
    EXPECT_EQ(DeviceInfo.FirmwareText, kFirmware);
    EXPECT_EQ(DeviceInfo.SerialNumber, "RA0512345678");
    EXPECT_EQ(DeviceInfo.ShortSerial, "5678");
    EXPECT_EQ(DeviceInfo.OptionsText, "Standard");
    EXPECT_EQ(DeviceInfo.PllMode, 0);
    EXPECT_EQ(DeviceInfo.SystemClock, 24000000);
    expectLinkClosed();

    sim->setPll(true);
    sim->setSerial("12");
    ReadDeviceInfo();
    EXPECT_EQ(DeviceInfo.ShortSerial, "12");
    EXPECT_EQ(DeviceInfo.OptionsText, "PLL-Takterzeugung");
    EXPECT_EQ(DeviceInfo.PllMode, 1);
    EXPECT_EQ(DeviceInfo.SystemClock, 36000000);
    expectLinkClosed();
}

TEST_F(Identification, OptionsReplyWithoutPllDigitKeepsTheMode) {
    sim->setPll(true);
    ReadDeviceInfo();
    ASSERT_EQ(DeviceInfo.PllMode, 1);

    for (const char* reply : {"x", "xC", "xCz"}) {
        sim->setOptionsReply(reply);
        ReadDeviceInfo();
        EXPECT_EQ(DeviceInfo.OptionsText, "Standard") << reply;
        EXPECT_EQ(DeviceInfo.PllMode, 1) << reply;
        EXPECT_EQ(DeviceInfo.SystemClock, 36000000) << reply;  // follows the kept mode
        EXPECT_EQ(DeviceInfo.FirmwareText, kFirmware) << reply;
        expectLinkClosed();
    }
}

TEST_F(Identification, NoLinkOrOffline) {
    sim->setPll(true);
    ReadDeviceInfo();
    ASSERT_EQ(DeviceInfo.PllMode, 1);

    ASSERT_EQ(select(absentPort("COM12")), 0);
    ReadDeviceInfo();
    expectNoDevice();
    EXPECT_EQ(DeviceInfo.PllMode, 1);  // kept
    EXPECT_EQ(LinkOpenCount, 0);

    ASSERT_EQ(select("COM3"), 1);
    ReadDeviceInfo();
    ASSERT_EQ(DeviceInfo.ShortSerial, "5678");
    OfflineMode = true;
    sim->clearLog();
    ReadDeviceInfo();
    expectNoDevice();
    EXPECT_TRUE(sim->rawReceived().empty());
}

TEST_F(Identification, AdapterThatAnswersBadlyOrNot) {
    // Open works, then every query fails in a different way.
    sim->setReply("$", "$");  // the echo only
    sim->setReply("#", "");   // acknowledged, no answer
    sim->setReply("2", "");
    ReadDeviceInfo();
    EXPECT_EQ(DeviceInfo.FirmwareText, "");
    EXPECT_EQ(DeviceInfo.SerialNumber, "");
    EXPECT_EQ(DeviceInfo.ShortSerial, "");
    EXPECT_EQ(DeviceInfo.OptionsText, "Standard");
    expectLinkClosed();

    // Half a firmware reply, no serial reply, and silence for "2".
    sim->clearReplies();
    sim->clearLog();
    sim->setReplyHandler([this](const std::string& t) -> std::optional<std::string> {
        if (t == "$") sim->cutNextReply();
        if (t == "#") {
            sim->ignoreNextFrames(3);
            return std::string();
        }
        return std::nullopt;
    });
    const auto t0 = std::chrono::steady_clock::now();
    ReadDeviceInfo();
    const long long ms = msSince(t0);
    sim->setReplyHandler({});
    EXPECT_EQ(DeviceInfo.FirmwareText, "");
    EXPECT_EQ(DeviceInfo.ShortSerial, "");
    EXPECT_EQ(DeviceInfo.OptionsText, "Standard");
    EXPECT_EQ(countReceived("2"), 3u);  // three tries, none acknowledged
    // Only the library's waits: three tries of at most 255 ms for the silent telegram.
    EXPECT_LT(ms, 6000);
    expectLinkClosed();
}

TEST_F(AnalyzerSetup, IdentifiesFirstThenSendsWithItsClock) {
    sim->setPll(true);
    script({});
    ASSERT_EQ(DeviceInfo.ShortSerial, "----");
    EXPECT_TRUE(SendAnalyzerSetup());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(DeviceInfo.ShortSerial, "5678");
    const std::vector<std::string> expected{"%", "$", "#", "2", "0L1,/0,O3,F00,0000,T0047,P0000"};
    EXPECT_EQ(sim->receivedTelegrams(), expected);
    EXPECT_EQ(sim->lastConfig().masterDivisor, 71);
    expectLinkClosed();

    // Identified now: the next configuration goes out alone.
    sim->clearLog();
    ProjectSettings.MasterClockHz = 400000;
    ProjectSettings.ProbeMaster = 2;
    ProjectSettings.ProbeRed = 1;
    ProjectSettings.PosInputLogic = 1;
    EXPECT_TRUE(SendAnalyzerSetup());
    const std::vector<std::string> again{"%", "0L1,/0,O3,F00,0000,T0011,p21"};
    EXPECT_EQ(sim->receivedTelegrams(), again);
    expectLinkClosed();
}

TEST_F(AnalyzerSetup, FailedIdentificationIsNotRepeated) {
    sim->setReply("#", "");
    EXPECT_TRUE(SendAnalyzerSetup());
    EXPECT_EQ(DeviceInfo.ShortSerial, "");
    sim->clearLog();
    EXPECT_TRUE(SendAnalyzerSetup());
    EXPECT_EQ(countReceived("#"), 0u);
    EXPECT_EQ(countReceived("0L1,/0,O3,F00,0000,T002F,P0000"), 1u);
}

TEST_F(AnalyzerSetup, OfflineSendsNothingAndAsksNothing) {
    OfflineMode = true;
    script({});
    sim->clearLog();
    EXPECT_TRUE(SendAnalyzerSetup());
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(sim->rawReceived().empty());
    EXPECT_EQ(DeviceInfo.ShortSerial, "----");
    EXPECT_EQ(LinkOpenCount, 0);
}

TEST_F(AnalyzerSetup, RetryThenIgnore) {
    ASSERT_EQ(select(absentPort("COM12")), 0);
    setMainWindowPosProvider([] { return std::make_pair(200, 40); });
    script({dialogs::mrRetry, dialogs::mrIgnore});
    EXPECT_FALSE(SendAnalyzerSetup());
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& b : boxes) {
        EXPECT_EQ(b.kind, dialogs::Kind::Message);
        EXPECT_EQ(b.caption, "Fehler");
        EXPECT_EQ(b.text, kLinkError);
        EXPECT_EQ(b.type, dialogs::MsgType::Error);
        EXPECT_EQ(b.buttons, unsigned(dialogs::mbRetry | dialogs::mbIgnore));
        EXPECT_EQ(b.buttonCaptions, (std::vector<std::string>{"&Wiederholen", "&Ignorieren"}));
        EXPECT_EQ(b.x, 350);
        EXPECT_EQ(b.y, 190);
    }
    EXPECT_EQ(LinkOpenCount, 0);
    EXPECT_TRUE(sim->receivedTelegrams().empty());
}

TEST_F(AnalyzerSetup, RetryOrClosedBoxTriesAgainUntilTheLinkOpens) {
    ASSERT_EQ(select(absentPort("COM12")), 0);
    // Without a main window the box sits at 150, 150. The cable is plugged in while the
    // second box is up.
    script({dialogs::mrEscape, dialogs::mrEscape}, [this] {
        if (boxes.size() == 2) select("COM3");
    });
    EXPECT_TRUE(SendAnalyzerSetup());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].x, 150);
    EXPECT_EQ(boxes[0].y, 150);
    EXPECT_EQ(countReceived("0L1,/0,O3,F00,0000,T002F,P0000"), 1u);
    expectLinkClosed();
}

}  // namespace
