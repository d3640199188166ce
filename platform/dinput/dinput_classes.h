// Internal to the platform layer: the DirectInput classes CoCreateInstance makes.
#pragma once

#include "platform/com/com.h"

// CLSID_DirectInput and CLSID_DirectInput8; REGDB_E_CLASSNOTREG for any other class.
HRESULT CreateDirectInputClassObject(const CLSID& classId, const IID& iid, void** out);
