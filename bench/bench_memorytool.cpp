// The memory monitor against the simulated adapter at 921,600 baud: a 32 KiB EEPROM with two
// sub-address bytes read in 2,048 chunks of 16 and written back in 512 pages of 64; the same
// telegrams through the bare command link for comparison; and the redraw of one dump page.
// Prints the time per telegram, the link's own share and ours.
#include <stdlib.h>

#include <QApplication>
#include <chrono>
#include <cstdio>

#include "benchsupport.h"
#include "fortschritt.h"
#include "memorylogic.h"
#include "memorytool.h"
#include "projectsettings.h"
#include "vl-com.h"
#include "vlcom.h"

namespace {

double msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/bench-memory-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    auto sim = benchsupport::startBenchSim(tmpl, "COM7");
    if (!sim) return 1;
    sim->addDevice(0xA0, {rafusim::DeviceKind::Eeprom, 32768, 64, 2, 0xFF});

    resetProjectSettings();
    OfflineMode = false;
    BSTR port = SysAllocStringByteLen("COM7", 4);
    int32_t baud = 921600;
    if (VlCOMPortSel(&port, &baud) != 1) {
        std::fprintf(stderr, "port COM7 could not be opened\n");
        return 1;
    }
    SysFreeString(port);
    ProjectSettings.PortName = "COM7";
    ProjectSettings.BaudRate = 921600;
    ProjectSettings.MemBytes = 32768;
    ProjectSettings.MemTwoSubBytes = 1;
    ProjectSettings.MemWritePage = 64;
    ProjectSettings.MemType = 0;

    F_Fortschritt = new TF_Fortschritt;
    F_MemoryTool = new TF_MemoryTool;
    F_MemoryTool->show();
    app.processEvents();

    auto t = std::chrono::steady_clock::now();
    F_MemoryTool->ReadMemoryRange(0, 32767);
    const double readMs = msSince(t);
    for (auto& s : F_MemoryTool->MemState) s |= MemChanged;
    t = std::chrono::steady_clock::now();
    F_MemoryTool->WriteMemoryRange(0, 32767);
    const double writeMs = msSince(t);

    // The same telegrams through the bare link.
    ComOpen();
    t = std::chrono::steady_clock::now();
    for (int p = 0; p < 32768; p += 16) ComQuery(memReadTelegram(16, memAddressPart(0xA0, true, p)));
    const double bareReadMs = msSince(t);
    t = std::chrono::steady_clock::now();
    for (int p = 0; p < 32768; p += 64)
        ComQuery(memWriteTelegram(memAddressPart(0xA0, true, p), &F_MemoryTool->MemData[p], 64));
    const double bareWriteMs = msSince(t);
    ComClose();

    t = std::chrono::steady_clock::now();
    const int pages = 1000;
    for (int i = 0; i < pages; ++i) {
        F_MemoryTool->MemTopOffset = (i % 128) * 256;
        F_MemoryTool->ShowMemoryPage();
    }
    const double pageMs = msSince(t) / pages;

    std::printf("read 32 KiB:  %.0f ms, %.3f ms per telegram (bare link %.3f ms; ours %.3f ms)\n", readMs,
                readMs / 2048, bareReadMs / 2048, (readMs - bareReadMs) / 2048);
    std::printf("write 32 KiB: %.0f ms, %.3f ms per telegram (bare link %.3f ms; ours %.3f ms)\n", writeMs,
                writeMs / 512, bareWriteMs / 512, (writeMs - bareWriteMs) / 512);
    std::printf(
        "floor set by the link's waits: 5 ms after each send + >= 1 ms answer round = 6 ms per telegram\n");
    std::printf("ShowMemoryPage: %.3f ms per page\n", pageMs);
    delete F_MemoryTool;
    delete F_Fortschritt;
    VlCOMClosePort();
    sim.reset();
    const std::string rm = std::string("rm -rf '") + tmpl + "'";
    return system(rm.c_str()) == 0 ? 0 : 1;
}
