// Process-wide library state that other subsystems read.
#pragma once

namespace kcertadm {

// ASN.1 universal tag used by the name builder for attribute values that are
// neither PrintableString nor IA5String: 20 (T61String) until the library is
// initialised, then chosen from the IntlDERStringEncodeType setting.
int IntlStringEncoding();
void SetIntlStringEncoding(int tag);

}  // namespace kcertadm
