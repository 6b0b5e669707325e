#pragma once

/// @file
/// How the component turns a port name into the device it opens, and how a program names its
/// ports its own way.

#include <q4471/framework/Export.h>

#include <functional>
#include <string>

namespace SerialPlatform {

/// How a port name becomes the path that the device's open (CreateFile) opens: given the name
/// with the Windows device prefix "\\.\" already dropped ("COM3", "ttyACM0", "/dev/pts/4"),
/// answers the path. Runs on whichever thread opens a port, probes it or reads its settings
/// (TVaComm::Open, GetPortState, TVaComm::ResetPortParameters), with no lock of the component
/// held.
using TDeviceResolver = std::function<std::string(const std::string& name)>;

/// Installs the resolver that DeviceNodeFor uses from now on, for the whole process; an empty one
/// puts the system's default back. Safe from any thread; a lookup already under way keeps the
/// resolver it took. A program that names its ports its own way installs its resolver once,
/// before it opens a port.
Q4471_API void SetDeviceResolver(TDeviceResolver resolver);

/// The path for a port name by the installed resolver, after dropping a leading "\\.\"; by
/// DefaultDeviceNode when none is installed. Safe from any thread.
Q4471_API std::string DeviceNodeFor(const std::string& name);

/// The system's own naming, which a resolver may fall back on. Linux: an absolute path stands as
/// it is; any other name is a node of that name under /dev ("ttyACM0" is /dev/ttyACM0). Linux has
/// no nodes named "COMn", so a "COMn" that no installed resolver maps is a missing device.
/// Windows: a path (with a drive or a separator) stands as it is; any other name is a device in
/// the device namespace: "COM3" is "\\.\COM3", which also reaches COM10 and above.
Q4471_API std::string DefaultDeviceNode(const std::string& name);

} // namespace SerialPlatform
