#include "base/secure_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <utility>

namespace kcertadm {
namespace {

// Short texts live inside the object: its bytes after destruction, moved away or not.
TEST(SecureString, HoldsNoTextAfterDestructionOrMove) {
  for (const std::string text :
       {"pw1234", "fifteen chars!!", "a password that does not fit inline"}) {
    for (bool moved : {false, true}) {
      SCOPED_TRACE(text + (moved ? ", moved away" : ""));
      alignas(SecureString) unsigned char storage[sizeof(SecureString)];
      auto* secret = new (storage) SecureString(text);
      if (moved) {
        SecureString target(std::move(*secret)), assigned;
        assigned = std::move(target);
        EXPECT_EQ(assigned, text.c_str());
      }
      secret->~SecureString();
      EXPECT_EQ(std::search(storage, storage + sizeof storage, text.begin(), text.end()),
                storage + sizeof storage);
    }
  }
}

}  // namespace
}  // namespace kcertadm
