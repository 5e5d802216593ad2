/* A minimal host program: runs one kcertadm command through the C
 * interface and prints its message.
 *
 *   cc host_example.c $(pkg-config --cflags --libs kcertadm) -o host_example
 *   ./host_example AdminSecurity ""
 */
#include <stdio.h>
#include <string.h>

#include <kcertadm.h>

int main(int argc, char** argv) {
  char parameters[1024] = "";
  char message[512];
  uint32_t error = 0;
  int32_t status;

  if (argc < 2) {
    fprintf(stderr, "usage: %s COMMAND [PARAMETERS]\n", argv[0]);
    return 2;
  }
  if (argc > 2) {
    if (strlen(argv[2]) >= sizeof parameters) return 2;
    strcpy(parameters, argv[2]); /* the library writes into this text */
  }
  if (InitSecLib(&error) != 1) {
    fprintf(stderr, "kcertadm could not start: message %u\n", (unsigned)error);
    return 1;
  }
  status = ProcessSecurityCmd(argv[1], parameters, message, sizeof message);
  printf("%s\n", message);
  return status == 0 ? 0 : 1;
}
