// The reference of the host benchmarks: plug-ins' processReplacing called directly on plain
// buffers (input 0.25 on two channels), which is what the plug-ins themselves cost.
#pragma once

#include <vector>

#include "app/engine/plugin/plugin_slot.h"

class DirectPlugins {
 public:
  explicit DirectPlugins(std::vector<AEffect*> effects)
      : effects_(std::move(effects)),
        in_(2, std::vector<float>(kPluginBufferFrames, 0.25f)),
        out_(2, std::vector<float>(kPluginBufferFrames, 0.0f)) {
    for (auto& b : in_) inPtr_.push_back(b.data());
    for (auto& b : out_) outPtr_.push_back(b.data());
  }
  size_t Count() const { return effects_.size(); }
  // One 441-frame block of every plug-in; returns a sample, to be kept from the optimiser.
  float Block() {
    for (AEffect* e : effects_) e->processReplacing(e, inPtr_.data(), outPtr_.data(), kPluginBlockFrames);
    return out_[0][0];
  }

 private:
  std::vector<AEffect*> effects_;
  std::vector<std::vector<float>> in_, out_;
  std::vector<float*> inPtr_, outPtr_;
};
