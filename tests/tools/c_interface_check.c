/* Uses the library through its C interface only, compiled as C: prints the
 * status and message text of one command. */
#include <stdio.h>
#include <string.h>

#include "kcertadm.h"

int main(int argc, char** argv) {
  uint32_t error = 0;
  char parameters[512] = "";
  char message[256];
  int32_t status;
  if (argc < 2) return 2;
  if (argc > 2) {
    strncpy(parameters, argv[2], sizeof parameters - 1);
  }
  if (InitSecLib(&error) != 1) {
    printf("init failed %u\n", (unsigned)error);
    return 1;
  }
  status = ProcessSecurityCmd(argv[1], parameters, message, sizeof message);
  printf("%d %s\n", (int)status, message);
  return 0;
}
