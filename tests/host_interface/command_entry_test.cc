#include "host_interface/command_entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/host_settings.h"
#include "host_interface/command_table.h"
#include "host_interface/initialisation.h"
#include "host_interface/library_state.h"
#include "host_interface/messages.h"
#include "kcertadm.h"

namespace kcertadm {
namespace {

struct Outcome {
  std::int32_t status;
  std::uint32_t number;
  std::string text;
};

Outcome RunCommand(const char* command, const char* parameters) {
  std::vector<char> writable;
  if (parameters) writable.assign(parameters, parameters + std::strlen(parameters) + 1);
  char buffer[512];
  MessageReporter reporter(buffer, sizeof buffer);
  const std::int32_t status =
      ProcessCommand(command, parameters ? writable.data() : nullptr, reporter);
  return {status, reporter.last(), buffer};
}

TEST(ProcessSecurityCmd, OutcomesByCommand) {
  struct Case {
    const char* command;
    const char* parameters;
    std::int32_t status;
    std::uint32_t number;
    const char* why;
  } const kTests[] = {
      {"AdminSecurity", "", 0, kMsgAdminSecurity, "the one command that needs nothing"},
      {"adminsecurity", nullptr, 0, kMsgAdminSecurity, "command names ignore letter case"},
      {"AdminSecurity", "Password=x;Version=2", 0, kMsgAdminSecurity, "parameters allowed"},
      {"AdminSecurity", "Version=1", -1, kMsgBadVersion, "but still parsed"},
      {"NoSuchCommand", "Bogus", -1, kMsgUnknownCommand, "unknown before parameters are read"},
      {"", nullptr, -1, kMsgUnknownCommand, "empty command name"},
      {"AdminSecurit", nullptr, -1, kMsgUnknownCommand, "commands are not abbreviated"},
      {"GetEntries", nullptr, -1, kMsgNoPassword, "null parameters still checked"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    const Outcome outcome = RunCommand(c.command, c.parameters);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.number, c.number);
    ASSERT_NE(MessageText(c.number), nullptr);
    EXPECT_EQ(outcome.text, MessageText(c.number));
  }
}

TEST(ProcessSecurityCmd, NoOtherCommandSucceedsWithoutItsInputs) {
  // Built or not yet built, no command but AdminSecurity can succeed on a
  // key ring that does not exist; each says why with a message.
  for (const Command& command : Commands()) {
    if (command.id == CommandId::kAdminSecurity) continue;
    SCOPED_TRACE(command.name);
    const Outcome outcome = RunCommand(command.name, "Password=p;KeyFile=/nonexistent/k.kyr");
    EXPECT_NE(outcome.status, 0);
    EXPECT_NE(outcome.number, 0u);
    EXPECT_FALSE(outcome.text.empty());
  }
}

TEST(ProcessSecurityCmd, NullCommandAndSmallBuffers) {
  char parameters[] = "";
  char text[256];
  EXPECT_EQ(ProcessSecurityCmd("AdminSecurity", parameters, text, sizeof text), 0);
  EXPECT_STREQ(text, MessageText(kMsgAdminSecurity));
  char buffer[1] = {'x'};
  EXPECT_EQ(ProcessSecurityCmd(nullptr, nullptr, buffer, sizeof buffer), -1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(ProcessSecurityCmd("AdminSecurity", nullptr, nullptr, 0), 0);
}

TEST(Initialisation, EncodingChoice) {
  struct Case {
    std::int32_t setting;
    int tag;
  } const kTests[] = {{0, 20}, {2, 30}, {1, 12}, {100, 12}, {-1, 12}, {3, 12}};
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(EncodingForSetting(c.setting), c.tag);
  }
}

TEST(Initialisation, InitSecLibSetsEncodingAndLoadsTexts) {
  std::uint32_t error = 0;
  EXPECT_EQ(InitSecLib(&error), 1);
  EXPECT_EQ(InitSecLib(nullptr), 1);
  EXPECT_EQ(error, 0u);
  EXPECT_TRUE(IsLibraryInitialised());
  EXPECT_EQ(IntlStringEncoding(),
            EncodingForSetting(HostReadSettingNumber("IntlDERStringEncodeType", 100)));
  // Initialising directly must not leave the texts unloaded.
  EXPECT_NE(MessageText(kMsgAdminSecurity), nullptr);
}

TEST(Initialisation, ConcurrentFirstCallsAllSucceed) {
  std::vector<std::thread> threads;
  std::vector<std::string> texts(8);
  std::vector<std::int32_t> statuses(8, -2);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    threads.emplace_back([&, i] {
      char buffer[256];
      statuses[i] = ProcessSecurityCmd("AdminSecurity", nullptr, buffer, sizeof buffer);
      texts[i] = buffer;
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(statuses[i], 0);
    EXPECT_FALSE(texts[i].empty());
  }
}

}  // namespace
}  // namespace kcertadm
