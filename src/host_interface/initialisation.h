// One-time initialisation of the library.
#pragma once

#include <cstdint>

namespace kcertadm {

// Runs the initialisation once (concurrent first calls wait for the one that
// runs it): creates the three locks, chooses the international string
// encoding from IntlDERStringEncodeType and loads the message texts.
// Returns true when the library is initialised; on failure stores 30000 in
// `slot` and a later call tries again.
bool InitialiseLibrary(std::uint32_t& slot);

// For the entry points that initialise on first use: 0, or -1 with the
// message number in `slot`.
std::int32_t LazyInitialise(std::uint32_t& slot);

// For the services that do not initialise and refuse to run before.
bool IsLibraryInitialised();

// The encoding tag for an IntlDERStringEncodeType value: 0 T61String (20),
// 2 BMPString (30), anything else UTF8String (12).
int EncodingForSetting(std::int32_t setting);

}  // namespace kcertadm
