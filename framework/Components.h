#pragma once

#include <string>
#include <vector>

// Root of the object model: objects know their class name for messages.
class TObject {
public:
    virtual ~TObject() = default;
    std::string ClassName() const;
};

// Root of the copyable option objects. Assign copies from a source of a known class; any other
// source ends in the framework's assignment error.
class TPersistent : public TObject {
public:
    virtual void Assign(const TPersistent& source);

protected:
    virtual void AssignTo(TPersistent& destination) const;
};

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csDesigning = 1u << 1,
    csDestroying = 1u << 2,
};

// The component base: an owner destroys what it owns, components ask to be told when a component
// they link to goes away (FreeNotification / Notification), and state flags mark loading, design
// time and destruction.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    bool InState(TComponentStateFlag flag) const { return (state_ & flag) != 0; }

    // Asks `component` to call this component's Notification when `component` is removed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Stand-in for reading stored properties: BeginLoading, set the properties, then Loaded.
    void BeginLoading() { state_ |= csLoading; }
    virtual void Loaded();
    void SetDesigning(bool designing);

    virtual void Notification(TComponent* component, TOperation operation);

protected:
    // Derived destructors call this first, so that their own teardown sees csDestroying.
    void Destroying() { state_ |= csDestroying; }

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    TComponent* owner_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    unsigned state_ = 0;
};
