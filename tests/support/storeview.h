// A fresh capture store and a shown trace view installed as the process-wide ones.
#pragma once

#include <memory>

#include "capturestore.h"
#include "traceview.h"

namespace kevosupport {

struct StoreAndTraceView {
    std::unique_ptr<CaptureStore> store;
    std::unique_ptr<TraceView> view;

    void installStoreAndView() {
        store = std::make_unique<CaptureStore>();
        setCaptureStore(store.get());
        view = std::make_unique<TraceView>();
        view->resize(600, 300);
        view->show();
        setMonitorView(view.get());
    }
    void uninstallStoreAndView() {
        setMonitorView(nullptr);
        setCaptureStore(nullptr);
    }
};

}  // namespace kevosupport
