#pragma once

// The component's records and Windows' own (<windows.h>), converted member by member: the
// component's are plain, fixed-width and free of bit fields, Windows' pack flags into bit fields.
// Declared with Windows' record tags, so that this header needs no <windows.h>.

#include "serial/platform/CommPlatform.h"

struct _DCB;
struct _COMMTIMEOUTS;
struct _COMSTAT;
struct _COMMPROP;

namespace SerialPlatform {

// Writes the members of `dcb` into `win`; members the component has no place for (DCBlength,
// the reserved ones) are left as they are, so that a record read with GetCommState keeps them.
void ToWindowsDCB(const DCB& dcb, _DCB& win);
DCB FromWindowsDCB(const _DCB& win);

void ToWindowsTimeouts(const COMMTIMEOUTS& timeouts, _COMMTIMEOUTS& win);
// The hold flags become COMSTAT::Flags in Windows' bit order (COMSTAT_CTS_HOLD ...).
COMSTAT FromWindowsComStat(const _COMSTAT& win);
COMMPROP FromWindowsCommProp(const _COMMPROP& win);

} // namespace SerialPlatform
