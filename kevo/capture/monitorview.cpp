#include "monitorview.h"

namespace {
MonitorView* theView = nullptr;
}

MonitorView* monitorView() {
    return theView;
}
void setMonitorView(MonitorView* view) {
    theView = view;
}
