// The command catalogue and the simulated I2C bus behind it.
#include "test_sim_port.h"

using namespace rafusim;
using simtest::Client;

struct Bus : simtest::SimFixture {
    Client c{sim.linkPath()};
};

TEST_F(Bus, Identification) {
    sim.setFirmware("RAFU V9");
    sim.setSerial("12345678");
    EXPECT_EQ(c.query("$"), "$RAFU V9");
    EXPECT_EQ(c.query("#"), "#12345678");
    EXPECT_EQ(c.query("2"), "2C0");
    sim.setPll(true);
    EXPECT_EQ(c.query("2"), "2C1");
    sim.setOptionsReply("2X");
    EXPECT_EQ(c.query("2"), "2X");
}

TEST_F(Bus, ConfigurationIsAcknowledgedAndKept) {
    c.sendText("0L1,/0,O3,F00,0000,T002F,P0000");
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_TRUE(c.quiet(50));
    AnalyzerConfig k = sim.lastConfig();
    EXPECT_TRUE(k.valid);
    EXPECT_EQ(k.logicLevel, 1);
    EXPECT_EQ(k.masterDivisor, 0x2F);
    EXPECT_FALSE(k.positiveLogic);
    EXPECT_EQ(k.probeWhite, 0);
    EXPECT_EQ(sim.busClockDivisor(), 0x2F);

    c.sendText("0L4,/3,O3,F1C,A57E,T000B,p21");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    k = sim.lastConfig();
    EXPECT_TRUE(k.valid);
    EXPECT_EQ(k.clockDivider, 3);
    EXPECT_EQ(k.busFilter, 0x1C);
    EXPECT_EQ(k.dataFilterSwitches, 0xA5);
    EXPECT_EQ(k.dataFilter, 0x7E);
    EXPECT_TRUE(k.positiveLogic);
    EXPECT_EQ(k.probes, "21");
    EXPECT_EQ(k.probeMaster, 2);
    EXPECT_EQ(k.probeRed, 1);
    EXPECT_EQ(k.probeBlue, -1);
    EXPECT_EQ(sim.configCount(), 2u);

    c.sendText("0T0077");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_EQ(sim.busClockDivisor(), 0x77);

    c.sendText("0L1,/0,O3,F00");  // cut short: kept, but not valid
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_FALSE(sim.lastConfig().valid);
    EXPECT_EQ(sim.lastConfig().raw, "0L1,/0,O3,F00");
}

TEST_F(Bus, ReadAndWriteWithSubAddressForms) {
    sim.addDevice(0xA0, {DeviceKind::Ram, 256});
    sim.setMemory(0xA0, 0x10, {0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(c.query(",R4,A0S10"), ",r00,12,34,56,78");
    EXPECT_EQ(c.query(",R2,A1"), ",r00,FF,FF") << "current address read goes on after 0x14";
    EXPECT_EQ(c.query(",W2,A0S20,AB,CD"), ",w00");
    EXPECT_EQ(sim.memory(0xA0)[0x20], 0xAB);
    EXPECT_EQ(sim.memory(0xA0)[0x21], 0xCD);
    EXPECT_EQ(c.query(",W1,A0SFF,01"), ",w00");
    EXPECT_EQ(c.query(",R2,A0SFF"), ",r00,01,FF") << "RAM wraps at its end";

    DeviceConfig big{DeviceKind::Eeprom, 8192, 32, 2};
    sim.addDevice(0xA4, big);
    EXPECT_EQ(c.query(",W2,A4W0123,12,34"), ",w00");
    EXPECT_EQ(sim.memory(0xA4)[0x123], 0x12);
    EXPECT_EQ(sim.memory(0xA4)[0x124], 0x34);
    EXPECT_EQ(c.query(",R10,A4W0120"), ",r00,FF,FF,FF,12,34,FF,FF,FF,FF,FF,FF,FF,FF,FF,FF,FF");
    EXPECT_EQ(sim.busLog().size(), 7u);
}

TEST_F(Bus, EepromPageWriteWrapsInsideThePage) {
    sim.addDevice(0xA0, {DeviceKind::Eeprom, 256, 8, 1, 0x00});
    EXPECT_EQ(c.query(",WA,A0S06,01,02,03,04,05,06,07,08,09,0A"), ",w00");
    auto m = sim.memory(0xA0);
    // 0x06, 0x07, then 0x00..0x05 of the same page; bytes 9 and 10 overwrite 0x06 and 0x07 again
    EXPECT_EQ(std::vector<uint8_t>(m.begin(), m.begin() + 8),
              (std::vector<uint8_t>{0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A}));
    EXPECT_EQ(m[8], 0x00) << "the next page is untouched";
}

TEST_F(Bus, BlockBitsSelectTheBlockOfOneByteParts) {
    sim.addDevice(0xA0, {DeviceKind::Eeprom, 2048, 16, 1, 0x00});  // 24C16: A0..AE
    EXPECT_EQ(c.query(",W1,A6S05,AB"), ",w00");
    EXPECT_EQ(sim.memory(0xA0)[3 * 256 + 5], 0xAB);
    EXPECT_EQ(c.query(",R1,A6S05"), ",r00,AB");
    EXPECT_EQ(c.query(",R1,A0S05"), ",r00,00");
    EXPECT_EQ(c.query(",W00,AE,"), ",w00");
    EXPECT_EQ(c.query(",W00,B0,"), ",w01");
    EXPECT_EQ(c.query(",R1,B0S00"), ",r01");
}

TEST_F(Bus, StatusOnDemandAndMalformedTelegrams) {
    sim.addDevice(0x40, {DeviceKind::Register, 16});
    EXPECT_EQ(c.query(",W00,40,"), ",w00");
    sim.setAddressStatus(0x40, "08");
    EXPECT_EQ(c.query(",W00,40,"), ",w08");
    EXPECT_EQ(c.query(",R1,41"), ",r08");
    sim.setAddressStatus(0x40, "08", 2);  // counted: two telegrams, then normal again
    EXPECT_EQ(c.query(",W00,40,"), ",w08");
    EXPECT_EQ(c.query(",W00,40,"), ",w08");
    EXPECT_EQ(c.query(",W00,40,"), ",w00");
    sim.setAddressStatus(0x40, "");
    sim.failNextBus("05", 1);
    EXPECT_EQ(c.query(",W1,40S00,11"), ",w05");
    EXPECT_EQ(c.query(",W1,40S00,11"), ",w00");
    EXPECT_EQ(c.query(",W2,40S00,11"), ",w02") << "count and data disagree";
    EXPECT_EQ(c.query(",R1,40SG0"), ",r02");
    EXPECT_EQ(c.query(",R1,4"), ",r02") << "the device address has two digits";
    EXPECT_EQ(c.query(",R1,040S00"), ",r02");
    EXPECT_EQ(c.query(",W10,40S00,00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10"), ",w02");
    sim.removeDevice(0x40);
    EXPECT_EQ(c.query(",W00,40,"), ",w01");
}

TEST_F(Bus, CaptureStartAndStopTelegrams) {
    c.sendText("12");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_TRUE(sim.captureRunning());
    EXPECT_EQ(sim.captureTrigger(), 2);
    c.sendText("10");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_FALSE(sim.captureRunning());
}
