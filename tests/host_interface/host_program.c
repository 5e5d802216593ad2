/*
 * A host server in miniature: loads the installed library with dlopen,
 * resolves every exported function by name and enrols a client the way a
 * host does. Compiled as C99 against the installed header only.
 *
 * usage: host_program LIBRARY WORKDIR SPKAC REQUEST
 *   SPKAC    Base64 signed public key and challenge
 *   REQUEST  Base64 PKCS #10 request
 * Writes into WORKDIR: host.kyr (+ host.sth), client.der, client.p7b,
 * signed.der, enveloped.p7b, server.p8, server.der, server.spki, root.der.
 */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kcertadm.h"

static int failures = 0;

#define CHECK(condition, ...)                   \
  do {                                          \
    if (!(condition)) {                         \
      fprintf(stderr, "FAIL %s: ", #condition); \
      fprintf(stderr, __VA_ARGS__);             \
      fprintf(stderr, "\n");                    \
      ++failures;                               \
    }                                           \
  } while (0)

/* Every export: its result, name and parameters. */
#define EXPORTS(X)                                                                       \
  X(int32_t, InitSecLib, (uint32_t*))                                                    \
  X(int32_t, ProcessSecurityCmd, (const char*, char*, char*, uint32_t))                  \
  X(int32_t, ProcessClientCertReq, (SecurityCmdContext*, CertData*, uint32_t*))          \
  X(int32_t, SignClientCert, (SecurityCmdContext*, CertData*, uint32_t*))                \
  X(int32_t, SignCertificate, (const char*, const char*, char*, uint32_t, char*, uint32_t)) \
  X(int32_t, ParseCertReq, (CertData*, CertFields*, uint32_t*))                          \
  X(int32_t, PackagePKCS7Cert, (CertData*))                                              \
  X(int32_t, EnvelopeCert, (int32_t, const char*, char*, uint32_t, char*, uint32_t))     \
  X(int32_t, ReadCert, (SecurityCmdContext*, CertData*, uint32_t*))                      \
  X(int32_t, GetServerKey, (const char*, const char*, ServerKeyData*, char*, uint32_t))  \
  X(int32_t, GetServerRootCert, (const char*, ServerKeyData*, char*, uint32_t))          \
  X(int32_t, GetKeyData, (SecurityCmdContext*, ServerKeyData*, char*, uint32_t))         \
  X(void, FreeExtKeyData, (ServerKeyData*))                                              \
  X(int32_t, GetCertDN, (SecurityCmdContext*, CertData*, DnFields*, char*, uint32_t))    \
  X(int32_t, ParseCert, (CertData*, CertFields*, uint32_t*))                             \
  X(void, FreeCertData, (CertData*))                                                     \
  X(int32_t, ParseDNSeq, (DnFields*, Asn1Item, uint32_t*))                               \
  X(int32_t, GetTextDates, (CertFields*, char*, char*, uint32_t*))                       \
  X(uint16_t, BMPToHCSET, (const uint8_t*, int32_t, char*, int32_t))                     \
  X(uint16_t, T61ToHCSET, (const uint8_t*, int32_t, char*, int32_t))                     \
  X(int32_t, Base64Encode, (const uint8_t*, int32_t, Asn1Item*))                         \
  X(int32_t, Base64Decode, (const char*, int32_t, Asn1Item*))

#define DECLARE(result, name, parameters) result(*name) parameters;
static struct {
  EXPORTS(DECLARE)
} lib;

static void* Resolve(void* handle, const char* name) {
  void* symbol = dlsym(handle, name);
  CHECK(symbol != NULL, "%s not exported", name);
  return symbol;
}

#define RESOLVE(result, name, parameters) *(void**)(&lib.name) = Resolve(handle, #name);

/* The handle stays open for the life of the process, as a host keeps it. */
static int Load(const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == NULL) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 0;
  }
  EXPORTS(RESOLVE)
  return failures == 0;
}

static const char* dir;
static char keyFile[1024];

static void WriteBytes(const char* name, const void* bytes, int32_t length) {
  char path[1024];
  FILE* file;
  snprintf(path, sizeof path, "%s/%s", dir, name);
  file = fopen(path, "wb");
  CHECK(file != NULL, "cannot create %s", path);
  if (file == NULL) return;
  if (length > 0) fwrite(bytes, 1, (size_t)length, file);
  fclose(file);
}

/* Base64 text into a file of the decoded bytes. */
static void WriteDecoded(const char* name, const char* text) {
  Asn1Item der = {NULL, 0};
  CHECK(lib.Base64Decode(text, (int32_t)strlen(text), &der) > 0, "%s does not decode", name);
  WriteBytes(name, der.data, der.length);
  free(der.data);
}

/* The services that do not initialise refuse to run before InitSecLib. */
static void BeforeInitialisation(void) {
  SecurityCmdContext context;
  CertData cert;
  CertFields fields;
  uint32_t error = 0;
  memset(&context, 0, sizeof context);
  memset(&cert, 0, sizeof cert);
  CHECK(lib.ProcessClientCertReq(&context, &cert, &error) == -1 && error == 30000, "%u", (unsigned)error);
  CHECK(lib.SignClientCert(&context, &cert, &error) == -1 && error == 30000, "%u", (unsigned)error);
  CHECK(lib.ParseCertReq(&cert, &fields, &error) == -1, "ParseCertReq before InitSecLib");
  CHECK(lib.ReadCert(&context, &cert, &error) == -1, "ReadCert before InitSecLib");
  CHECK(lib.PackagePKCS7Cert(&cert) == -1, "PackagePKCS7Cert before InitSecLib");
  lib.FreeCertData(&cert);
}

static void Enrol(const char* spkac) {
  SecurityCmdContext client;
  SecurityCmdContext signer;
  CertData request;
  CertData issued;
  uint32_t error = 0;
  int32_t status;

  memset(&client, 0, sizeof client);
  memset(&request, 0, sizeof request);
  client.country = "DE";
  client.org = "Host Tests";
  client.commonName = "Host Client";
  client.requestText = spkac;
  client.requestTextLength = (uint32_t)strlen(spkac);
  status = lib.ProcessClientCertReq(&client, &request, &error);
  CHECK(status == 0 && error == 30044, "ProcessClientCertReq %d %u", (int)status, (unsigned)error);

  memset(&signer, 0, sizeof signer);
  memset(&issued, 0, sizeof issued);
  signer.keyFile = keyFile;
  signer.password = "host password";
  signer.validDays = 365;
  signer.clientCert = 1;
  signer.usePKCS7 = 1;
  /* The host hands the request text over to the record it signs. */
  issued.reqText = request.reqText;
  request.reqText.data = NULL;
  request.reqText.length = 0;
  status = lib.SignClientCert(&signer, &issued, &error);
  CHECK(status == 0, "SignClientCert %d %u", (int)status, (unsigned)error);
  if (status == 0) {
    WriteBytes("client.der", issued.der.data, issued.der.length);
    WriteDecoded("client.p7b", (const char*)issued.certText.data);
  }
  lib.FreeCertData(&request);
  lib.FreeCertData(&issued);
}

static void SignRequest(const char* pkcs10) {
  char parameters[1200];
  char output[8192];
  char message[512];
  char enveloped[8192];
  CertData record;
  CertFields fields;
  uint32_t error = 0;
  int32_t status;

  snprintf(parameters, sizeof parameters, "KeyFile=%s;Password=host password;ValidDays=30", keyFile);
  status = lib.SignCertificate(parameters, pkcs10, output, sizeof output, message, sizeof message);
  CHECK(status == 0, "SignCertificate %d: %s", (int)status, message);
  if (status != 0) return;
  WriteDecoded("signed.der", output);
  status = lib.EnvelopeCert(0, output, enveloped, sizeof enveloped, message, sizeof message);
  CHECK(status == 0, "EnvelopeCert %d: %s", (int)status, message);
  if (status == 0) WriteDecoded("enveloped.p7b", enveloped);

  /* The record owns its blocks: it gets a copy of the request text. */
  memset(&record, 0, sizeof record);
  record.reqText.length = (int32_t)strlen(pkcs10);
  record.reqText.data = malloc((size_t)record.reqText.length + 1);
  if (record.reqText.data == NULL) return;
  memcpy(record.reqText.data, pkcs10, (size_t)record.reqText.length + 1);
  status = lib.ParseCertReq(&record, &fields, &error);
  CHECK(status == 0 && fields.subjectPublicKeyInfo.length > 0, "ParseCertReq %d %u", (int)status,
        (unsigned)error);
  status = lib.PackagePKCS7Cert(&record);
  CHECK(status == 0 && record.pkcs7.length > record.der.length, "PackagePKCS7Cert %d", (int)status);
  lib.FreeCertData(&record);
}

/* The issuer name of the server key's certificate: the root's. */
static void ReadBack(void) {
  SecurityCmdContext context;
  CertData cert;
  DnFields name;
  char message[512];
  int32_t status;

  memset(&context, 0, sizeof context);
  memset(&cert, 0, sizeof cert);
  memset(&name, 0, sizeof name);
  context.keyFile = keyFile;
  context.password = "host password";
  context.getIssuer = 1;
  status = lib.GetCertDN(&context, &cert, &name, message, sizeof message);
  CHECK(status == 0 && name.slot[DN_COMMON_NAME].length == 9 &&
            memcmp(name.slot[DN_COMMON_NAME].value, "Host Root", 9) == 0,
        "GetCertDN %d", (int)status);
  lib.FreeCertData(&cert);
}

static void ServerKeys(void) {
  ServerKeyData key;
  SecurityCmdContext context;
  char message[512];
  int32_t status = lib.GetServerKey(keyFile, "host password", &key, message, sizeof message);
  CHECK(status == 0 && key.badPassword == 0, "GetServerKey %d", (int)status);
  if (status == 0) {
    WriteBytes("server.p8", key.privateKey.data, key.privateKey.length);
    WriteBytes("server.der", key.certificate.data, key.certificate.length);
    WriteBytes("server.spki", key.publicKey.data, key.publicKey.length);
  }
  lib.FreeExtKeyData(&key);

  status = lib.GetServerRootCert(keyFile, &key, message, sizeof message);
  CHECK(status == 0, "GetServerRootCert %d: %s", (int)status, message);
  if (status == 0) WriteBytes("root.der", key.rootCertificate.data, key.rootCertificate.length);
  lib.FreeExtKeyData(&key);

  memset(&context, 0, sizeof context);
  context.keyFile = keyFile;
  context.password = "wrong password";
  message[0] = '\0';
  status = lib.GetKeyData(&context, &key, message, sizeof message);
  CHECK(status != 0 && key.badPassword == 1 && message[0] != '\0', "GetKeyData wrong password %d", (int)status);
  lib.FreeExtKeyData(&key);
}

int main(int argc, char** argv) {
  char parameters[1400];
  char message[512];
  Asn1Item text = {NULL, 0};
  uint32_t error = 0;
  int32_t status;

  if (argc != 5) {
    fprintf(stderr, "usage: host_program LIBRARY WORKDIR SPKAC REQUEST\n");
    return 2;
  }
  if (!Load(argv[1])) return 1;
  dir = argv[2];

  BeforeInitialisation();
  CHECK(lib.InitSecLib(&error) == 1, "InitSecLib %u", (unsigned)error);
  snprintf(keyFile, sizeof keyFile, "%s/host.kyr", dir);
  snprintf(parameters, sizeof parameters,
           "KeyFile=%s;Password=host password;Country=DE;Org=Host Tests;CommonName=Host Root;"
           "KeyName=Host Root;KeySize=1024;ValidDays=3650",
           keyFile);
  status = lib.ProcessSecurityCmd("CreateSelfSignedRoot", parameters, message, sizeof message);
  CHECK(status == 0, "CreateSelfSignedRoot %d: %s", (int)status, message);
  CHECK(lib.Base64Encode((const uint8_t*)"abc", 3, &text) == 4 && memcmp(text.data, "YWJj", 4) == 0,
        "Base64Encode");
  free(text.data);

  if (failures == 0) {
    Enrol(argv[3]);
    SignRequest(argv[4]);
    ReadBack();
    ServerKeys();
  }
  if (failures != 0) {
    fprintf(stderr, "%d failure(s)\n", failures);
    return 1;
  }
  printf("host program passed\n");
  return 0;
}
