// Which passwords a command line still lacks, found by parsing a copy of
// its parameters exactly as the library will.
#pragma once

#include <string_view>

#include "host_interface/command_table.h"

namespace kcertadm::cli {

struct PasswordPlan {
  bool takes_password = false;       // the command opens or creates a key ring
  bool needs_password = false;       // no Password item and no UseStash
  bool has_password = false;         // a Password item is present
  bool creates_key_ring = false;     // a new password: ask twice
  bool key_ring_exists = false;      // ... but the key ring to create exists already
  bool needs_new_password = false;   // ChangePassword without NewPassword
  bool has_new_password = false;     // a NewPassword item is present
  bool takes_file_password = false;  // ImportKey, ExportKey: a key file's password
  bool has_file_password = false;    // a FilePassword item is present
  bool new_file_password = false;    // ExportKey: ask twice, never empty
  bool creates_key = false;          // the command generates a key pair
  int key_size = 0;                  // its size in bits
};

// The plan for `command` with these parameters. A command that takes no
// password, or whose parameters fail for another reason (an unknown
// keyword, a bad Version or ValidDays), gets an empty plan: it fails
// without asking anything.
PasswordPlan PlanPasswords(CommandId command, std::string_view parameters);

}  // namespace kcertadm::cli
