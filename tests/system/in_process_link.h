// The links driven in process through the Channel. A link call that may wait
// for the controller runs on a thread of its own, while the test plays the
// controller.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/run_settings.h"

inline void useChannel(const std::string& name)
{
    size_t length = name.copy(runSettings.channelName, maxChannelName);
    runSettings.channelName[length] = '\0';
}

class BackgroundCall {
public:
    // unblock is run when the call is still waiting as the test ends.
    BackgroundCall(std::function<int()> call, std::function<void()> unblock = [] {})
        : state_(std::make_shared<State>()), unblock_(std::move(unblock))
    {
        std::shared_ptr<State> state = state_;
        thread_ = std::thread([state, call] {
            state->result = call();
            state->done = true;
        });
    }

    // A call that still hangs is left behind rather than hanging the suite.
    ~BackgroundCall()
    {
        if (!finished(0))
            unblock_();
        if (finished(giveUpMs))
            thread_.join();
        else
            thread_.detach();
    }

    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;

    bool finished(int timeoutMs)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!state_->done && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return state_->done;
    }

    int result() const { return state_->result; }

private:
    static constexpr int giveUpMs = 5000;
    struct State {
        std::atomic<bool> done{false};
        std::atomic<int> result{-2};
    };
    std::shared_ptr<State> state_;
    std::function<void()> unblock_;
    std::thread thread_;
};
