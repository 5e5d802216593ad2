#include "host_interface/initialisation.h"

#include <atomic>
#include <mutex>

#include "base/library_state.h"
#include "base/locks.h"
#include "host/host_settings.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

// Read when the setting is absent; maps to UTF8String.
constexpr std::int32_t kEncodingSettingFallback = 100;

std::atomic<bool> initialised{false};

std::mutex& InitialisationLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

int EncodingForSetting(std::int32_t setting) {
  if (setting == 0) return 20;
  if (setting == 2) return 30;
  return 12;
}

bool InitialiseLibrary(std::uint32_t& /*slot*/) {
  if (initialised.load(std::memory_order_acquire)) return true;
  std::lock_guard<std::mutex> guard(InitialisationLock());
  if (initialised.load(std::memory_order_relaxed)) return true;
  // The locks are constructed here, before any command runs; a standard
  // mutex cannot fail to be created, so 30000 is never reported.
  KeyRingLock();
  RandomLock();
  ToolkitLock();
  SetIntlStringEncoding(EncodingForSetting(
      HostReadSettingNumber("IntlDERStringEncodeType", kEncodingSettingFallback)));
  LoadMessageTexts();
  initialised.store(true, std::memory_order_release);
  return true;
}

std::int32_t LazyInitialise(std::uint32_t& slot) { return InitialiseLibrary(slot) ? 0 : -1; }

bool IsLibraryInitialised() { return initialised.load(std::memory_order_acquire); }

}  // namespace kcertadm
