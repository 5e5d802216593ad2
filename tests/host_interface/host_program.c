/* A host in miniature: dlopens the library, calls every export and leaves in WORKDIR what
 * host_program.sh checks. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kcertadm.h"

static int failures = 0;

static void Fail(const char* condition) { fprintf(stderr, "FAIL %s: ", condition), ++failures; }
#define CHECK(condition, ...)                                                              \
  do {                                                                                     \
    if (!(condition)) Fail(#condition), fprintf(stderr, __VA_ARGS__), fputs("\n", stderr); \
  } while (0)

/* Every export, typed by its declaration in the header. */
#define EXPORTS(X)                                                                       \
  X(InitSecLib)                                                                          \
  X(ProcessSecurityCmd) X(ProcessClientCertReq) X(SignClientCert) X(SignCertificate)     \
      X(ParseCertReq) X(PackagePKCS7Cert) X(EnvelopeCert) X(ReadCert) X(GetServerKey)    \
          X(GetServerRootCert) X(GetKeyData) X(FreeExtKeyData) X(GetCertDN) X(ParseCert) \
              X(FreeCertData) X(ParseDNSeq) X(GetTextDates) X(BMPToHCSET) X(T61ToHCSET)  \
                  X(Base64Encode) X(Base64Decode)

#define DECLARE(name) __typeof__(&name) name;
static struct { EXPORTS(DECLARE) } lib;
#define RESOLVE(name) \
  CHECK((*(void**)(&lib.name) = dlsym(handle, #name)) != NULL, "%s not exported", #name);

static const char* dir;
static char keyFile[1024];
static const char* const password = "host password";

static const char* PathOf(const char* name) {
  static char path[1024];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  return path;
}

static void WriteBytes(const char* name, Asn1Item bytes) {
  FILE* file = fopen(PathOf(name), "wb");
  CHECK(file != NULL && fwrite(bytes.data, 1, (size_t)bytes.length, file) == (size_t)bytes.length &&
            fclose(file) == 0,
        "cannot write %s", name);
}

/* Base64 text into a file of the decoded bytes. */
static void WriteDecoded(const char* name, const char* text) {
  Asn1Item der = {0};
  CHECK(lib.Base64Decode(text, (int32_t)strlen(text), &der) > 0, "%s does not decode", name);
  WriteBytes(name, der);
  free(der.data);
}

/* The services that do not initialise refuse to run before InitSecLib. */
static void BeforeInitialisation(void) {
  SecurityCmdContext context = {0};
  CertData cert = {0};
  CertFields fields;
  uint32_t error = 0;
  CHECK(lib.ProcessClientCertReq(&context, &cert, &error) == -1 && error == 30000, "%u",
        (unsigned)error);
  CHECK(lib.SignClientCert(&context, &cert, &error) == -1 && error == 30000, "%u", (unsigned)error);
  CHECK(lib.ParseCertReq(&cert, &fields, &error) == -1 &&
            lib.ReadCert(&context, &cert, &error) == -1 && lib.PackagePKCS7Cert(&cert) == -1,
        "ParseCertReq, ReadCert or PackagePKCS7Cert before InitSecLib");
  lib.FreeCertData(&cert);
}

/* Enrols the client, then reads its certificate file back as a host shows it. */
static void Enrol(const char* spkac) {
  SecurityCmdContext client = {.country = "DE",
                               .org = "Host Tests",
                               .commonName = "Host Client",
                               .requestText = spkac,
                               .requestTextLength = (uint32_t)strlen(spkac)};
  SecurityCmdContext signer = {
      .keyFile = keyFile, .password = password, .validDays = 365, .clientCert = 1, .usePKCS7 = 1};
  SecurityCmdContext reader = {.useBER = 1};
  CertData request = {0}, issued = {0}, read = {0};
  CertFields fields;
  DnFields subject = {0};
  char start[32], end[32] = "";
  uint32_t error = 0;
  CHECK(lib.ProcessClientCertReq(&client, &request, &error) == 0 && error == 30044, "%u",
        (unsigned)error);
  /* The host hands the request text over to the record it signs. */
  issued.reqText = request.reqText;
  request.reqText.data = NULL;
  CHECK(lib.SignClientCert(&signer, &issued, &error) == 0, "SignClientCert %u", (unsigned)error);
  WriteBytes("client.der", issued.der);
  WriteDecoded("client.p7b", issued.certText.data ? (const char*)issued.certText.data : "");
  reader.certReqFile = PathOf("client.der");
  CHECK(lib.ReadCert(&reader, &read, &error) == 0 && lib.ParseCert(&read, &fields, &error) == 0 &&
            lib.ParseDNSeq(&subject, fields.subject, &error) == 0 &&
            lib.GetTextDates(&fields, start, end, &error) == 0,
        "reading the certificate back %u", (unsigned)error);
  CHECK(subject.slot[DN_COMMON_NAME].length == 11 && strstr(end, "GMT") != NULL, "%s", end);
  lib.FreeCertData(&request), lib.FreeCertData(&issued), lib.FreeCertData(&read);
}

static void SignRequest(const char* pkcs10) {
  char parameters[1200], output[8192] = "", enveloped[8192] = "", message[512] = "";
  CertData record = {0};
  CertFields fields;
  uint32_t error = 0;
  snprintf(parameters, sizeof parameters, "KeyFile=%s;Password=%s;ValidDays=30", keyFile, password);
  CHECK(
      lib.SignCertificate(parameters, pkcs10, output, sizeof output, message, sizeof message) == 0,
      "%s", message);
  WriteDecoded("signed.der", output);
  CHECK(lib.EnvelopeCert(0, output, enveloped, sizeof enveloped, message, sizeof message) == 0,
        "%s", message);
  WriteDecoded("enveloped.p7b", enveloped);

  /* The record owns its blocks: it gets a copy of the request text. */
  record.reqText.length = (int32_t)strlen(pkcs10);
  record.reqText.data =
      memcpy(malloc((size_t)record.reqText.length + 1), pkcs10, (size_t)record.reqText.length + 1);
  CHECK(lib.ParseCertReq(&record, &fields, &error) == 0, "ParseCertReq %u", (unsigned)error);
  /* A second package replaces the first (valgrind sees a leak if not). */
  CHECK(lib.PackagePKCS7Cert(&record) == 0 && lib.PackagePKCS7Cert(&record) == 0 &&
            record.pkcs7.length > record.der.length,
        "PackagePKCS7Cert");
  lib.FreeCertData(&record);
}

static void ServerKeys(void) {
  SecurityCmdContext context = {.keyFile = keyFile, .password = "wrong password", .getIssuer = 1};
  ServerKeyData key;
  CertData cert = {0};
  DnFields issuer = {0};
  char message[512] = "";
  CHECK(lib.GetServerKey(keyFile, password, &key, message, sizeof message) == 0, "GetServerKey: %s",
        message);
  WriteBytes("server.p8", key.privateKey);
  WriteBytes("server.der", key.certificate);
  WriteBytes("server.spki", key.publicKey);
  lib.FreeExtKeyData(&key);
  CHECK(lib.GetServerRootCert(keyFile, &key, message, sizeof message) == 0, "GetServerRootCert: %s",
        message);
  WriteBytes("root.der", key.rootCertificate);
  lib.FreeExtKeyData(&key);
  CHECK(lib.GetKeyData(&context, &key, message, sizeof message) != 0 && key.badPassword == 1,
        "GetKeyData");
  lib.FreeExtKeyData(&key);
  /* The issuer of the server key's certificate is the root itself. */
  context.password = password;
  CHECK(lib.GetCertDN(&context, &cert, &issuer, message, sizeof message) == 0 &&
            issuer.slot[DN_COMMON_NAME].length == 9,
        "GetCertDN: %s", message);
  lib.FreeCertData(&cert);
}

/* Host text from the values of a Name, and Base64. */
static void Texts(void) {
  static const uint8_t bmp[] = {0x00, 'H', 0x00, 0xE4}, t61[] = {'H', 0xE4};
  char text[16];
  Asn1Item base64 = {0};
  CHECK(lib.BMPToHCSET(bmp, 4, text, sizeof text) == 3 && strcmp(text, "H\xC3\xA4") == 0,
        "BMPToHCSET %s", text);
  CHECK(lib.T61ToHCSET(t61, 2, text, sizeof text) > 0, "T61ToHCSET");
  CHECK(lib.Base64Encode((const uint8_t*)"abc", 3, &base64) == 4 && !memcmp(base64.data, "YWJj", 4),
        "Base64Encode");
  free(base64.data);
}

int main(int argc, char** argv) {
  char parameters[1400], message[512];
  uint32_t error = 0;
  /* The handle stays open for the life of the process, as a host keeps it. */
  void* handle = argc == 5 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : NULL;
  if (handle == NULL)
    return fprintf(stderr, "usage: host_program LIBRARY WORKDIR SPKAC REQUEST (%s)\n",
                   argc == 5 ? dlerror() : ""),
           2;
  EXPORTS(RESOLVE)
  if (failures != 0) return 1;
  dir = argv[2];
  snprintf(keyFile, sizeof keyFile, "%s/host.kyr", dir);

  BeforeInitialisation();
  CHECK(lib.InitSecLib(&error) == 1, "InitSecLib %u", (unsigned)error);
  snprintf(
      parameters, sizeof parameters,
      "KeyFile=%s;Password=%s;Country=DE;Org=Host Tests;CommonName=Host Root;KeyName=Host Root;"
      "KeySize=1024;ValidDays=3650",
      keyFile, password);
  CHECK(lib.ProcessSecurityCmd("CreateSelfSignedRoot", parameters, message, sizeof message) == 0,
        "CreateSelfSignedRoot: %s", message);
  if (failures == 0) {
    Enrol(argv[3]);
    SignRequest(argv[4]);
    ServerKeys();
    Texts();
  }
  fprintf(stderr, "host program: %d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
