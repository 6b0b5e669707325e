#include <q4471/framework/Application.h>
#include <q4471/framework/Components.h>
#include <q4471/framework/Exception.h>
#include <q4471/framework/plain/PlainFramework.h>

#include <gtest/gtest.h>

using namespace q4471;

namespace {

class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::vector<std::string>* log, std::string name)
        : TComponent(owner), log_(log), name_(std::move(name)) {}
    ~Probe() override { log_->push_back("destroy " + name_); }
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == TOperation::opRemove) {
            log_->push_back(name_ + " told of removal");
        }
    }

private:
    std::vector<std::string>* log_;
    std::string name_;
};

class OptionA : public TPersistent {};
class OptionB : public TPersistent {};

TEST(ComponentTest, AnOwnerDestroysWhatItOwns) {
    std::vector<std::string> log;
    auto* owner = new Probe(nullptr, &log, "owner");
    new Probe(owner, &log, "child");
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"destroy owner", "destroy child"}));
}

TEST(ComponentTest, FreeNotificationTellsTheLinkedComponent) {
    std::vector<std::string> log;
    Probe watcher(nullptr, &log, "watcher");
    auto* watched = new Probe(nullptr, &log, "watched");
    watched->FreeNotification(&watcher);
    delete watched;
    EXPECT_EQ(log, (std::vector<std::string>{"destroy watched", "watcher told of removal"}));
}

TEST(PersistentTest, AssignFromAnotherClassRaisesTheAssignmentError) {
    OptionA a;
    OptionB b;
    try {
        a.Assign(b);
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "Cannot assign a OptionB to a OptionA");
    }
}

TEST(ApplicationTest, HandleExceptionShowsTheMessageAndEmptyForNonExceptions) {
    PlainFrameworkBinding binding;
    try {
        throw Exception("shown");
    } catch (...) {
        Application::HandleException();
    }
    try {
        throw Exception(std::string("a\0b", 3));
    } catch (...) {
        Application::HandleException();
    }
    try {
        throw 42;
    } catch (...) {
        Application::HandleException();
    }
    EXPECT_EQ(binding.ShownErrors(),
              (std::vector<std::string>{"shown", std::string("a\0b", 3), ""}));
}

} // namespace
