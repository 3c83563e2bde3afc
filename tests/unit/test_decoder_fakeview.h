// The helpers that the store, decoder, trace view and capture thread tests share, with the
// recording stand-in for the trace view (fakeview.h).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "capturestore.h"
#include "fakeview.h"
#include "monitorview.h"
#include "projectsettings.h"
#include "tracedecoder.h"

// A seeded capture, as status and data bytes, with every kind of status: starts, repeated
// starts, stops, NAKs, errors, port bits and the adapter's overflow mark.
inline std::vector<std::uint8_t> randomCapture(int telegrams, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    for (int t = 0; t < telegrams; ++t) {
        const int bytes = 1 + int(rng() % 8);
        for (int i = 0; i < bytes; ++i) {
            std::uint8_t st = StatusNoError | StatusNoStop;
            if (i == 0) st |= StatusStart;
            if (i > 0 && rng() % 9 == 0) st |= StatusRepStart;
            if (rng() % 7 == 0) st |= StatusNak;
            if (rng() % 11 == 0) st &= std::uint8_t(~StatusNoError);
            if (rng() % 5 == 0) st |= StatusPort;
            if (rng() % 6 == 0) st |= StatusPortAfter;
            if (i == bytes - 1 && rng() % 4 != 0) st &= std::uint8_t(~StatusNoStop);
            if (rng() % 97 == 0) st |= StatusBufferFull;
            out.push_back(st);
            out.push_back(std::uint8_t(rng()));
        }
    }
    return out;
}

// A fresh store and a recording view as the process-wide ones; settings and decoder as at
// program start.
class StoreAndViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetProjectSettings();
        resetTraceDecoder();
        store = std::make_unique<CaptureStore>();
        setCaptureStore(store.get());
        setMonitorView(&view);
    }
    void TearDown() override {
        setMonitorView(nullptr);
        setCaptureStore(nullptr);
    }
    std::unique_ptr<CaptureStore> store;
    FakeView view;
};

// Decodes bytes from the start, all at once, into a recording view with the live (true) or
// the loaded-log attributes; the process-wide store and view are put back afterwards.
inline FakeView decodeIntoFake(const std::vector<std::uint8_t>& bytes, bool live) {
    CaptureStore* const keptStore = captureStore();
    MonitorView* const keptView = monitorView();
    auto copy = std::make_unique<CaptureStore>();
    std::copy(bytes.begin(), bytes.end(), copy->CaptureBuffer.get());
    copy->BytesUsed = std::int32_t(bytes.size());
    FakeView fake;
    setCaptureStore(copy.get());
    setMonitorView(&fake);
    resetTraceDecoder();
    InitTraceAttributes(live);
    DecodeTrace(0);
    setMonitorView(keptView);
    setCaptureStore(keptStore);
    return fake;
}
