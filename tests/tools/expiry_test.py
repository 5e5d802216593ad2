"""CheckExpiry and the --json listings on key rings made fresh here: roots
and certificates from openssl and python cryptography that expired while in
the ring, expire in a day, in a month and in ten years. Exit codes as a
shell sees them; JSON read by python's json and checked against the schema
in docs/ with jsonschema. usage: expiry_test.py KCERTADM SOURCE_DIR"""
import base64
import datetime
import json
import os
import re
import subprocess
import sys
import tempfile
import time

import jsonschema
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import NameOID

KCERTADM = os.path.abspath(sys.argv[1])
SCHEMA = json.load(open(os.path.join(sys.argv[2], "docs", "kcertadm-entries.schema.json")))
VALIDATOR = jsonschema.Draft202012Validator(SCHEMA, format_checker=jsonschema.FormatChecker())
PASSWORD = "ring-secret"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)


def run(*args, stdin=None):
    done = subprocess.run([KCERTADM, *args], capture_output=True, text=True,
                          stdin=subprocess.DEVNULL if stdin is None else None, input=stdin)
    return done.returncode, done.stdout, done.stderr


def ring_command(command, ring, *items):
    status, out, err = run(command, "KeyFile=" + ring, "Password=" + PASSWORD, *items)
    check(status == 0, "%s %s: exit %d, %s %s" % (command, items, status, out, err))


def now():
    return datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)


def new_key():
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def write_pem(path, cert):
    with open(path, "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))


def make_root(path, common_name, not_after, not_before=None):
    """A self-signed CA certificate from python cryptography."""
    key = new_key()
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])
    cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name)
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(not_before or now() - datetime.timedelta(days=1))
            .not_valid_after(not_after)
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
            .sign(key, hashes.SHA256()))
    write_pem(path, cert)
    return cert


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


def openssl_field(path, *options):
    done = subprocess.run(["openssl", "x509", "-in", path, "-noout", *options],
                          check=True, capture_output=True, text=True)
    return done.stdout.strip().split("=", 1)[1]


def rfc3339(moment):
    return moment.astimezone(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def valid_json(text, what):
    """The document parsed by json and checked against the schema."""
    try:
        document = json.loads(text)
    except ValueError as error:
        check(False, "%s: not JSON (%s): %r" % (what, error, text[:200]))
        return None
    problems = [e.message for e in VALIDATOR.iter_errors(document)]
    check(not problems, "%s: against the schema: %s" % (what, problems[:3]))
    return document


def expiry(ring, *items, password=PASSWORD):
    return run("CheckExpiry", "KeyFile=" + ring, "Password=" + password, *items)


def setup_ring(work):
    """web.kyr: the server key with a certificate ending in a day (openssl as
    the authority), the ten-year openssl root, a root from cryptography
    ending in 20 days and one ending just after this minute. Returns when
    that one may be received, and its end."""
    os.chdir(work)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
            "ca.pem", "-days", "3650", "-subj", "/CN=Ten Year Root/O=Example")
    status, out, err = run("CreateKeyFile", "KeyFile=web.kyr", "Password=" + PASSWORD,
                           "KeyName=web", "CommonName=www.example.com", "KeySize=2048",
                           "CertReqFile=web.csr")
    check(status == 0, "CreateKeyFile: %s %s" % (out, err))
    request = "".join(l for l in open("web.csr").read().splitlines() if not l.startswith("-----"))
    with open("web.req.der", "wb") as f:
        f.write(base64.b64decode(request))
    with open("san.ext", "w") as f:
        f.write("subjectAltName=DNS:www.example.com,DNS:example.com,IP:192.0.2.1,"
                "email:ops@example.com\n")
    openssl("x509", "-req", "-inform", "DER", "-in", "web.req.der", "-CA", "ca.pem", "-CAkey",
            "ca.key", "-CAcreateserial", "-days", "1", "-extfile", "san.ext", "-out", "web.crt")
    ring_command("ReceiveRootCert", "web.kyr", "CertReqFile=ca.pem", "EntryLabel=ten-year")
    ring_command("ReceiveCert", "web.kyr", "CertReqFile=web.crt")
    make_root("month.pem", "Month Root", now() + datetime.timedelta(days=20))
    ring_command("ReceiveRootCert", "web.kyr", "CertReqFile=month.pem", 'EntryLabel=mo"nth\\root')
    # The library takes a certificate only before the minute of its end, so
    # the one that is to expire in the ring ends two seconds into the next.
    if now().second > 50:
        time.sleep(61 - now().second)
    start = now()
    ends = start.replace(second=0) + datetime.timedelta(minutes=1, seconds=2)
    make_root("dying.pem", "Dying Root", ends)
    ring_command("ReceiveRootCert", "web.kyr", "CertReqFile=dying.pem", "EntryLabel=dying")
    return ends


def check_listing(work):
    """GetEntries --json against the text report and openssl."""
    status, out, err = run("--json", "GetEntries", "KeyFile=web.kyr", "Password=" + PASSWORD,
                           "ShowPrivateKey")
    check(status == 0 and err.startswith("30053: "), "GetEntries --json: %d %s" % (status, err))
    listing = valid_json(out, "GetEntries --json")
    if listing is None:
        return
    entries = {e["label"]: e for e in listing["entries"]}
    check(set(entries) == {"web", "ten-year", 'mo"nth\\x5Croot', "dying"},
          "labels as the report writes them: %s" % sorted(entries))
    web = entries["web"]
    check(web["privateKey"] and not web["trustedRoot"] and web["keyType"] == "RSA"
          and web["keySize"] == 2048, "web's flags and key: %s" % web)
    cert = web["certificates"][0]
    check(cert["notAfter"] == rfc3339(datetime.datetime.strptime(
        openssl_field("web.crt", "-enddate"), "%b %d %H:%M:%S %Y %Z").replace(
            tzinfo=datetime.timezone.utc)), "web's notAfter %s" % cert["notAfter"])
    check(cert["fingerprints"]["sha256"] == openssl_field("web.crt", "-fingerprint", "-sha256"),
          "SHA-256 fingerprint as openssl computes it")
    check(cert["serial"].replace(":", "").lstrip("0") ==
          openssl_field("web.crt", "-serial").lstrip("0"), "serial as openssl reads it")
    check({(n["type"], n["value"]) for n in cert["subjectAltNames"]} ==
          {("dns", "www.example.com"), ("dns", "example.com"), ("ip", "192.0.2.1"),
           ("email", "ops@example.com")}, "subjectAltName entries: %s" % cert["subjectAltNames"])
    names = [e["name"] for e in cert["extensions"]]
    check("Subject Alternative Name" in names, "extensions by name: %s" % names)
    check([(a["attribute"], a["value"]) for a in entries["ten-year"]["certificates"][0]["issuer"]]
          == [("Org", "Example"), ("CommonName", "Ten Year Root")], "every issuer attribute")
    # The same entries as the text report: labels, MD5 fingerprints, names.
    status, report, err = run("GetEntries", "KeyFile=web.kyr", "Password=" + PASSWORD,
                              "ShowPrivateKey", "EntriesFile=-")
    check(re.findall(r"^EntryLabel: (.*)$", report, re.M) == [e["label"] for e in listing["entries"]],
          "JSON entries in the report's order")
    md5s = [c["fingerprints"]["md5"] for e in listing["entries"] for c in e["certificates"]]
    check(re.findall(r"^Fingerprint: (.*)$", report, re.M) == md5s, "MD5 as the report shows it")
    check(re.findall(r"^SubjectCommonName: (.*)$", report, re.M) ==
          [a["value"] for e in listing["entries"] for c in e["certificates"]
           for a in c["subject"] if a["attribute"] == "CommonName"], "subject names as in the report")
    # Without ShowPrivateKey the key entry is left out, as from the report.
    status, out, err = run("--json", "GetEntries", "KeyFile=web.kyr", "Password=" + PASSWORD)
    listing = valid_json(out, "GetEntries --json without ShowPrivateKey")
    check(listing is not None and "web" not in [e["label"] for e in listing["entries"]],
          "the key entry is listed only with ShowPrivateKey")


def check_files(work):
    """EntriesFile: written at success only, as the text report is."""
    status, out, err = run("--json", "GetEntries", "KeyFile=web.kyr", "Password=wrong",
                           "EntriesFile=bad.json")
    check(status == 1 and out.startswith("30009: ") and not os.path.exists("bad.json"),
          "a wrong password writes no file: %d %s" % (status, out))
    with open("kept.json", "w") as f:
        f.write("old")
    os.chmod("kept.json", 0o600)
    status, out, err = run("--json", "GetEntries", "KeyFile=web.kyr", "Password=wrong",
                           "EntriesFile=kept.json")
    check(open("kept.json").read() == "old", "a failure leaves the old file as it was")
    status, out, err = run("--json", "GetEntries", "KeyFile=web.kyr", "Password=" + PASSWORD,
                           "EntriesFile=kept.json")
    check(status == 0 and out.startswith("30053: "), "EntriesFile: %s %s" % (out, err))
    check(os.stat("kept.json").st_mode & 0o777 == 0o600, "the replaced file keeps its mode")
    valid_json(open("kept.json").read(), "EntriesFile")
    status, out, err = run("--json", "GetEntries", "KeyFile=web.kyr", "Password=" + PASSWORD,
                           "EntriesFile=web.kyr")
    check(status == 1, "--json does not overwrite the key ring")
    status, out, err = run("--json", "ChangePassword", "KeyFile=web.kyr")
    check(status == 2, "--json with another command is a usage error")


def check_view_cert(work):
    """ViewCert --json: the year 2050 and later as GeneralizedTime, before
    2000 as UTCTime, and values no report would pass on as they are."""
    hostile = 'q"b\\s\x01\x7f\u2028\u00e9'
    make_root("far.pem", hostile, datetime.datetime(2051, 2, 28, 12, 0, 0, tzinfo=datetime.timezone.utc),
              not_before=datetime.datetime(1999, 12, 31, 23, 59, 59, tzinfo=datetime.timezone.utc))
    status, out, err = run("--json", "ViewCert", "CertReqFile=far.pem")
    check(status == 0 and err.startswith("30054: "), "ViewCert --json: %d %s" % (status, err))
    view = valid_json(out, "ViewCert --json")
    if view is None:
        return
    cert = view["certificates"][0]
    check(cert["notAfter"] == "2051-02-28T12:00:00Z", "GeneralizedTime end: %s" % cert["notAfter"])
    check(cert["notBefore"] == "1999-12-31T23:59:59Z", "UTCTime start: %s" % cert["notBefore"])
    status, report, err = run("ViewCert", "CertReqFile=far.pem", "EntriesFile=-")
    shown = re.search(r"^SubjectCommonName: (.*)$", report, re.M).group(1)
    check(cert["subject"][0]["value"] == shown, "the hostile name as the report shows it: %r / %r"
          % (cert["subject"][0]["value"], shown))
    check(not re.search(r"[\x00-\x09\x0b-\x1f\x7f\u2028]", out),
          "no control character in the JSON text but its line ends")
    basic = [e for e in cert["extensions"] if e["oid"] == "2.5.29.19"]
    check(basic and basic[0]["critical"] and basic[0]["name"] == "Basic Constraints"
          and "CA = Yes" in basic[0]["report"], "Basic Constraints by name: %s" % basic)


def check_expiry(work, dying_end):
    # Not expired yet: a day, 20 days and this minute are within 30 days.
    status, out, err = expiry("web.kyr")
    check(status == 1 and out.startswith("KCERTADM EXPIRY WARNING - 3 certificates expire within 30 days\n"),
          "before the end: %d %r" % (status, out))
    # Wait for the dying root to expire while in the ring.
    while now() <= dying_end:
        time.sleep(0.5)
    status, out, err = expiry("web.kyr", "Days=30")
    lines = out.splitlines()
    check(status == 2 and lines[0] == "KCERTADM EXPIRY CRITICAL - 1 certificate has expired, "
          "2 certificates expire within 30 days", "expired in the ring: %d %r" % (status, out))
    check(len(lines) == 4 and any(l.startswith('expired    "dying" CN=Dying Root ends ') and
                                  l.endswith(", -1 days left") for l in lines),
          "one line per certificate: %r" % lines)
    check(not any("Ten Year" in l for l in lines), "a ten-year root is not listed")
    status, out, err = expiry("web.kyr", "Days=0")
    check(status == 2 and "2 certificates" not in out, "Days=0: %r" % out)
    status, out, err = run("--json", "CheckExpiry", "KeyFile=web.kyr", "UseStash")
    report = valid_json(out, "CheckExpiry --json")
    if report is not None:
        check(report["status"] == "CRITICAL" and report["exitCode"] == status == 2,
              "JSON status and exit code: %s %d" % (report["status"], status))
        states = {c["label"]: (c["state"], c["daysLeft"]) for c in report["certificates"]}
        check(states == {"web": ("expiring", 0), 'mo"nth\\x5Croot': ("expiring", 19),
                         "dying": ("expired", -1)}, "states and days left: %s" % states)

    # A ring of the ten-year root alone, then with the month root.
    ring_command("DeleteEntry", "web.kyr", "EntryLabel=dying")
    status, out, err = expiry("web.kyr", "Days=7")
    check(status == 1 and out.startswith("KCERTADM EXPIRY WARNING - 1 certificate expires within 7 days"),
          "the day certificate within 7 days: %d %r" % (status, out))
    ring_command("DeleteEntry", "web.kyr", "EntryLabel=web")
    status, out, err = expiry("web.kyr")
    check(status == 1, "the month root within 30 days: %d %r" % (status, out))
    status, out, err = expiry("web.kyr", "Days=19")
    check(status == 0 and out == "KCERTADM EXPIRY OK - no certificate expires within 19 days\n",
          "nothing within 19 days: %d %r" % (status, out))

    # UNKNOWN: the check could not be made.
    for what, args in [("a wrong password", ["CheckExpiry", "KeyFile=web.kyr", "Password=no"]),
                       ("a missing key ring", ["CheckExpiry", "KeyFile=none.kyr", "Password=p"]),
                       ("Days that is no number", ["CheckExpiry", "KeyFile=web.kyr", "Days=x"]),
                       ("Days beyond a hundred years", ["CheckExpiry", "KeyFile=web.kyr", "Days=99999"]),
                       ("an unknown option", ["CheckExpiry", "--bogus"]),
                       ("no password and no terminal", ["CheckExpiry", "KeyFile=web.kyr"])]:
        status, out, err = run(*args)
        check(status == 3 and out.startswith("KCERTADM EXPIRY UNKNOWN - "),
              "%s: exit %d, %r" % (what, status, out))
    status, out, err = run("--json", "CheckExpiry", "KeyFile=web.kyr", "Password=no")
    report = valid_json(out, "CheckExpiry --json on a wrong password")
    check(status == 3 and report is not None and report["message"].startswith("30009: "),
          "UNKNOWN in JSON: %d %s" % (status, out))


def main():
    with tempfile.TemporaryDirectory() as work:
        os.environ.pop("HeronResLang", None)
        dying_end = setup_ring(work)
        check_listing(work)
        check_files(work)
        check_view_cert(work)
        check_expiry(work, dying_end)
    if failures:
        print("%d failure(s)" % len(failures))
        sys.exit(1)
    print("all checks passed")


main()
