/// @file
/// The base classes of the serial component: TVaPersistent and TVaComponent.
#pragma once

#include <q4471/framework/Components.h>
#include <q4471/framework/Export.h>

#include <atomic>
#include <cstdint>
#include <functional>

class TVaPersistent;

/// Tells the owner of an option group that the group changed; gets the group.
using TVaChangeEvent = std::function<void(TVaPersistent* sender)>;

/// Base of the component's option groups: each change is reported through OnChange, and changes
/// made between BeginUpdate and the matching EndUpdate are reported once, at that EndUpdate.
/// Changed on the owner's thread only; no locking.
class Q4471_API TVaPersistent : public q4471::TPersistent {
public:
    /// How many BeginUpdate calls are still open.
    int32_t UpdateCount() const { return updateCount_; }

    ///@{
    /// The handler told of each change, on the thread that made it; the port sets it for its
    /// own groups.
    const TVaChangeEvent& OnChange() const { return onChange_; }
    void SetOnChange(TVaChangeEvent handler) { onChange_ = std::move(handler); }
    ///@}

    /// Calls OnChange with this object, unless an update is open or no handler is set. What the
    /// handler raises reaches the caller (the port refuses a change of an open port's buffers
    /// this way).
    void Changed();
    /// Opens an update: changes are reported once, at the matching EndUpdate.
    void BeginUpdate() { ++updateCount_; }
    /// Closes one update (an unmatched call leaves the count at 0) and then calls Changed.
    void EndUpdate();

protected:
    /// Stores `value` and calls Changed when it differs from the field's value; a change that the
    /// owner refuses (OnChange raises) is undone before the error goes on. The fields are atomic
    /// because the component's threads read them while the owner's thread may change them.
    template <class T> void SetField(std::atomic<T>& field, T value) {
        const T previous = field.load(std::memory_order_relaxed);
        if (previous != value) {
            field.store(value, std::memory_order_relaxed);
            ChangedOrUndo([&] { field.store(previous, std::memory_order_relaxed); });
        }
    }
    /// Changed; when the owner refuses the change, `undo` puts the previous values back (without
    /// a notification) before the error goes on.
    void ChangedOrUndo(const std::function<void()>& undo);
    /// Assign of an option group: copies `source`, when it is a `Group`, into `target` with
    /// `copy` (which stores without notifying) in one update, with one notification; a copy that
    /// the owner refuses is undone. Any other source goes to TPersistent::Assign.
    template <class Group>
    static void AssignGroup(Group& target, const q4471::TPersistent& source,
                            void (Group::*copy)(const Group&)) {
        const auto* other = dynamic_cast<const Group*>(&source);
        if (other == nullptr) {
            target.TPersistent::Assign(source);
            return;
        }
        Group previous;
        (previous.*copy)(target);
        target.BeginUpdate();
        (target.*copy)(*other);
        target.EndUpdateOrUndo([&] { (target.*copy)(previous); });
    }

private:
    void EndUpdateOrUndo(const std::function<void()>& undo);
    void StepOrUndo(void (TVaPersistent::*step)(), const std::function<void()>& undo);

private:
    int32_t updateCount_ = 0;
    TVaChangeEvent onChange_;
};

/// Common base of the serial components (the port, its clients, the display).
class Q4471_API TVaComponent : public q4471::TComponent {
public:
    /// Makes the component; `owner` (may be null) destroys it.
    using q4471::TComponent::TComponent;
};
