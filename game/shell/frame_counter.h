// A filter that only counts frames: pushed after the game filter, it ends a
// run after a given number of frames. The end is posted to the UI thread;
// nothing is quit from the streaming thread.
#pragma once

#include <atomic>
#include <functional>

#include "orvex.h"

class CFrameCounter : public COrvexFilter {
  public:
    // onLimit runs once, on the UI thread (the default main context), after
    // the limit-th frame.
    CFrameCounter(long limit, std::function<void()> onLimit);
    // Call only once capture has stopped: a pending end is dropped.
    ~CFrameCounter() override;

    void Transform(unsigned char* frame) override;
    long Frames() const { return frames_.load(std::memory_order_relaxed); }

  private:
    static int RunOnLimit(void* self);

    const long limit_;
    const std::function<void()> onLimit_;
    std::atomic<long> frames_{0};
    std::atomic<unsigned> pending_{0};  // the posted end's source id
};
