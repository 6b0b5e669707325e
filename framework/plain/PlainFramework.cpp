#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>
#include <q4471/framework/plain/PlainFramework.h>

namespace q4471 {

PlainFrameworkBinding::PlainFrameworkBinding() {
    Application::SetExceptionDisplay([this](const std::string& message) {
        const TLockGuard lock(mutex_);
        shownErrors_.push_back(message);
    });
}

PlainFrameworkBinding::~PlainFrameworkBinding() {
    Application::SetExceptionDisplay(nullptr);
}

bool PlainFrameworkBinding::PumpUntil(const std::function<bool()>& condition,
                                      std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        CheckSynchronize(2);
    }
    return true;
}

std::vector<std::string> PlainFrameworkBinding::ShownErrors() const {
    const TLockGuard lock(mutex_);
    return shownErrors_;
}

} // namespace q4471
