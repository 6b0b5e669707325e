/// @file
/// The framework's object model: TObject, TPersistent and TComponent.
#pragma once

#include <q4471/framework/Export.h>

#include <string>
#include <vector>

namespace q4471 {

/// Root of the object model: objects know their class name for messages.
class Q4471_API TObject {
public:
    /// Objects are destroyed through any base.
    virtual ~TObject() = default;
    /// The dynamic class's name without namespace ("TVaComm").
    std::string ClassName() const;
};

/// Root of the copyable option objects. Assign copies from a source of a known class; any other
/// source ends in the framework's assignment error.
class Q4471_API TPersistent : public TObject {
public:
    /// Copies from `source`; the base hands over to the source's AssignTo.
    virtual void Assign(const TPersistent& source);

protected:
    /// Copies into `destination`; the base raises EConvertError ("Cannot assign a ... to a ...").
    virtual void AssignTo(TPersistent& destination) const;
};

/// What happened to a component, for Notification.
enum class TOperation { opInsert, opRemove };
/// @var TOperation::opInsert
/// The component was inserted.
/// @var TOperation::opRemove
/// The component is being removed (destroyed); forget every pointer to it.

/// The state flags of a component (TComponent::InState).
enum TComponentStateFlag : unsigned {
    /// Its stored properties are being read in (between BeginLoading and Loaded).
    csLoading = 1u << 0,
    /// It is being edited at design time: a port does not open itself.
    csDesigning = 1u << 1,
    /// It is being destroyed.
    csDestroying = 1u << 2,
};

/// The component base: an owner destroys what it owns, components ask to be told when a component
/// they link to goes away (FreeNotification / Notification), and state flags mark loading, design
/// time and destruction. Components belong to the thread that made them.
class Q4471_API TComponent : public TPersistent {
public:
    /// A component that `owner` destroys with itself; null for none (the caller destroys it).
    explicit TComponent(TComponent* owner);
    /// Tells the components that asked (Notification with opRemove), leaves its owner and
    /// destroys what it owns.
    ~TComponent() override;
    /// Not copyable: others keep pointers to it.
    TComponent(const TComponent&) = delete;
    /// Not copyable.
    TComponent& operator=(const TComponent&) = delete;

    /// The owner; null for none.
    TComponent* Owner() const { return owner_; }
    /// The components it owns.
    const std::vector<TComponent*>& Components() const { return components_; }
    /// Whether `flag` is set.
    bool InState(TComponentStateFlag flag) const { return (state_ & flag) != 0; }

    /// Asks `component` to call this component's Notification when `component` is removed.
    void FreeNotification(TComponent* component);
    /// Withdraws a FreeNotification request.
    void RemoveFreeNotification(TComponent* component);

    /// Stand-in for reading stored properties: BeginLoading, set the properties, then Loaded.
    void BeginLoading() { state_ |= csLoading; }
    /// Ends loading (clears csLoading); derived components act on their properties here.
    virtual void Loaded();
    /// Sets or clears csDesigning.
    void SetDesigning(bool designing);

    /// Told of `component` being inserted or removed (see FreeNotification); derived classes
    /// forget their pointers to a removed one, then call the base.
    virtual void Notification(TComponent* component, TOperation operation);

protected:
    /// Derived destructors call this first, so that their own teardown sees csDestroying.
    void Destroying() { state_ |= csDestroying; }

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    TComponent* owner_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    unsigned state_ = 0;
};

} // namespace q4471
