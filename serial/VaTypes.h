/// @file
/// The serial component's exception and its integer range types.
#pragma once

#include "framework/Exception.h"

#include <cstdint>

/// The serial component's one exception class; it carries a message only (what(), Message()).
class EVaCommError : public Exception {
public:
    /// Makes the error with its message.
    using Exception::Exception;
    /// Defined out of line, so that the class's type information lives in the library.
    ~EVaCommError() override;
};

/// Queue sizes, time-outs and limits: 0..2147483647. Plain integers; the option groups store any
/// value they are given, so callers keep to the range.
using TVaIntW = int32_t;

/// Port numbers: 0..2147483647, like TVaIntW.
using TVaPortInt = int32_t;
