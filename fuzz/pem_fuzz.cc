// The text readers over arbitrary bytes: the lenient reader of armoured or
// bare Base64 certificate text, and the strict PEM message readers (the
// file sniffer, the request reader with its MIC split, and the certificate
// text reader for import), each reading from an in-memory file; and the
// reader of chain files (several armour blocks, PKCS #7 bundles).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "armour/pem.h"
#include "cert/certificate.h"
#include "commands/chain_file.h"

using namespace kcertadm;

namespace {

// An in-memory file over a private copy of the input.
struct MemoryFile {
  std::vector<char> bytes;
  std::FILE* file = nullptr;
  MemoryFile(const std::uint8_t* data, std::size_t size) : bytes(data, data + size) {
    if (bytes.empty()) bytes.push_back('\n');
    file = fmemopen(bytes.data(), bytes.size(), "r");
  }
  ~MemoryFile() {
    if (file) std::fclose(file);
  }
};

void Lenient(const std::uint8_t* data, std::size_t size, bool isRequest) {
  CertData cert{};
  // The raw file text is not owned by the record.
  std::vector<std::uint8_t> text(data, data + size);
  cert.fileText = Asn1Item{text.empty() ? nullptr : text.data(), static_cast<std::int32_t>(size)};
  std::uint32_t error = 0;
  (void)ParseCertificateText(&cert, isRequest, &error);
  cert.fileText = Asn1Item{};
  FreeCertData(&cert);
}

void PemRequest(const std::uint8_t* data, std::size_t size) {
  MemoryFile in(data, size);
  if (!in.file) return;
  std::string procType;
  if (SniffPemFile(in.file, &procType) != kPemSniffMic) return;
  std::vector<std::uint8_t> der;
  std::string mic;
  if (ReadPemRequest(in.file, der, mic) != kPemRequestOk) return;
  PemMic parts;
  (void)SplitPemMic(mic, parts);
}

void PemCertificate(const std::uint8_t* data, std::size_t size) {
  MemoryFile in(data, size);
  if (!in.file) return;
  std::vector<std::uint8_t> der;
  (void)ReadPemCertificateText(in.file, der);
}

void Chain(const std::uint8_t* data, std::size_t size, bool binary) {
  std::vector<std::vector<std::uint8_t>> certificates;
  std::uint32_t error = 0;
  (void)ReadChainFile(std::span<const std::uint8_t>(data, size), binary, certificates, &error);
  (void)HoldsSeveralBlocks(std::span<const std::uint8_t>(data, size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  Lenient(data, size, false);
  Lenient(data, size, true);
  PemRequest(data, size);
  PemCertificate(data, size);
  Chain(data, size, false);
  Chain(data, size, true);
  // The MIC splitter over the raw bytes too.
  PemMic parts;
  (void)SplitPemMic(std::string_view(reinterpret_cast<const char*>(data), size), parts);
  return 0;
}
