// kcertadm [OPTION ...] COMMAND [ITEM ...]: runs one key ring command and
// prints its message as "NUMBER: TEXT".
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/secure_memory.h"
#include "check_expiry_command.h"
#include "command_help.h"
#include "commands/receive_chain.h"
#include "expiry_check.h"
#include "host/host_text.h"
#include "host/message_reporter.h"
#include "host/messages.h"
#include "host_interface/command_entry.h"
#include "host_interface/command_table.h"
#include "host_interface/initialisation.h"
#include "host_interface/keyword_table.h"
#include "item_checks.h"
#include "json_listing.h"
#include "keyring/certificate_verification.h"
#include "left_out_entries.h"
#include "password_plan.h"
#include "password_source.h"
#include "standard_output.h"
#include "terminal_prompt.h"
#include "tool_defaults.h"

#ifndef KCERTADM_VERSION
#define KCERTADM_VERSION "unknown"
#endif

namespace {

using kcertadm::SecureString;
using namespace kcertadm::cli;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCheckUnknown = static_cast<int>(PluginStatus::kUnknown);
constexpr int kWeakKeyBits = 2048;

// A refusal: exit status 2 with a reason on stderr. A password that could
// not be had is no misuse of the command line, so it gets no pointer to the
// help.
struct UsageError {
  std::string problem;
  bool point_to_help = true;
};

struct CommandLine {
  const char* command = nullptr;
  bool help = false;  // COMMAND --help
  bool json = false;  // --json: the listing as JSON
  std::vector<const char*> items;
  std::optional<PasswordSource> passin;
  std::optional<PasswordSource> newpassin;
  std::optional<PasswordSource> filepassin;
};

// The parameter syntax has no escape, so a ";" inside a value would split
// it into a further item. Within one argument every piece after the first
// must therefore be a complete keyword item; anything else is a value that
// held ";" and is refused rather than passed on in halves. Empty pieces are
// refused too: they would silently clear CommonName.
std::optional<std::string> CheckItem(std::string_view item) {
  if (item.empty()) return std::string("an empty item");
  bool first = true;
  while (true) {
    const std::size_t end = item.find(';');
    const std::string_view piece = item.substr(0, end);
    if (piece.empty()) return "an empty item in \"" + std::string(item) + "\"";
    if (auto problem = ItemProblem(piece)) return problem;
    if (!first) {
      const std::string_view keyword = piece.substr(0, piece.find('='));
      if (kcertadm::FindKeywordExact(keyword) < 0) {
        return "\"" + std::string(piece) + "\" is not a keyword item; a value cannot hold \";\"";
      }
    }
    if (end == std::string_view::npos) return std::nullopt;
    item.remove_prefix(end + 1);
    first = false;
  }
}

int Usage(const std::string& problem, bool point_to_help = true) {
  std::fprintf(stderr, "kcertadm: %s\n", problem.c_str());
  if (point_to_help) std::fputs("try: kcertadm --help\n", stderr);
  return kExitUsage;
}

UsageError PasswordProblem(std::string problem) { return UsageError{std::move(problem), false}; }

// "--passin X", "--passin=X" and openssl's "-passin X".
bool TakeOption(std::string_view name, int argc, char** argv, int& i,
                std::optional<PasswordSource>& slot) {
  const std::string_view arg = argv[i];
  const std::string_view bare = name.substr(1);  // "-passin"
  std::string_view source_text;
  if (arg == name || arg == bare) {
    if (i + 1 >= argc) throw UsageError{std::string(name) + " needs a password source"};
    source_text = argv[++i];
  } else if (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
             arg[name.size()] == '=') {
    source_text = arg.substr(name.size() + 1);
  } else {
    return false;
  }
  if (slot) throw UsageError{std::string(name) + " is given twice"};
  std::string problem;
  slot = ParsePasswordSource(source_text, problem);
  if (!slot) throw UsageError{std::string(name) + ": " + problem};
  return true;
}

CommandLine ReadCommandLine(int argc, char** argv) {
  CommandLine line;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!options_end && arg.size() > 1 && arg[0] == '-') {
      if (arg == "--") {
        options_end = true;
        continue;
      }
      if (line.command != nullptr && (arg == "--help" || arg == "-h")) {
        line.help = true;
        continue;
      }
      if (arg == "--json") {
        line.json = true;
        continue;
      }
      if (TakeOption("--passin", argc, argv, i, line.passin)) continue;
      if (TakeOption("--newpassin", argc, argv, i, line.newpassin)) continue;
      if (TakeOption("--filepassin", argc, argv, i, line.filepassin)) continue;
      throw UsageError{"unknown option \"" + std::string(arg) + "\""};
    }
    if (line.command == nullptr) {
      line.command = argv[i];
    } else {
      if (auto problem = CheckItem(arg)) throw UsageError{*problem};
      line.items.push_back(argv[i]);
    }
  }
  if (line.command == nullptr) throw UsageError{"no command given"};
  return line;
}

// A password goes into the parameter string as a value, which ends at the
// first ";": a password holding one cannot be passed on whole.
SecureString Checked(SecureString password, const char* what) {
  if (password.find(';') != SecureString::npos) {
    throw PasswordProblem(std::string(what) +
                          " holds \";\", which the parameter syntax cannot carry; "
                          "choose a password without \";\"");
  }
  return password;
}

SecureString ReadFrom(PasswordReader& reader, const PasswordSource& source, const char* what) {
  std::string problem;
  std::optional<SecureString> password = reader.Read(source, problem);
  if (!password) throw PasswordProblem(problem);
  return Checked(std::move(*password), what);
}

// Asks on the terminal; a new password is asked twice and may not be empty.
SecureString Ask(const char* prompt, const char* again, bool is_new, const char* what) {
  std::string problem;
  std::optional<SecureString> first = PromptHidden(prompt, problem);
  if (!first) throw PasswordProblem(problem);
  if (is_new) {
    if (first->empty()) throw PasswordProblem("an empty password is not accepted here");
    std::optional<SecureString> second = PromptHidden(again, problem);
    if (!second) throw PasswordProblem(problem);
    if (*first != *second) throw PasswordProblem("the two passwords differ");
  }
  return Checked(std::move(*first), what);
}

// The FilePassword item of ImportKey and ExportKey when the command line
// lacks it: from --filepassin, or asked on the terminal (twice, and not
// empty, for the file ExportKey protects).
void AppendFilePasswordItem(const CommandLine& line, const PasswordPlan& plan,
                            PasswordReader& reader, SecureString& items) {
  if (!plan.takes_file_password) {
    if (line.filepassin) throw UsageError{"--filepassin is for ImportKey and ExportKey"};
    return;
  }
  std::optional<SecureString> password;
  if (line.filepassin) {
    if (plan.has_file_password) {
      throw UsageError{"--filepassin and a FilePassword item both give the file password"};
    }
    password = ReadFrom(reader, *line.filepassin, "the file password");
    if (plan.new_file_password && password->empty()) {
      throw PasswordProblem("an empty file password is not accepted for ExportKey");
    }
  } else if (!plan.has_file_password && CanPrompt()) {
    password = plan.new_file_password
                   ? Ask("New key file password: ", "Repeat the key file password: ", true,
                         "the file password")
                   : Ask("Key file password: ", nullptr, false, "the file password");
  }
  if (password) {
    items += "FilePassword=";
    items += *password;
    items += ';';
  }
}

// The items that carry the passwords this command line still lacks, put
// before the user's items (a later item would change the meaning of a bare
// KeySize or ValidDays at the end).
SecureString PasswordItems(const CommandLine& line, const PasswordPlan& plan,
                           kcertadm::CommandId command) {
  SecureString items;
  if (!plan.takes_password) return items;  // nothing to read, nothing to ask
  items.reserve(3 * kMaxPasswordLength + 96);
  PasswordReader reader;
  std::optional<SecureString> password;
  if (line.passin) {
    if (plan.has_password) throw UsageError{"--passin and a Password item both give the password"};
    password = ReadFrom(reader, *line.passin, "the password");
  } else if (plan.needs_password) {
    if (CanPrompt()) {
      password = plan.creates_key_ring
                     ? Ask("New key ring password: ", "Repeat the password: ", true, "the password")
                     : Ask("Key ring password: ", nullptr, false, "the password");
    } else {
      std::fputs(
          "kcertadm: no password given and no terminal to ask on; "
          "give Password=, UseStash or --passin\n",
          stderr);
    }
  }
  if (password) {
    items += "Password=";
    items += *password;
    items += ';';
  }
  AppendFilePasswordItem(line, plan, reader, items);
  if (command != kcertadm::CommandId::kChangePassword) return items;
  std::optional<SecureString> new_password;
  if (line.newpassin) {
    if (plan.has_new_password) {
      throw UsageError{"--newpassin and a NewPassword item both give the new password"};
    }
    new_password = ReadFrom(reader, *line.newpassin, "the new password");
  } else if (plan.needs_new_password && CanPrompt()) {
    new_password =
        Ask("New key ring password: ", "Repeat the new password: ", true, "the new password");
  }
  if (new_password) {
    items += "NewPassword=";
    items += *new_password;
    items += ';';
  }
  return items;
}

int CommandHelpFor(const char* command) {
  const CommandHelp* help = FindCommandHelp(command);
  if (help == nullptr) return Usage(std::string("unknown command \"") + command + "\"");
  PrintCommandHelp(*help, stdout);
  return kExitSuccess;
}

int Help(int argc, char** argv) {
  if (argc < 3) {
    PrintUsage(stdout);
    return kExitSuccess;
  }
  return CommandHelpFor(argv[2]);
}

// For shell completion: the command names, or the keywords of one command.
int ListForCompletion(int argc, char** argv) {
  if (std::strcmp(argv[1], "--commands") == 0) {
    for (const CommandHelp& help : AllCommandHelp()) std::puts(help.name);
    return kExitSuccess;
  }
  const CommandHelp* help = argc > 2 ? FindCommandHelp(argv[2]) : nullptr;
  if (help == nullptr) return kExitUsage;
  for (const KeywordHelp& keyword : help->keywords) {
    const std::string_view name = KeywordOf(keyword);
    const bool takes_value = std::strchr(keyword.item, '=') != nullptr;
    std::printf("%.*s%s\n", static_cast<int>(name.size()), name.data(), takes_value ? "=" : "");
  }
  return kExitSuccess;
}

// A new key ring takes the roots of KCERTADM_ROOTS that it can hold; say
// how many were left out, since a system bundle holds elliptic-curve roots.
void NoteSkippedRoots() {
  const std::size_t skipped = kcertadm::KeyRingHostRootsSkipped();
  if (skipped == 0) return;
  std::fprintf(stderr,
               "kcertadm: note: %zu certificate%s of KCERTADM_ROOTS left out: a key ring "
               "holds only RSA keys, in records of at most 8000 bytes\n",
               skipped, skipped == 1 ? "" : "s");
}

// ReceiveRootCert of a bundle answers 30085 when it skipped certificates;
// the message has no room for the number, so say it here.
void NoteSkippedBundleCertificates(std::uint32_t message) {
  if (message != kcertadm::kMsgBundleRootsSkipped) return;
  const std::size_t skipped = kcertadm::ReceivedBundleSkipped();
  std::fprintf(stderr,
               "kcertadm: note: %zu certificate%s of the bundle skipped: a key ring holds "
               "self-signed RSA roots, valid now, in records of at most 8000 bytes\n",
               skipped, skipped == 1 ? "" : "s");
}

// Warns about an item the command does not read: the library accepts it
// and nothing comes of it.
void WarnIfUnread(const CommandHelp* help, std::string_view item) {
  if (help == nullptr || CommandReads(*help, item)) return;
  const std::string_view keyword = ItemKeyword(item);
  std::fprintf(stderr, "kcertadm: warning: %s does not read %.*s; the item has no effect\n",
               help->name, static_cast<int>(keyword.size()), keyword.data());
}

// Calls take(item) for every item of the command line's arguments.
template <typename Take>
void ForEachItem(const CommandLine& line, Take take) {
  for (const char* argument : line.items) {
    std::string_view rest = argument;
    while (true) {
      const std::size_t end = rest.find(';');
      take(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
}

// The parameter text of the command line's items, each item checked for
// being read and "-" output names redirected to temporary files.
SecureString JoinItems(const CommandLine& line, StandardOutputFiles& outputs) {
  const CommandHelp* help = FindCommandHelp(line.command);
  SecureString parameters;
  ForEachItem(line, [&](std::string_view item) {
    WarnIfUnread(help, item);
    if (!parameters.empty()) parameters += ';';
    if (std::optional<std::string> redirected = outputs.Redirect(item)) {
      parameters += *redirected;
    } else {
      parameters += item;
    }
  });
  return parameters;
}

// After GetEntries without ShowPrivateKey: an empty report of a key ring
// whose entries all hold keys is explained.
void ExplainEmptyReport(const SecureString& parameters) {
  const std::optional<EntryCounts> counts = CountLeftOutEntries(parameters);
  if (!counts || counts->withPrivateKey == 0 || counts->withPrivateKey != counts->total) return;
  std::fprintf(stderr,
               "kcertadm: note: the report lists no entry: the %zu entr%s of the key ring "
               "hold%s a private key, listed only with ShowPrivateKey\n",
               counts->total, counts->total == 1 ? "y" : "ies", counts->total == 1 ? "s" : "");
}

// The password items go before the user's items.
void AddPasswordItems(SecureString& parameters, SecureString items) {
  if (items.empty()) return;
  if (parameters.empty()) items.pop_back();  // the ";" before nothing
  parameters.insert(0, items);
}

// --json writes to standard output unless EntriesFile names a file.
void DefaultToStandardOutput(CommandLine& line) {
  bool named = false;
  ForEachItem(line, [&](std::string_view item) {
    named = named || kcertadm::FindKeyword(ItemKeyword(item)) == kcertadm::kKwEntriesFile;
  });
  if (!named) line.items.push_back("EntriesFile=-");
}

bool IsJsonListing(const kcertadm::Command* command) {
  return command != nullptr && (command->id == kcertadm::CommandId::kGetEntries ||
                                command->id == kcertadm::CommandId::kViewCert);
}

int RunCommand(CommandLine line) {
  const kcertadm::Command* command = kcertadm::FindCommand(line.command);
  if (line.json) {
    if (!IsJsonListing(command)) {
      throw UsageError{"--json is for GetEntries, ViewCert and CheckExpiry"};
    }
    DefaultToStandardOutput(line);
  }
  StandardOutputFiles outputs;
  SecureString parameters = JoinItems(line, outputs);
  // With standard output taken by a file, the message goes to errors.
  std::FILE* const message_out = outputs.Any() ? stderr : stdout;
  char message[1024] = "";
  kcertadm::MessageReporter reporter(message, sizeof message);
  PasswordPlan plan;
  if (command != nullptr) {
    // Before the plan, which reads the key size for its warning.
    const std::string defaults = DefaultItems(command->id, parameters);
    if (!defaults.empty()) {
      parameters.insert(0, defaults.data(),
                        parameters.empty() ? defaults.size() - 1 : defaults.size());
    }
    plan = PlanPasswords(command->id, parameters);
    // Creating would fail on the existing file; say so before a new
    // password is asked for twice.
    if (plan.key_ring_exists && plan.needs_password && !line.passin && CanPrompt()) {
      std::uint32_t slot = kcertadm::kMsgNone;
      kcertadm::LazyInitialise(slot);  // loads the message texts
      reporter.Report(kcertadm::kMsgKeyFileExists);
      std::fprintf(message_out, "%u: %s\n", static_cast<unsigned>(reporter.last()), message);
      return kExitFailure;
    }
    AddPasswordItems(parameters, PasswordItems(line, plan, command->id));
  }
  SecureString writable(parameters);  // the parser writes into its text

  std::int32_t status;
  try {
    status = line.json ? RunJsonListing(command->id, writable, reporter)
                       : kcertadm::ProcessCommand(line.command, writable.data(), reporter);
  } catch (const std::bad_alloc&) {
    reporter.Report(kcertadm::kMsgOutOfMemory);
    status = -1;
  }
  if (status == 0 && !outputs.CopyToStandardOutput()) {
    std::fputs("kcertadm: the output could not be copied to standard output\n", stderr);
    status = -1;
  }
  std::fprintf(message_out, "%u: %s\n", static_cast<unsigned>(reporter.last()), message);
  if (status == 0 && command != nullptr && command->id == kcertadm::CommandId::kGetEntries) {
    ExplainEmptyReport(parameters);
  }
  if (status == 0 && plan.creates_key_ring) NoteSkippedRoots();
  NoteSkippedBundleCertificates(reporter.last());
  if (status == 0 && plan.creates_key && plan.key_size < kWeakKeyBits) {
    std::fprintf(stderr,
                 "kcertadm: warning: the new RSA key has only %d bits, which is weak; "
                 "give KeySize=2048 or more\n",
                 plan.key_size);
  }
  return status == 0 ? kExitSuccess : kExitFailure;
}

bool IsCheckExpiry(std::string_view command) {
  return kcertadm::HostCompareString(command, kCheckExpiryCommand) == 0;
}

// CheckExpiry's Days items, which the library does not know, are taken out
// of the command line; the last one counts. kept holds the items left.
int TakeDays(CommandLine& line, std::vector<std::string>& kept) {
  int days = kDefaultExpiryDays;
  ForEachItem(line, [&](std::string_view item) {
    const std::string_view keyword = ItemKeyword(item);
    if (kcertadm::HostCompareString(keyword, "Days") != 0) {
      kept.emplace_back(item);
      return;
    }
    const std::optional<int> value = keyword.size() < item.size()
                                         ? ParseExpiryDays(item.substr(keyword.size() + 1))
                                         : std::nullopt;
    if (!value) throw UsageError{"Days takes a number of days from 0 to 36500"};
    days = *value;
  });
  line.items.clear();
  for (const std::string& item : kept) line.items.push_back(item.c_str());
  return days;
}

// CheckExpiry opens the key ring as GetEntries does, with its passwords.
int RunExpiryCheck(CommandLine line) {
  std::vector<std::string> kept;
  const int days = TakeDays(line, kept);
  StandardOutputFiles outputs;
  SecureString parameters = JoinItems(line, outputs);
  const PasswordPlan plan = PlanPasswords(kcertadm::CommandId::kGetEntries, parameters);
  AddPasswordItems(parameters, PasswordItems(line, plan, kcertadm::CommandId::kGetEntries));
  return RunCheckExpiry(parameters, days, line.json, std::time(nullptr));
}

// The command word of the arguments: the first that is neither an option
// nor an option's value; null when there is none.
const char* CommandWord(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--passin" || arg == "-passin" || arg == "--newpassin" || arg == "-newpassin") {
      ++i;
    } else if (arg.empty() || arg[0] != '-') {
      return argv[i];
    }
  }
  return nullptr;
}

int Run(int argc, char** argv) {
  if (argc >= 2) {
    const std::string_view first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") return Help(argc, argv);
    if (first == "--version" || first == "-V") {
      std::puts("kcertadm " KCERTADM_VERSION);
      return kExitSuccess;
    }
    if (first == "--commands" || first == "--keywords") return ListForCompletion(argc, argv);
  }
  // CheckExpiry answers as a monitoring plugin: 3 when it could not check.
  const char* word = CommandWord(argc, argv);
  const bool checks_expiry = word != nullptr && IsCheckExpiry(word);
  try {
    if (argc < 2) {
      std::fputs("kcertadm: no command given\n\n", stderr);
      PrintUsage(stderr);
      return kExitUsage;
    }
    CommandLine line = ReadCommandLine(argc, argv);
    if (line.help) return CommandHelpFor(line.command);
    if (IsCheckExpiry(line.command)) return RunExpiryCheck(std::move(line));
    return RunCommand(std::move(line));
  } catch (const UsageError& error) {
    if (checks_expiry) std::printf("KCERTADM EXPIRY UNKNOWN - %s\n", error.problem.c_str());
    const int status = Usage(error.problem, error.point_to_help);
    return checks_expiry ? kExitCheckUnknown : status;
  } catch (const std::runtime_error& error) {
    if (checks_expiry) std::printf("KCERTADM EXPIRY UNKNOWN - %s\n", error.what());
    std::fprintf(stderr, "kcertadm: %s\n", error.what());
    return checks_expiry ? kExitCheckUnknown : kExitFailure;
  }
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
