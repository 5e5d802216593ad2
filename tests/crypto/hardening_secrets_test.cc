// Secrets leave no copy behind in memory that is given back: the storage
// of SecureString and SecureBytes is inspected after their destruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "crypto/secure_memory.h"

namespace kcertadm {
namespace {

bool Contains(const unsigned char* memory, std::size_t size, const std::string& text) {
  return std::search(memory, memory + size, text.begin(), text.end()) != memory + size;
}

// The object's own bytes after its destructor ran: short texts live there.
TEST(SecretsReleased, StringObjectsHoldNoTextAfterDestruction) {
  const struct {
    const char* why;
    std::string text;
  } kTests[] = {
      {"empty", ""},
      {"short, kept inside the object", "pw1234"},
      {"longest inline text", "fifteen chars!!"},
      {"long, kept in an allocated block", "a password that does not fit inline"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    alignas(SecureString) unsigned char storage[sizeof(SecureString)];
    auto* secret = new (storage) SecureString(test.text);
    ASSERT_EQ(std::string(secret->data(), secret->size()), test.text);
    secret->~SecureString();
    if (!test.text.empty()) EXPECT_FALSE(Contains(storage, sizeof storage, test.text));
  }
}

TEST(SecretsReleased, MovedFromStringsHoldNoText) {
  alignas(SecureString) unsigned char storage[sizeof(SecureString)];
  auto* source = new (storage) SecureString("short secret");
  SecureString target(std::move(*source));
  SecureString assigned;
  assigned = std::move(target);
  EXPECT_EQ(assigned, "short secret");
  source->~SecureString();
  EXPECT_FALSE(Contains(storage, sizeof storage, "short secret"));
}

TEST(SecretsReleased, StringsBehaveAsStrings) {
  SecureString text = "secret";
  text += "!";
  SecureString copy = text;
  copy = copy + "?";
  EXPECT_EQ(text, "secret!");
  EXPECT_EQ(copy, "secret!?");
  EXPECT_EQ(SecureString(copy.begin(), copy.begin() + 3), "sec");
}

}  // namespace
}  // namespace kcertadm
