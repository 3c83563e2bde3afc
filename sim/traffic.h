// Generator of realistic captured bus traffic: BusEvent pairs (status, data) as the adapter
// reports them. Plain logic, deterministic for a given seed.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "rafusim.h"

namespace rafusim {

class TrafficGenerator {
  public:
    explicit TrafficGenerator(const TrafficOptions& options = {});
    // Appends up to maxPairs pairs (status, data) to out. Once the options' maxPairs is reached,
    // the telegram under way is completed and nothing more comes.
    size_t generate(size_t maxPairs, std::vector<uint8_t>& out);
    size_t pairsGenerated() const { return generated_; }
    bool exhausted() const { return opt_.maxPairs && generated_ >= opt_.maxPairs && queue_.empty(); }

  private:
    uint32_t rnd();
    unsigned below(unsigned n) { return rnd() % n; }
    // Data bytes of the next telegram: the options' range, or below(builtInSpan) + builtInMin.
    unsigned dataBytes(unsigned builtInMin, unsigned builtInSpan, unsigned atLeast);
    void nextTelegram();

    TrafficOptions opt_;
    uint32_t state_;
    size_t generated_ = 0;
    size_t telegrams_ = 0;
    std::deque<uint8_t> queue_;  // pairs of the telegram being emitted
};

}  // namespace rafusim
