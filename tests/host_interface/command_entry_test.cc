#include "host_interface/command_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/library_state.h"
#include "host/host_settings.h"
#include "host/messages.h"
#include "host_interface/command_table.h"
#include "host_interface/initialisation.h"
#include "kcertadm.h"

namespace kcertadm {
namespace {

// The exported entry point's status and the text it reports.
std::pair<std::int32_t, std::string> RunCommand(const char* command, const char* parameters) {
  std::string writable = parameters != nullptr ? parameters : "";
  char text[512] = "untouched";
  const std::int32_t status = ProcessSecurityCmd(
      command, parameters != nullptr ? writable.data() : nullptr, text, sizeof text);
  return {status, text};
}

TEST(ProcessSecurityCmd, OutcomesByCommand) {
  struct Case {
    const char* command;
    const char* parameters;
    std::int32_t status;
    std::uint32_t number;
    const char* why;
  };
  const Case kTests[] = {
      {"AdminSecurity", "", 0, kMsgAdminSecurity, "the one command that needs nothing"},
      {"adminsecurity", nullptr, 0, kMsgAdminSecurity, "command names ignore letter case"},
      {"NoSuchCommand", "Bogus", -1, kMsgUnknownCommand, "unknown before parameters are read"},
      {"", nullptr, -1, kMsgUnknownCommand, "empty command name"},
      {nullptr, nullptr, -1, kMsgUnknownCommand, "no command name"},
      {"AdminSecurit", nullptr, -1, kMsgUnknownCommand, "commands are not abbreviated"},
      {"GetEntries", nullptr, -1, kMsgNoPassword, "null parameters still checked"},
  };
  for (const Case& c : kTests) {
    const auto outcome = RunCommand(c.command, c.parameters);  // loads the texts first
    EXPECT_EQ(outcome, std::make_pair(c.status, std::string(MessageText(c.number)))) << c.why;
  }
  // A one-byte buffer holds the NUL alone; no buffer at all is allowed.
  char buffer[1] = {'x'};
  EXPECT_EQ(ProcessSecurityCmd(nullptr, nullptr, buffer, sizeof buffer), -1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(ProcessSecurityCmd("AdminSecurity", nullptr, nullptr, 0), 0);
}

// No command but AdminSecurity succeeds on a key ring that does not exist; each says why.
TEST(ProcessSecurityCmd, NoOtherCommandSucceedsWithoutItsInputs) {
  for (const Command& command : Commands()) {
    if (command.id == CommandId::kAdminSecurity) continue;
    SCOPED_TRACE(command.name);
    const auto [status, text] = RunCommand(command.name, "Password=p;KeyFile=/nonexistent/k.kyr");
    EXPECT_TRUE(status != 0 && !text.empty() && text != "untouched") << status << " " << text;
  }
}

// 0 T61String, 2 BMPString, anything else UTF8String.
TEST(Initialisation, EncodingForSetting) {
  const std::pair<std::int32_t, int> kTests[] = {{0, 20},   {2, 30},  {1, 12},
                                                 {100, 12}, {-1, 12}, {3, 12}};
  for (const auto& [setting, tag] : kTests) EXPECT_EQ(EncodingForSetting(setting), tag) << setting;
}

// The first calls race to initialise the library: each must find the texts and the encoding of the
// setting.
TEST(Initialisation, ConcurrentFirstCallsAllSucceed) {
  std::vector<std::string> texts(8);
  std::vector<std::thread> threads;
  for (std::string& text : texts) {
    threads.emplace_back([&text] {
      char buffer[256];
      if (ProcessSecurityCmd("AdminSecurity", nullptr, buffer, sizeof buffer) == 0) text = buffer;
    });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& text : texts) EXPECT_EQ(text, MessageText(kMsgAdminSecurity));
  EXPECT_EQ(IntlStringEncoding(),
            EncodingForSetting(HostReadSettingNumber("IntlDERStringEncodeType", 100)));
}

}  // namespace
}  // namespace kcertadm
