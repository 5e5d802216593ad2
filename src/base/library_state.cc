#include "base/library_state.h"

#include <atomic>

namespace kcertadm {
namespace {
std::atomic<int> intl_string_encoding{20};
}  // namespace

int IntlStringEncoding() { return intl_string_encoding.load(); }
void SetIntlStringEncoding(int tag) { intl_string_encoding.store(tag); }

}  // namespace kcertadm
