#include "host/messages.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

#include "host/host_settings.h"
#include "host/host_text.h"

namespace kcertadm {
namespace {

struct MessageTable {
  std::array<std::optional<std::string>, kMessageCount> texts;
};

MessageTable& Table() {
  static MessageTable table;
  return table;
}

std::once_flag load_once;
std::atomic<bool> loaded{false};

bool IsLanguageCode(std::string_view code) {
  if (code.empty()) return false;
  for (char c : code) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit) return false;
  }
  return true;
}

void FillTable() {
  const std::optional<ResourceCatalogue> catalogue =
      LoadCatalogueFor(HostReadSetting("HeronResLang"));
  if (!catalogue) return;
  MessageTable& table = Table();
  for (std::uint32_t number = kFirstMessage; number <= kLastMessage; ++number) {
    if (auto text = catalogue->Text(number))
      table.texts[number - kFirstMessage] = std::string(*text);
  }
  loaded.store(true);
}

}  // namespace

std::string CatalogueFileName(const std::optional<std::string>& language) {
  if (!language) return kDefaultCatalogue;
  std::string code = language->substr(0, 2);
  HostFoldCase(code);
  if (!IsLanguageCode(code) || HostCompareText(code, "en") == 0) return kDefaultCatalogue;
  return "kmsgl" + code + ".msg";
}

std::optional<ResourceCatalogue> LoadCatalogueFor(const std::optional<std::string>& language) {
  const std::string chosen = CatalogueFileName(language);
  for (const std::string& name : {chosen, std::string(kDefaultCatalogue)}) {
    if (const std::optional<std::string> path = HostFindResourceFile(name)) {
      if (std::optional<ResourceCatalogue> catalogue = ResourceCatalogue::Load(*path))
        return catalogue;
    }
    if (name == kDefaultCatalogue) break;
  }
  return std::nullopt;
}

namespace {

// A value from the parameters shown in a message: at most
// kMaxMessageDetail characters, control characters and quotes as '?'.
std::string QuotableDetail(std::string_view detail) {
  std::string shown(detail.substr(0, kMaxMessageDetail));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '"') c = '?';
  }
  if (detail.size() > kMaxMessageDetail) shown += "...";
  return shown;
}

}  // namespace

bool LoadMessageTexts() {
  std::call_once(load_once, FillTable);
  return loaded.load();
}

const char* MessageText(std::uint32_t number) {
  if (number < kFirstMessage || number > kLastMessage) return nullptr;
  const std::optional<std::string>& text = Table().texts[number - kFirstMessage];
  return text ? text->c_str() : nullptr;
}

void ReportMessage(std::uint32_t number, char* buffer, std::uint32_t size) {
  ReportMessage(number, {}, buffer, size);
}

void ReportMessage(std::uint32_t number, std::string_view detail, char* buffer,
                   std::uint32_t size) {
  if (buffer == nullptr || size == 0) return;
  const char* text = MessageText(number);
  std::string message = text ? text : "";
  if (!detail.empty()) {
    // Before the full stop that ends the text: 'not known: "SHA3".'
    const bool stop = !message.empty() && message.back() == '.';
    if (stop) message.pop_back();
    message += ": \"" + QuotableDetail(detail) + "\"";
    if (stop) message += '.';
  }
  std::strncpy(buffer, message.c_str(), size - 1);
  buffer[size - 1] = '\0';
}

}  // namespace kcertadm
