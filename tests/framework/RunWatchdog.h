#pragma once

#include <q4471/framework/Application.h>

#include <atomic>
#include <chrono>
#include <thread>

// Ends a Run that did not end by itself, so that a failing case fails instead of hanging.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
              while (!done_ && std::chrono::steady_clock::now() < end) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
              if (!done_) {
                  fired_ = true;
                  q4471::Application::Terminate();
              }
          }) {}
    ~Watchdog() {
        done_ = true;
        thread_.join();
    }
    bool Fired() const { return fired_; }

private:
    std::atomic<bool> done_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
};
