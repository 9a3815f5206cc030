// One copy of the program per user: a second start hands the activation to
// the running copy, which presents its window, and ends with 0 without
// touching the camera. Runs the shell (over stand-in capture calls) as two
// real processes on a private session bus.
#include <glib.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

class Copy {
  public:
    Copy()
    {
        gchar* argv[] = {const_cast<gchar*>(SHELL_HELPER), nullptr};
        GError* error = nullptr;
        started_ =
            g_spawn_async_with_pipes(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                     nullptr, &pid_, nullptr, &out_, nullptr, &error);
        if (error)
            g_error_free(error);
    }
    ~Copy()
    {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    bool Started() const { return started_; }

    // Reads output until a line equal to `line` arrives; false on timeout or
    // end of output.
    bool WaitForLine(const std::string& line, int ms = 10000)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
                const std::string got = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                output_ += got + "\n";
                if (got == line)
                    return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                return false;
            char buffer[256];
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            pending_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // The exit status once the copy ended, or -1 after the timeout.
    int Wait(int ms = 10000)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                Drain();
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            g_usleep(10000);
        }
        return -1;
    }
    void Stop() { kill(pid_, SIGTERM); }

    // Takes the rest of the output of a copy that has ended.
    void Drain()
    {
        char buffer[256];
        for (ssize_t n; (n = read(out_, buffer, sizeof buffer)) > 0;)
            pending_.append(buffer, static_cast<std::size_t>(n));
        output_ += pending_;
        pending_.clear();
    }
    const std::string& Output() const { return output_; }

  private:
    GPid pid_ = -1;
    int out_ = -1;
    bool started_ = false;
    bool reaped_ = false;
    std::string pending_, output_;
};

}  // namespace

TEST(SingleInstance, ASecondCopyPresentsTheFirstAndEnds)
{
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr)
        GTEST_SKIP() << "no session bus";
    Copy first;
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(first.WaitForLine("started")) << first.Output();
    EXPECT_NE(first.Output().find("capture: initialize"), std::string::npos);

    Copy second;
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(), 0) << second.Output();
    // The second copy opened no window and touched no camera.
    EXPECT_EQ(second.Output().find("capture:"), std::string::npos) << second.Output();
    EXPECT_EQ(second.Output().find("started"), std::string::npos) << second.Output();
    EXPECT_TRUE(first.WaitForLine("presented window")) << first.Output();

    // SIGTERM ends the first copy as quitting does: capture finalised, 0.
    first.Stop();
    EXPECT_EQ(first.Wait(), 0) << first.Output();
    EXPECT_NE(first.Output().find("capture: finalize"), std::string::npos) << first.Output();
}
