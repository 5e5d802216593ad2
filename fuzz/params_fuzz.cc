// The parameter parser over arbitrary text, for every command: the parser
// changes the text in place, and every text field it hands back must lie
// inside that text and end with a NUL there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host_interface/command_context.h"
#include "host_interface/parameter_parser.h"

using namespace kcertadm;

namespace {

void CheckText(const char* field, const char* begin, const char* end) {
  if (field == nullptr) return;
  // Defaults point at constants outside the input; only input views are checked.
  if (field < begin || field >= end) return;
  if (std::memchr(field, '\0', static_cast<std::size_t>(end - field)) == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const int command = data[0] % 14;
  std::vector<char> text(data + 1, data + size);
  text.push_back('\0');
  SecurityCmdContext context;
  ResetCommandContext(context);
  std::uint32_t slot = 0;
  const std::int32_t status =
      ParseParameters(text.data(), context, static_cast<CommandId>(command), slot);
  if (status != 0 && slot == 0) std::abort();
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  const char* const fields[] = {context.country,     context.state,    context.city,
                                context.org,         context.orgUnit,  context.commonName,
                                context.email,       context.zipCode,  context.password,
                                context.newPassword, context.keyFile,  context.label,
                                context.certReqFile, context.certFile, context.entriesFile};
  for (const char* field : fields) CheckText(field, begin, end);
  // The number reader alone, over the same text.
  (void)ParseDecimal(text.data());
  return 0;
}
