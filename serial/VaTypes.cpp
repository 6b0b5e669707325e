#include <q4471/serial/VaTypes.h>

// Defined here so that the class's type information lives in one object file.
EVaCommError::~EVaCommError() = default;
