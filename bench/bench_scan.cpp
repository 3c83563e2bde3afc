// Scans the 112 addresses 0x10..0xEE of the simulated bus at 921,600 baud through the scan
// tool's Scan command, and sends the same telegrams (clock, 112 probes, configuration) straight
// through the command link. The difference per probe is the tool's own overhead; the floor is
// the link's specified waits per probe (5 ms before the first look for the ACK, then at least
// one 1-ms round of the answer wait). Prints the best of five runs of each.
// Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "benchsupport.h"
#include "bustelegrams.h"
#include "deviceinfo.h"
#include "fortschritt.h"
#include "olestr.h"
#include "projectsettings.h"
#include "scantool.h"
#include "vl-com.h"
#include "vlcom.h"

namespace {

double msOf(const std::function<void()>& fn) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    auto sim = benchsupport::startBenchSim(tmp.path().toStdString(), "COM1");
    if (!sim) return 1;
    sim->addDevice(0xA0, {rafusim::DeviceKind::Eeprom, 256, 8, 1, 0xFF});
    sim->addDevice(0x90, {rafusim::DeviceKind::Register, 16, 1, 1, 0x00});

    BSTR port = SysAllocStringByteLen("COM1", 4);
    int32_t baud = 921600;
    if (!VlCOMPortSel(&port, &baud)) {
        std::fprintf(stderr, "port test failed\n");
        return 1;
    }
    SysFreeString(port);
    ProjectSettings.PortName = "COM1";
    ProjectSettings.BaudRate = baud;
    ReadDeviceInfo();

    F_Fortschritt = new TF_Fortschritt;
    F_ScanTool = new TF_ScanTool;
    F_ScanTool->show();
    const int probes =
        static_cast<int>(ScanAddresses(ProjectSettings.ScanFrom, ProjectSettings.ScanTo).size());

    double tool = 1e9, link = 1e9;
    for (int run = 0; run < 5; ++run) {
        tool = std::min(tool, msOf([] { F_ScanTool->TB_ScanClick(); }));
        link = std::min(link, msOf([] {
                            ComOpen();
                            ComSend(ScanClockTelegram(F_ScanTool->ScanClockDivider));
                            for (int32_t a : ScanAddresses(ProjectSettings.ScanFrom, ProjectSettings.ScanTo))
                                ComQuery(ScanProbeTelegram(a));
                            SendAnalyzerSetup();
                            ComClose();
                        }));
    }
    const double floorMs = probes * 6.0;
    std::printf("scan of %d addresses at 921600 baud, found %d devices per scan\n", probes,
                F_ScanTool->LB_DeviceList->count() / 5);
    std::printf("  scan tool:        %8.1f ms total, %6.2f ms per probe\n", tool, tool / probes);
    std::printf("  command link only:%8.1f ms total, %6.2f ms per probe\n", link, link / probes);
    std::printf("  specified waits:  %8.1f ms floor, %6.2f ms per probe\n", floorMs, floorMs / probes);
    std::printf("  tool overhead:    %8.3f ms per probe\n", (tool - link) / probes);
    delete F_ScanTool;
    delete F_Fortschritt;
    VlCOMClosePort();
    return 0;
}
