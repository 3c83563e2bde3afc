// The program entry: creates every window once, the main window first, and runs the
// event loop until the main window has closed.
#include <exception>

#include "binzieldlg.h"
#include "bustool.h"
#include "einstellungen.h"
#include "fortschritt.h"
#include "iicctrlu.h"
#include "iicsearch.h"
#include "info.h"
#include "kevoapplication.h"
#include "memorytool.h"
#include "scantool.h"

int main(int argc, char** argv) {
    KevoApplication app(argc, argv);
    try {
        F_IIcCtrl = new TF_IIcCtrl;
        F_Einstellungen = new TF_Einstellungen(F_IIcCtrl);
        F_Info = new TF_Info(F_IIcCtrl);
        F_ScanTool = new TF_ScanTool(F_IIcCtrl);
        F_IIcCtrl->setToolWindow(ProjectFileHost::ScanForm, F_ScanTool);
        F_BusTool = new TF_BusTool(F_IIcCtrl);
        F_IIcCtrl->setToolWindow(ProjectFileHost::BusForm, F_BusTool);
        F_Fortschritt = new TF_Fortschritt(F_IIcCtrl);
        F_MemoryTool = new TF_MemoryTool(F_IIcCtrl);
        F_IIcCtrl->setToolWindow(ProjectFileHost::MemoryForm, F_MemoryTool);
        F_BinZielDlg = new TF_BinZielDlg(F_IIcCtrl);
        F_Search = new TF_Search(F_IIcCtrl);
        F_IIcCtrl->setSearchWindow(F_Search);
        F_IIcCtrl->setAttribute(Qt::WA_DeleteOnClose, false);
        F_IIcCtrl->show();
        app.exec();
    } catch (...) {
        ShowException(std::current_exception());
    }
    delete F_IIcCtrl;  // its child windows go with it
    return 0;
}
