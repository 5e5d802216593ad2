// ToolkitLock as a type: the proof that a toolkit call is made under it.
//
// Every toolkit call takes `const ToolkitLockHeld&` as its first argument,
// and only holding the lock gives one:
//
//   ToolkitLockHeld lock;
//   if (int status = AlgSetInfo(lock, digest.get(), AlgInfoMd5(), nullptr).code()) ...
//
// A function that makes toolkit calls for its caller takes the proof the
// same way and hands it on.
//
// Inside the toolkit, the handlers and key forms that a call runs make
// further toolkit calls themselves (the method lookup reads key forms, the
// RSA key generator and PKCS #1 padding draw random bytes, the
// password-based ciphers make their cipher key). Their operations are
// entered through the handler tables, whose signatures do not carry the
// proof, and they always run inside a toolkit call of their caller, which
// holds the lock. They take the live proof of the calling thread with
// ToolkitLockHeld::Current(), which stops the process when this thread
// holds none, so the rule is still checked at every call. Current() is
// for those few places (the method lookup, the key generation and PKCS #1
// handlers, the password-based handlers) and for the owners, which
// release their objects under the lock this thread may already hold;
// everything else is handed the proof by its caller.
#pragma once

#include <utility>

#include "base/locks.h"

namespace kcertadm {

// Holds ToolkitLock for its lifetime, and is the proof of holding it.
class ToolkitLockHeld {
 public:
  ToolkitLockHeld();
  ~ToolkitLockHeld();
  ToolkitLockHeld(const ToolkitLockHeld&) = delete;
  ToolkitLockHeld& operator=(const ToolkitLockHeld&) = delete;

  // True while a ToolkitLockHeld lives on the calling thread.
  static bool OnThisThread();
  // The ToolkitLockHeld living on the calling thread. Without one the
  // process stops: a toolkit call outside the lock is a fault of the code,
  // not of its input.
  static const ToolkitLockHeld& Current();

 private:
  ToolkitGuard guard_;
};

// Runs `call(lock)` while holding ToolkitLock and returns its result.
template <typename Call>
auto WithToolkitLock(Call&& call) {
  ToolkitLockHeld lock;
  return std::forward<Call>(call)(std::as_const(lock));
}

}  // namespace kcertadm
