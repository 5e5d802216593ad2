// kcertadm COMMAND [ITEM ...]: runs one key ring command and prints its
// message as "NUMBER: TEXT".
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_help.h"
#include "host_interface/command_entry.h"
#include "host_interface/keyword_table.h"
#include "host_interface/message_reporter.h"
#include "host_interface/messages.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

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

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kcertadm: %s\n", problem.c_str());
  std::fputs("try: kcertadm --help\n", stderr);
  return kExitUsage;
}

int Help(int argc, char** argv) {
  if (argc < 3) {
    kcertadm::cli::PrintUsage(false);
    return kExitSuccess;
  }
  const kcertadm::cli::CommandHelp* help = kcertadm::cli::FindCommandHelp(argv[2]);
  if (help == nullptr) return Usage(std::string("unknown command \"") + argv[2] + "\"");
  kcertadm::cli::PrintCommandHelp(*help);
  return kExitSuccess;
}

int Run(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("kcertadm: no command given\n\n", stderr);
    kcertadm::cli::PrintUsage(true);
    return kExitUsage;
  }
  const std::string_view first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") return Help(argc, argv);

  std::string parameters;
  for (int i = 2; i < argc; ++i) {
    if (auto problem = CheckItem(argv[i])) return Usage(*problem);
    if (i > 2) parameters += ';';
    parameters += argv[i];
  }
  std::vector<char> writable(parameters.begin(), parameters.end());
  writable.push_back('\0');

  char message[1024] = "";
  kcertadm::MessageReporter reporter(message, sizeof message);
  std::int32_t status;
  try {
    status = kcertadm::ProcessCommand(argv[1], writable.data(), reporter);
  } catch (const std::bad_alloc&) {
    reporter.Report(kcertadm::kMsgOutOfMemory);
    status = -1;
  }
  std::printf("%u: %s\n", static_cast<unsigned>(reporter.last()), message);
  return status == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
