#!/usr/bin/python3
"""The editor crashes for real under a virtual display: the crash report, the
recovered template, the reporter window (screenshot) and the report mail
reaching a real mail server after the user presses Send.

Run under xvfb-run with EDITOR, TOOL and SCREENSHOTS set; needs xdotool,
ImageMagick's import and python3-aiosmtpd. Argument: the fault kind.
"""
import email
import email.policy
import mailbox
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

EDITOR = os.environ["EDITOR"]
TOOL = os.environ["TOOL"]
SCREENSHOTS = os.environ.get("SCREENSHOTS", ".")
KIND = sys.argv[1] if len(sys.argv) > 1 else "segv"
TITLE = "TaNGRA LuMI QV Editor"
EXPECTED_FAULT = {"segv": "Fault: SIGSEGV", "abort": "Fault: SIGABRT",
                  "throw": "Fault: Uncaught exception: std::runtime_error: test crash requested",
                  "throw-in-event": "Fault: Uncaught exception: std::runtime_error: test crash requested"}[KIND]
EXPECTED_STATUS = {"segv": -11, "abort": -6, "throw": -6, "throw-in-event": -6}[KIND]

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def xdotool(*args, check_rc=False):
    r = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    if check_rc and r.returncode != 0:
        raise RuntimeError(f"xdotool {args}: {r.stderr}")
    return r.stdout.split()


def windows_named(title):
    return xdotool("search", "--onlyvisible", "--name", f"^{title}$")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def server_answers(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def wait_until(condition, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return None


def main():
    work = tempfile.mkdtemp(prefix="tqv-crash-gui-")
    home, tmp, maildir = (os.path.join(work, d) for d in ("home", "tmp", "maildir"))
    os.makedirs(home)
    os.makedirs(tmp)
    port = free_port()
    server = subprocess.Popen(["/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l", f"127.0.0.1:{port}",
                               "-c", "aiosmtpd.handlers.Mailbox", maildir])
    editor = reporter_pid = None
    try:
        # The report server comes from the user's settings.
        with open(os.path.join(home, "." + TITLE), "w") as f:
            f.write(f"ReportServer=127.0.0.1:{port}\nStartupAction=1\n")
        song = os.path.join(work, "song.syx")
        subprocess.run([TOOL, "new", song], check=True)
        original = open(song, "rb").read()
        check(bool(wait_until(lambda: server_answers(port), 10)), "the mail server runs")

        # The user's private runtime folder takes the report.
        os.chmod(tmp, 0o700)
        data_home = os.path.join(home, ".local", "share")
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=tmp, XDG_DATA_HOME=data_home, TQV_TEST_CRASH=KIND)
        # Where the crash leaves the list of saved templates for the next start.
        notice = os.path.join(data_home, TITLE, "recovered templates.txt")
        editor = subprocess.Popen([EDITOR, song], env=env)
        # Answer the start-up message boxes (no MIDI devices here) until the editor ends.
        deadline = time.monotonic() + 60
        while editor.poll() is None and time.monotonic() < deadline:
            for w in windows_named(TITLE):
                # Only the editor's own boxes: Return in the reporter's window,
                # should it come up this early, would send the report.
                if xdotool("getwindowpid", w) != [str(editor.pid)]:
                    continue
                xdotool("windowfocus", "--sync", w)
                xdotool("key", "--window", w, "Return")
            time.sleep(0.3)
        check(editor.poll() == EXPECTED_STATUS, f"the editor ended by its fault (status {editor.poll()})")

        report_path = os.path.join(tmp, TITLE + ".dmp")
        check(os.path.exists(report_path), "crash report written into the private runtime folder")
        if os.path.exists(report_path):
            check(os.stat(report_path).st_mode & 0o777 == 0o600, "only the user may read the report")
        recovered = os.path.join(work, "song.recovered.syx")
        check(os.path.exists(recovered), "modified template saved beside its file")
        if os.path.exists(recovered):
            data = open(recovered, "rb").read()
            check(len(data) == 4112 and data != original, "the recovered template holds the edit")
            info = subprocess.run([TOOL, "info", recovered], capture_output=True, text=True)
            check(info.returncode == 0 and "Crash Test" in info.stdout,
                  "the recovered template opens, renamed")

        # The reporter: a separate process showing the report dialog.
        dialogs = wait_until(lambda: windows_named(TITLE), 30)
        check(bool(dialogs), "the reporter shows its window")
        if not dialogs:
            return
        dialog = dialogs[0]
        reporter_pid = int(xdotool("getwindowpid", dialog)[0])
        time.sleep(1.0)  # first paint
        report_text = open(report_path, encoding="utf-8", errors="replace").read()
        check(os.path.exists(notice) and f"Recovered: {recovered}" in open(notice).read(),
              "the next start would learn where the template went, should the reporter not tell")
        check(EXPECTED_FAULT in report_text, "the report names the fault")
        check("Symbolised backtrace:" in report_text, "the reporter added the symbolised trace")
        check(f"Recovered: {recovered}" in report_text, "the report lists the recovered template")
        os.makedirs(SCREENSHOTS, exist_ok=True)
        shot = os.path.join(SCREENSHOTS, f"report_dialog_{KIND}.png")
        subprocess.run(["import", "-window", dialog, shot], check=True)
        check(os.path.getsize(shot) > 0, f"screenshot {shot}")

        # Type as a user does, then Send.
        xdotool("windowfocus", "--sync", dialog)
        xdotool("type", "--delay", "5", "Deleted every control.")
        xdotool("key", "Tab")
        xdotool("type", "--delay", "5", "user@example.org")
        xdotool("key", "alt+s")
        ended = wait_until(lambda: not os.path.exists(f"/proc/{reporter_pid}"), 30)
        check(bool(ended), "the reporter ends after sending")
        check(not os.path.exists(report_path), "the sent report file is deleted")
        check(not os.path.exists(notice), "the reporter told the user: the next start says nothing")

        box = mailbox.Maildir(maildir)
        keys = list(box.keys())
        check(len(keys) == 1, f"one report mail arrived ({len(keys)})")
        if keys:
            with box.get_file(keys[0]) as f:
                msg = email.message_from_bytes(f.read(), policy=email.policy.default)
            check(msg.defects == [] and all(p.defects == [] for p in msg.walk()), "the mail is well-formed MIME")
            check(msg["Subject"] == TITLE + " Crash Report", "subject")
            check(msg["Reply-To"] is not None and msg["Reply-To"].addresses[0].addr_spec == "user@example.org",
                  "Reply-To as typed")
            check(msg.get_body(("plain",)).get_content() == "Deleted every control.\n", "description as typed")
            att = next(msg.iter_attachments(), None)
            check(att is not None and att.get_filename() == TITLE + ".dmp", "the crash report is attached")
            if att is not None:
                check(att.get_payload(decode=True) == report_text.encode("utf-8"),
                      "the attachment is the report file")
    finally:
        for proc in (editor,):
            if proc and proc.poll() is None:
                proc.kill()
        if reporter_pid and os.path.exists(f"/proc/{reporter_pid}"):
            os.kill(reporter_pid, 9)
        server.terminate()
        server.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


main()
sys.exit(1 if failures else 0)
