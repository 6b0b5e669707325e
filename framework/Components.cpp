#include <q4471/framework/Components.h>
#include <q4471/framework/Exception.h>

#include <algorithm>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace q4471 {

std::string TObject::ClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && demangled ? demangled.get() : mangled;
    // Messages name the class alone, without its namespace.
    const auto scope = name.rfind("::");
    return scope == std::string::npos ? name : name.substr(scope + 2);
}

void TPersistent::Assign(const TPersistent& source) {
    source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& destination) const {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " + destination.ClassName());
}

namespace {
void Erase(std::vector<TComponent*>& list, TComponent* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
} // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) {
        owner_->InsertComponent(this);
    }
}

TComponent::~TComponent() {
    Destroying();
    // Everyone who linked to this component forgets it before it goes.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        Erase(other->freeNotifies_, this);
        other->Notification(this, TOperation::opRemove);
    }
    while (!components_.empty()) {
        delete components_.back(); // removes itself from components_
    }
    if (owner_ != nullptr) {
        owner_->RemoveComponent(this);
    }
}

void TComponent::InsertComponent(TComponent* component) {
    components_.push_back(component);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    Erase(components_, component);
    component->owner_ = nullptr;
    Notification(component, TOperation::opRemove);
}

void TComponent::FreeNotification(TComponent* component) {
    if (component == nullptr || component == this) {
        return;
    }
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
        freeNotifies_.push_back(component);
        component->freeNotifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (component == nullptr) {
        return;
    }
    Erase(freeNotifies_, component);
    Erase(component->freeNotifies_, this);
}

void TComponent::Loaded() {
    state_ &= ~static_cast<unsigned>(csLoading);
}

void TComponent::SetDesigning(bool designing) {
    state_ = designing ? (state_ | csDesigning) : (state_ & ~static_cast<unsigned>(csDesigning));
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component != nullptr) {
        Erase(freeNotifies_, component);
    }
}

} // namespace q4471
