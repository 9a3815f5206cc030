// A started game filter over frames of a chosen size, in a scratch working
// directory (so no parameter or high-score file of the developer's leaks in),
// with helpers that make frames: a background plus filled shapes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "capture_internal.h"
#include "play/game_filter.h"
#include "synthetic_scene.h"

// Runs a test in a fresh, empty working directory and returns afterwards.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_, previous_;
};

// A frame buffer as the capture library hands it over: bottom-up BGR24, rows
// padded to 4 bytes. Shapes are placed in buffer coordinates (row 0 first in
// memory).
class TestFrame {
public:
    TestFrame(int width, int height, cv::Scalar background = cv::Scalar(100, 100, 100))
        : step_((3 * width + 3) & ~3), bytes_(static_cast<std::size_t>(step_) * height, 0xEE),
          image_(height, width, CV_8UC3, bytes_.data(), step_)
    {
        image_.setTo(background);
    }
    // The picture header points into the bytes: moving keeps the buffer, a
    // copy would not.
    TestFrame(TestFrame&&) = default;
    TestFrame(const TestFrame&) = delete;
    TestFrame& Fill(cv::Rect area, cv::Scalar colour) &
    {
        cv::rectangle(image_, area, colour, cv::FILLED);
        return *this;
    }
    TestFrame&& Fill(cv::Rect area, cv::Scalar colour) && { return std::move(Fill(area, colour)); }
    unsigned char* Data() { return bytes_.data(); }
    cv::Mat& Image() { return image_; }
    int Step() const { return step_; }
    const std::vector<unsigned char>& Bytes() const { return bytes_; }

private:
    int step_;
    std::vector<unsigned char> bytes_;  // padding bytes start as 0xEE
    cv::Mat image_;
};

class GameFixture : public ::testing::Test {
protected:
    static constexpr int kWidth = 352, kHeight = 288;
    static inline const cv::Scalar kRoom{100, 100, 100};
    static inline const cv::Scalar kPlayer{40, 60, 220};  // darker and redder than the room

    void SetUp() override { SetUpGeometry(kWidth, kHeight); }
    void TearDown() override
    {
        if (game)
            game->FilterStop();
    }

    void SetUpGeometry(int width, int height)
    {
        width_ = width;
        height_ = height;
        orvexSetImageGeometry(width, height);
        CGameFilter::idleFrames = 100;
        CGameFilter::attractCycle = 0;
        game = std::make_unique<CGameFilter>();
        game->FilterStart();
    }

    TestFrame Room() const { return TestFrame(width_, height_, kRoom); }
    TestFrame RoomWith(cv::Rect player) const { return Room().Fill(player, kPlayer); }
    cv::Rect Person() const { return {width_ / 2 - 30, 20, 60, 180}; }

    // Runs one frame through the game and returns it for inspection.
    TestFrame& Run(TestFrame& frame)
    {
        game->Transform(frame.Data());
        return frame;
    }
    TestFrame Run(TestFrame&& frame)
    {
        game->Transform(frame.Data());
        return std::move(frame);
    }
    // The first frame after a start becomes the background.
    void CaptureEmptyRoom() { Run(Room()); }

    bool SilhouetteFilled() const { return cv::countNonZero(game->silhouetteImage.reshape(1)) > 0; }
    int MaskCount() const { return cv::countNonZero(game->maskImage); }

    ScratchDirectory scratch_;
    int width_ = 0, height_ = 0;
    std::unique_ptr<CGameFilter> game;
};
