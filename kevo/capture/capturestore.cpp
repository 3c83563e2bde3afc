#include "capturestore.h"

#include <algorithm>

#include "monitorview.h"
#include "projectsettings.h"

namespace {
CaptureStore* theStore = nullptr;
}

CaptureStore* captureStore() {
    return theStore;
}
void setCaptureStore(CaptureStore* store) {
    theStore = store;
}

CaptureStore::CaptureStore() : TelegramIndex(new std::int32_t[TelegramIndexSize]) {
    reset();
}

void CaptureStore::reset() {
    CaptureBuffer.reset();
    std::fill_n(TelegramIndex.get(), TelegramIndexSize, NoTelegram);
    CaptureBuffer.reset(new std::uint8_t[CaptureBufferSize]);  // deliberately not zeroed
    TelegramIndex[0] = 0;
    IndexCount = 1;
    BytesUsed = 0;
    DecodePos = 0;
    TelegramNo = 0;
}

bool CaptureStore::StoreFull() const {
    return IndexCount.load() >= TelegramIndexSize || BytesUsed.load() + 2 > CaptureBufferSize;
}

bool CaptureStore::AppendBusEvent(std::uint8_t status, std::uint8_t data) {
    if (StoreFull()) return false;
    std::int32_t used = BytesUsed.load(std::memory_order_relaxed);
    CaptureBuffer[used] = status;
    if (status & StatusStart) {
        std::int32_t slot = IndexCount.load(std::memory_order_relaxed);
        TelegramIndex[slot] = used;
        IndexCount.store(slot + 1);
    }
    CaptureBuffer[used + 1] = data;
    BytesUsed.store(used + 2);
    return true;
}

void CaptureStore::RebuildTelegramIndex() {
    const std::int32_t used = std::clamp<std::int32_t>(BytesUsed.load(), 0, CaptureBufferSize);
    std::int32_t slot = IndexCount.load();
    for (std::int32_t off = 0; off < used && slot < TelegramIndexSize; off += 2) {
        if (CaptureBuffer[off] & StatusStart) TelegramIndex[slot++] = off;
    }
    IndexCount = slot;
}

int appendReceived(CaptureStore& store, const std::uint8_t* bytes, std::uint32_t len) {
    int stored = 0;
    for (std::uint32_t k = 0; k + 1 < len; k += 2) {
        if (store.StoreFull()) return stored;  // the rest of this run is dropped
        store.AppendBusEvent(bytes[k], bytes[k + 1]);
        ++stored;
    }
    return stored;
}

void ClearProtokoll() {
    if (CaptureStore* store = captureStore()) store->reset();
    if (MonitorView* view = monitorView()) {
        view->setBackgroundColor(ProjectSettings.ColorBackground);
        view->clearText();
    }
}
