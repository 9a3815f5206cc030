// Frames of a source element, copied at an appsink on the streaming thread
// and handed to the test's thread under a lock of our own: the hand-over
// through GStreamer's queues happens under locks that ThreadSanitizer does
// not see, so the test never touches a buffer the streaming thread wrote.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct PulledFrame {
    int width = 0, height = 0, fpsNum = 0, fpsDen = 0;
    std::string format;
    GstClockTime pts = GST_CLOCK_TIME_NONE, duration = GST_CLOCK_TIME_NONE;
    std::vector<std::uint8_t> bytes;
};

class FramePuller {
public:
    // source ! [videoconvert !] appsink caps=BGR. Takes the source.
    explicit FramePuller(GstElement* source, bool convert = false)
    {
        pipeline_ = gst_pipeline_new(nullptr);
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        GstCaps* caps = gst_caps_from_string("video/x-raw, format=BGR");
        g_object_set(sink, "caps", caps, "sync", FALSE, "enable-last-sample", FALSE, nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = NewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
        gst_bin_add_many(GST_BIN(pipeline_), source, sink, nullptr);
        if (convert) {
            GstElement* c = gst_element_factory_make("videoconvert", nullptr);
            gst_bin_add(GST_BIN(pipeline_), c);
            EXPECT_TRUE(gst_element_link_many(source, c, sink, nullptr));
        } else {
            EXPECT_TRUE(gst_element_link(source, sink));
        }
        EXPECT_NE(gst_element_set_state(pipeline_, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    }
    ~FramePuller()
    {
        {
            std::lock_guard lock(lock_);
            stopping_ = true;
        }
        changed_.notify_all();
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
    }

    // The next frame; false when none comes within 20 s.
    bool Pull(PulledFrame* frame)
    {
        std::unique_lock lock(lock_);
        if (!changed_.wait_for(lock, std::chrono::seconds(20), [this] { return !frames_.empty(); }))
            return false;
        *frame = std::move(frames_.front());
        frames_.pop_front();
        changed_.notify_all();
        return true;
    }

private:
    static GstFlowReturn NewSample(GstAppSink* sink, gpointer self)
    {
        return static_cast<FramePuller*>(self)->Take(sink);
    }

    GstFlowReturn Take(GstAppSink* sink)
    {
        GstSample* sample = gst_app_sink_pull_sample(sink);
        if (sample == nullptr)
            return GST_FLOW_EOS;
        PulledFrame f;
        const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
        gst_structure_get_int(s, "width", &f.width);
        gst_structure_get_int(s, "height", &f.height);
        gst_structure_get_fraction(s, "framerate", &f.fpsNum, &f.fpsDen);
        const char* format = gst_structure_get_string(s, "format");
        f.format = format ? format : "";
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        f.pts = GST_BUFFER_PTS(buffer);
        f.duration = GST_BUFFER_DURATION(buffer);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            f.bytes.assign(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        // A few frames ahead at most: the source waits for the test.
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return stopping_ || frames_.size() < 4; });
        if (stopping_)
            return GST_FLOW_FLUSHING;
        frames_.push_back(std::move(f));
        changed_.notify_all();
        return GST_FLOW_OK;
    }

    GstElement* pipeline_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<PulledFrame> frames_;
    bool stopping_ = false;
};
