#include "host_interface/command_context.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kcertadm {
namespace {

TEST(SecurityCmdContext, FieldOrderAndOffsets) {
  // Text fields take a pointer each, every other field 32 bits; the order is
  // the binary interface. Spot-check the ends of each run.
  struct Case {
    std::size_t offset;
    std::size_t expected;
    const char* field;
  } const kTests[] = {
      {offsetof(SecurityCmdContext, country), 0, "country"},
      {offsetof(SecurityCmdContext, state), 8, "state"},
      {offsetof(SecurityCmdContext, commonName), 40, "commonName"},
      {offsetof(SecurityCmdContext, zipCode), 72, "zipCode"},
      {offsetof(SecurityCmdContext, reserved10), 80, "reserved10"},
      {offsetof(SecurityCmdContext, requestText), 88, "requestText"},
      {offsetof(SecurityCmdContext, keySize), 136, "keySize"},
      {offsetof(SecurityCmdContext, validDays), 160, "validDays"},
      {offsetof(SecurityCmdContext, usePKCS7), 184, "usePKCS7"},
      {offsetof(SecurityCmdContext, getIssuer), 228, "getIssuer"},
      {offsetof(SecurityCmdContext, noZavFlag), 240, "noZavFlag"},
      {sizeof(SecurityCmdContext), 256, "size"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(c.offset, c.expected);
  }
}

TEST(ResetCommandContext, ZeroFillsThenSetsDefaults) {
  SecurityCmdContext context;
  std::memset(&context, 0xAB, sizeof context);
  ResetCommandContext(context);
  EXPECT_STREQ(context.keyFile, "keyfile.kyr");
  EXPECT_EQ(context.keySize, 512);
  EXPECT_EQ(context.validDays, 365);
  EXPECT_EQ(context.password, nullptr);
  EXPECT_EQ(context.commonName, nullptr);
  EXPECT_EQ(context.requestTextLength, 0u);
  EXPECT_EQ(context.useStash, 0);
  EXPECT_EQ(context.reserved40, 0u);
}

}  // namespace
}  // namespace kcertadm
