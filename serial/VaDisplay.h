/// @file
/// TVaDisplay, what a port needs of its line-status display.
#pragma once

#include <q4471/framework/Export.h>
#include <q4471/serial/VaClasses.h>

/// What a port needs of the line-status display attached through its Display property: a
/// component, so that its removal clears the property, that refreshes itself from the port whose
/// line events arrived. The drawn displays derive from it in the widget library beside this core,
/// which keeps the core free of any GUI toolkit.
class Q4471_API TVaDisplay : public TVaComponent {
public:
    /// Makes the display; `owner` (may be null) destroys it.
    using TVaComponent::TVaComponent;

    /// Reads the line states from `sender`, a port, and repaints; on the GUI thread.
    virtual void UpdateDisplay(q4471::TComponent* sender) = 0;
};
