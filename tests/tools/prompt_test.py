"""Asks kcertadm for passwords on a pseudo-terminal, as a person would type
them. usage: prompt_test.py KCERTADM"""
import os
import pty
import select
import signal
import sys
import tempfile
import termios

KCERTADM = os.path.abspath(sys.argv[1])
failures = []


def run(args, answers, cwd):
    """Runs kcertadm on a new terminal, typing one answer per prompt.
    Returns (exit status, what the terminal showed, whether it echoes after)."""
    pid, fd = pty.fork()
    if pid == 0:
        try:
            os.chdir(cwd)
            os.execv(KCERTADM, [KCERTADM] + args)
        finally:
            os._exit(127)
    shown = b""
    answered = 0
    while True:
        if not select.select([fd], [], [], 20)[0]:
            os.kill(pid, signal.SIGKILL)
            failures.append("%s: no answer within 20 s; shown %r" % (args, shown))
            break
        try:
            data = os.read(fd, 4096)
        except OSError:  # the terminal closes when the tool ends
            break
        if not data:
            break
        shown += data
        if shown.count(b"password: ") > answered and answered < len(answers):
            os.write(fd, answers[answered])
            answered += 1
    _, status = os.waitpid(pid, 0)
    echo = bool(termios.tcgetattr(fd)[3] & termios.ECHO)
    os.close(fd)
    return os.waitstatus_to_exitcode(status), shown.decode("utf-8", "replace"), echo


def check(condition, what, shown):
    if not condition:
        failures.append("%s; terminal showed: %r" % (what, shown))


with tempfile.TemporaryDirectory() as work:
    os.environ.pop("HeronResLang", None)
    # The password reaches the command and is not echoed; the terminal echoes again afterwards.
    status, shown, echo = run(["GetEntries", "KeyFile=none.kyr", "EntriesFile=o.txt"], [b"Typed-Secret\n"], work)
    check("Key ring password: " in shown, "no prompt", shown)
    check("Typed-Secret" not in shown, "the password was echoed", shown)
    check("30010:" in shown, "the typed password did not arrive", shown)
    check(echo, "the terminal was left without echo after a prompt", shown)

    # A new key ring: asked twice; answers that differ, or an empty password, create nothing.
    create = ["CreateKeyFile", "KeyFile=new.kyr", "KeyName=k", "CommonName=c"]
    status, shown, _ = run(create, [b"one\n", b"two\n"], work)
    check(status == 2 and "differ" in shown and "--help" not in shown, "differing passwords were accepted", shown)
    check(shown.count("password") >= 2, "the new password was not asked twice", shown)
    status, shown, _ = run(create, [b"\n"], work)
    check(status == 2 and "empty" in shown, "an empty new password was accepted", shown)
    check(not os.path.exists(os.path.join(work, "new.kyr")), "a key ring was created", shown)

    # End of input instead of a password; Ctrl-C ends the tool by the signal, and the terminal echoes again.
    status, shown, _ = run(["DeleteEntry", "KeyFile=a.kyr", "EntryLabel=x"], [b"\x04"], work)
    check(status == 2, "end of input was taken as a password", shown)
    status, shown, echo = run(["GetEntries", "KeyFile=a.kyr"], [b"\x03"], work)
    check(status == -signal.SIGINT, "Ctrl-C did not end the tool (status %d)" % status, shown)
    check(echo, "the terminal was left without echo", shown)

    # ChangePassword asks for the old password once and the new one twice.
    status, shown, _ = run(["ChangePassword", "KeyFile=none.kyr"], [b"old\n", b"new\n", b"new\n"], work)
    check(shown.count("password: ") == 3 and "30010:" in shown, "ChangePassword did not ask three times", shown)

    # A key ring created with a typed password opens with that password only (NoStashFile: nothing else may open it).
    status, shown, _ = run(create + ["KeySize=1024", "NoStashFile"], [b"Ring pw=1\n", b"Ring pw=1\n"], work)
    check(status == 0 and "30020:" in shown, "the key ring was not created", shown)
    check("warning" in shown and "1024 bits" in shown, "no warning for a 1024-bit key", shown)
    for password, number in ((b"Ring pw=1\n", "30026:"), (b"Ring pw=2\n", "30009:")):
        status, shown, _ = run(["ExtractCert", "KeyFile=new.kyr"], [password], work)
        check(number in shown, "the typed password %r did not give %s" % (password, number), shown)

    # ExportKey asks for the key file password twice and refuses an empty one; ImportKey asks once.
    export = ["ExportKey", "KeyFile=new.kyr", "CertFile=k.p12", "--passin", "pass:Ring pw=1"]
    status, shown, _ = run(export, [b"\n"], work)
    check(status == 2 and "empty" in shown, "an empty key file password was accepted", shown)
    status, shown, _ = run(export, [b"File pw\n", b"File pw\n"], work)
    check(shown.count("key file password: ") == 2 and "30026:" in shown and "File pw" not in shown,
          "ExportKey did not ask twice for the key file password", shown)
    status, shown, _ = run(["ImportKey", "KeyFile=new.kyr", "CertReqFile=none.p12", "--passin", "pass:Ring pw=1"],
                           [b"File pw\n"], work)
    check(shown.count("password") == 1 and "30032:" in shown, "ImportKey did not ask once", shown)

    # Creating over an existing key ring fails before any password is asked.
    status, shown, _ = run(create, [], work)
    check(status == 1 and "30072: " in shown and "password: " not in shown,
          "asked for a new password of an existing key ring", shown)

    # UseStash or --passin: nothing is asked.
    for args in (["UseStash"], ["--passin", "pass:x"]):
        status, shown, _ = run(["GetEntries", "KeyFile=a.kyr"] + args, [], work)
        check("password: " not in shown, "asked although %s" % args[-1], shown)

for failure in failures:
    print("FAIL:", failure)
if failures:
    sys.exit(1)
print("all prompt checks passed")
