#include "frame_counter.h"

#include <glib.h>

CFrameCounter::CFrameCounter(long limit, std::function<void()> onLimit)
    : limit_(limit), onLimit_(std::move(onLimit))
{
}

CFrameCounter::~CFrameCounter()
{
    // The end may already have run (and the id been spent) between its post
    // and the id's store, so look the source up rather than remove it blind.
    if (const unsigned id = pending_.exchange(0))
        if (GSource* source = g_main_context_find_source_by_id(nullptr, id))
            g_source_destroy(source);
}

void CFrameCounter::Transform(unsigned char*)
{
    if (frames_.fetch_add(1, std::memory_order_relaxed) + 1 == limit_)
        pending_.store(g_idle_add(RunOnLimit, this));
}

int CFrameCounter::RunOnLimit(void* self)
{
    auto* counter = static_cast<CFrameCounter*>(self);
    counter->pending_.store(0);
    counter->onLimit_();
    return G_SOURCE_REMOVE;
}
