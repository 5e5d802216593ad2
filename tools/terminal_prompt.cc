#include "terminal_prompt.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "password_source.h"

namespace kcertadm::cli {
namespace {

// The terminal whose echo is off, and how it was, for the signal handler.
volatile sig_atomic_t g_echo_off = 0;
int g_terminal = -1;
termios g_saved{};

void RestoreAndReraise(int signal_number) {
  if (g_echo_off) tcsetattr(g_terminal, TCSADRAIN, &g_saved);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

// Not SIGTSTP: after a stop the shell keeps the terminal modes of the job,
// and reading goes on without echo once it continues.
constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

class EchoOff {
 public:
  explicit EchoOff(int terminal) {
    if (tcgetattr(terminal, &g_saved) != 0) return;
    g_terminal = terminal;
    for (std::size_t i = 0; i < std::size(kCaughtSignals); ++i) {
      struct sigaction action {};
      action.sa_handler = RestoreAndReraise;
      sigemptyset(&action.sa_mask);
      sigaction(kCaughtSignals[i], &action, &previous_[i]);
    }
    termios quiet = g_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    quiet.c_lflag |= ICANON;
    if (tcsetattr(terminal, TCSAFLUSH, &quiet) == 0) g_echo_off = 1;
    active_ = true;
  }
  ~EchoOff() {
    if (!active_) return;
    if (g_echo_off) tcsetattr(g_terminal, TCSADRAIN, &g_saved);
    g_echo_off = 0;
    for (std::size_t i = 0; i < std::size(kCaughtSignals); ++i) {
      sigaction(kCaughtSignals[i], &previous_[i], nullptr);
    }
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  bool active_ = false;
  struct sigaction previous_[std::size(kCaughtSignals)]{};
};

void WriteAll(int descriptor, const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t done = write(descriptor, text, left);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    text += done;
    left -= static_cast<std::size_t>(done);
  }
}

}  // namespace

bool CanPrompt() {
  if (!isatty(STDIN_FILENO)) return false;
  const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) return false;
  close(terminal);
  return true;
}

std::optional<SecureString> PromptHidden(const char* prompt, std::string& problem) {
  const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) {
    problem = "no terminal to ask for the password on";
    return std::nullopt;
  }
  std::optional<SecureString> line;
  {
    EchoOff quiet(terminal);  // before the prompt, so nothing typed after it shows
    WriteAll(terminal, prompt);
    PasswordReader reader;
    line = reader.Read(
        PasswordSource{PasswordSource::Kind::kDescriptor, "the terminal", terminal, {}}, problem);
  }
  WriteAll(terminal, "\n");
  close(terminal);
  if (!line) problem = "no password was typed";
  return line;
}

}  // namespace kcertadm::cli
