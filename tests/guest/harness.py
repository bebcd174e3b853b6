#!/usr/bin/env python3
"""Boots the guest once and judges its cases.

Starts one simulated device per port (each on a pseudo-terminal, logging what it receives), boots
QEMU with the guest's ttyS1 (an emulated 16550) and an emulated FTDI adapter on those
pseudo-terminals as tty backends, follows the guest's console for the cases' reports, unplugs the
adapter over QMP when the unplug case needs it, and checks what only the devices saw: the line speed
of each stage, and that a refused port sent nothing. Prints one PASS or FAIL line per case and exits
non-zero when any case failed or gave no result.
"""

import argparse
import json
import os
import queue
import re
import select
import signal
import socket
import subprocess
import sys
import threading
import time

REPORT = re.compile(r"@@ (.*)$")
VERDICT = re.compile(r"^(PASS|FAIL) (\S+): ?(.*)$")
# "   9.526 s  @19200  ascii  "1BR115200\r"" as the simulated device logs what it receives.
ENTRY = re.compile(r"^\s*\d+\.\d+ s  @(\d+)  (ascii|frame|bad frame)  (.*)$")
UNPLUG_AFTER_CHUNKS = 5
PROMPT_LIMIT = 1.5  # seconds from the unplug to the end of the run: well under the 3 s chunk wait


def log(text):
    print(f"guest: {text}", flush=True)


class Device:
    """A simulated device on a pseudo-terminal; keeps each line it logs with the time it came."""

    def __init__(self, sim, name, speed, work):
        self.name = name
        self.lines = []
        self.lock = threading.Lock()
        self.file = open(os.path.join(work, f"{name}.log"), "w")
        self.process = subprocess.Popen(
            [sim, "--line-model", "--verbose", "--initial-speed", str(speed)],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 10)
        self.path = self.process.stdout.readline().strip() if ready else ""
        if not self.path.startswith("/dev/"):
            self.stop()
            raise RuntimeError(f"the simulated device {name} did not start: {self.process.stderr.read()}")
        threading.Thread(target=self._follow, daemon=True).start()

    def _follow(self):
        for line in self.process.stderr:
            line = line.rstrip("\n")
            self.file.write(line + "\n")
            self.file.flush()
            with self.lock:
                self.lines.append(line)

    def mark(self):
        with self.lock:
            return len(self.lines)

    def since(self, start, end=None):
        with self.lock:
            return self.lines[start:end]

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def entries(lines):
    """(speed, kind, text) of each entry the device logged."""
    found = []
    for line in lines:
        m = ENTRY.match(line)
        if m:
            found.append((int(m.group(1)), m.group(2), m.group(3)))
    return found


class Monitor:
    """QEMU's QMP socket: one command at a time, events skipped."""

    def __init__(self, path, qemu, deadline):
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(path)
                break
            except OSError:
                self.sock.close()
                if qemu.poll() is not None:
                    raise RuntimeError(f"QEMU ended at once (status {qemu.returncode}): see its output above")
                if time.monotonic() > deadline:
                    raise RuntimeError("QEMU's monitor socket did not open")
                time.sleep(0.1)
        self.reader = self.sock.makefile("r")
        self.reader.readline()  # the greeting
        self.command("qmp_capabilities")

    def command(self, name, **arguments):
        message = {"execute": name}
        if arguments:
            message["arguments"] = arguments
        self.sock.sendall((json.dumps(message) + "\n").encode())
        for line in self.reader:
            reply = json.loads(line)
            if "return" in reply:
                return reply["return"]
            if "error" in reply:
                raise RuntimeError(f"QMP {name}: {reply['error'].get('desc')}")
        raise RuntimeError(f"QMP {name}: the monitor closed")


# What the host checks after a guest case, over the lines its port's device logged during it.
def speeds(first, second_readable):
    """The speed switch as the device saw it, then everything after it at 115200.

    With the line model the device reads a byte intact only when the sender's line speed equals its
    own, which each speed command sets: an intact command at the device's speed proves the speed it
    went out at."""

    def check(lines, _before):
        got = entries(lines)
        if len(got) < 5:
            return False, f"the device logged only {len(got)} entries"
        want = [(first, "ascii", r'"1BR115200\r"')]
        want.append((115200, "ascii", r'"2BR115200\r"') if second_readable else None)
        want += [(115200, "ascii", r'"FIRMWAREUPDATE\r"'), (115200, "ascii", '"$KQ-"')]
        for i, w in enumerate(want):
            if w is None:
                # Sent at the first speed again, to a device already at 115200: garbled there.
                if got[i][:2] != (115200, "ascii") or got[i][2] == r'"2BR115200\r"':
                    return False, f"entry {i + 1}: {got[i]}, expected the second command unreadable at 115200"
            elif got[i] != w:
                return False, f"entry {i + 1}: {got[i]}, expected {w}"
        frames = []
        for entry in got[len(want):]:
            if entry[1] == "ascii":
                break
            frames.append(entry)
            if entry[2].startswith("Finish"):
                break
        # The last frame may be read in part after the old speed came back (see below): a Finish
        # read as a bad frame there is that, not a frame garbled on the line.
        finishLate = bool(frames) and frames[-1][1] == "bad frame" and frames[-1][2].startswith("Finish")
        wrong = [f for f in (frames[:-1] if finishLate else frames) if f[:2] != (115200, "frame")]
        if wrong:
            return False, f"{len(wrong)} frames not read intact at 115200, the first: {wrong[0]}"
        chunks = sum(1 for f in frames if f[2].startswith("ProgramChunk"))
        if chunks == 0:
            return False, "no ProgramChunk reached the device"
        second = "2BR115200 at 115200" if second_readable else f"the second unreadable at 115200 (sent at {first})"
        text = f"1BR115200 at {first}, {second}, preamble and {len(frames)} frames at 115200"
        if finishLate:
            text += " (Finish read in part at the old speed: the pty's speed went back before the device read it)"
        elif not frames[-1][2].startswith("Finish"):
            # A pseudo-terminal tells its speed when the device reads, not when the guest wrote. The
            # kernel hands the last frame's bytes to the device's side a moment after QEMU wrote them,
            # and by then the guest's close may have put the old speed back: the device reads Finish
            # as sent at that speed and drops it. On a real line the bytes leave first.
            text += " (Finish not logged: the pty's speed went back before the device read it)"
        return True, text

    return check


def nothing_sent(lines, before):
    # A device in update mode hunts for frames and drops what is not one without a word; only in its
    # normal mode does it log every byte, readable or not.
    earlier = entries(before)
    if earlier and earlier[-1][1] != "ascii" and not earlier[-1][2].startswith("Finish"):
        return False, f"cannot tell: the device was left in update mode before the case (last: {earlier[-1]})"
    got = entries(lines)
    if got:
        return False, f"the device received {len(got)} entries, the first: {got[0]}"
    return True, "the device received nothing"


HOST_CHECKS = {
    "rs232-update": [("rs232-speeds", "rs232", speeds(19200, True))],
    "usb-update": [("usb-speeds", "usb", speeds(921600, False))],
    "rs232-no-921600": [("rs232-no-921600-silent", "rs232", nothing_sent)],
}


class Run:
    def __init__(self, args):
        self.args = args
        self.results = {}  # name -> (passed, text)
        self.plan = None
        self.events = queue.Queue()  # (arrival time, console line); None when the console closed
        self.devices = {}
        self.monitor = None
        self.begun = {}  # case -> where each device's log stood, and when the case began
        self.case_over = threading.Event()  # stops the running case's host action
        self.showing = False  # a failed case's output, between its FAIL and its end
        self.done = False
        self.unplugged_at = None
        self.exited_at = None

    def result(self, name, passed, text, took=None):
        self.results[name] = (passed, text)
        log(f"{'PASS' if passed else 'FAIL'} {name}: {text}" + (f" ({took:.0f} s)" if took is not None else ""))

    def qemu_command(self, monitor_path):
        kernel_line = "console=ttyS0 panic=-1 quiet loglevel=3"
        if self.args.cases:
            kernel_line += " vtc880.cases=" + ",".join(self.args.cases)
        return [
            "qemu-system-x86_64", "-accel", "tcg", "-m", "256", "-smp", "1",
            "-nographic", "-no-reboot", "-monitor", "none",
            "-kernel", self.args.kernel, "-initrd", self.args.initramfs, "-append", kernel_line,
            "-chardev", "stdio,id=con,signal=off", "-serial", "chardev:con",
            "-chardev", f"serial,id=s1,path={self.devices['rs232'].path}", "-serial", "chardev:s1",
            "-device", "qemu-xhci,id=xhci",
            "-chardev", f"serial,id=u1,path={self.devices['usb'].path}",
            "-device", "usb-serial,id=ftdi,bus=xhci.0,chardev=u1,always-plugged=on",
            "-qmp", f"unix:{monitor_path},server=on,wait=off",
        ]

    def follow_console(self, qemu):
        with open(os.path.join(self.args.work, "console.log"), "w") as console:
            for raw in qemu.stdout:
                line = raw.decode(errors="replace").rstrip("\r\n")
                console.write(line + "\n")
                console.flush()
                self.events.put((time.monotonic(), line))
        self.events.put((time.monotonic(), None))

    def unplug(self, start, case_over):
        """Unplugs the adapter once the device has taken a few chunks of the run."""
        while not case_over.is_set():
            chunks = sum(1 for e in entries(self.devices["usb"].since(start)) if e[2].startswith("ProgramChunk"))
            if chunks >= UNPLUG_AFTER_CHUNKS:
                at = time.monotonic()
                try:
                    self.monitor.command("device_del", id="ftdi")
                except RuntimeError as error:
                    log(f"could not unplug the adapter: {error}")
                    return
                self.unplugged_at = at
                log(f"unplugged the adapter (device_del) after {chunks} chunks")
                return
            time.sleep(0.02)

    def on_report(self, at, report):
        words = report.split()
        what = words[0] if words else ""
        verdict = VERDICT.match(report)
        if verdict:
            name = verdict.group(2)
            took = at - self.begun[name]["at"] if name in self.begun else None
            self.result(name, verdict.group(1) == "PASS", verdict.group(3), took)
            self.showing = verdict.group(1) == "FAIL"
        elif what == "plan":
            self.plan = words[1:]
            log(f"running {len(self.plan)} cases: {' '.join(self.plan)}")
        elif what == "guest:":
            log(report[len("guest: "):])
            self.done = report == "guest: done"
        elif what == "begin" and len(words) == 2:
            name = words[1]
            self.begun[name] = {k: d.mark() for k, d in self.devices.items()}
            self.begun[name]["at"] = at
            if name == "usb-unplug":
                threading.Thread(target=self.unplug, daemon=True,
                                 args=(self.begun[name]["usb"], self.case_over)).start()
        elif words == ["note", "usb-unplug", "exited"]:
            self.exited_at = at
        elif what == "end" and len(words) == 2:
            self.showing = False
            self.case_over.set()
            self.case_over = threading.Event()
            self.judge_on_host(words[1], self.begun.get(words[1]))

    def follow(self, deadline):
        """Handles the console's lines until the guest is done, stops, or runs out of time."""
        while not self.done:
            try:
                at, line = self.events.get(timeout=max(0.1, deadline - time.monotonic()))
            except queue.Empty:
                log(f"the guest did not finish within {self.args.timeout:.0f} s")
                return
            if line is None:
                log("the guest stopped before it said it was done")
                return
            m = REPORT.search(line)
            if m:
                self.on_report(at, m.group(1))
            elif self.showing:
                print(f"  | {line}", flush=True)

    def main(self):
        os.makedirs(self.args.work, exist_ok=True)
        monitor_path = os.path.join(self.args.work, "qmp.sock")
        if os.path.exists(monitor_path):
            os.unlink(monitor_path)
        qemu = None
        started = time.monotonic()
        deadline = started + self.args.timeout
        try:
            self.devices["rs232"] = Device(self.args.sim, "rs232", 19200, self.args.work)
            self.devices["usb"] = Device(self.args.sim, "usb", 921600, self.args.work)
            qemu = subprocess.Popen(self.qemu_command(monitor_path), stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            threading.Thread(target=self.follow_console, args=(qemu,), daemon=True).start()
            self.monitor = Monitor(monitor_path, qemu, deadline)
            self.follow(deadline)
            if not self.done:
                self.show_console_tail()
        finally:
            self.case_over.set()
            if qemu is not None:
                try:
                    qemu.wait(timeout=max(1, min(20, deadline - time.monotonic())))  # powering off
                except subprocess.TimeoutExpired:
                    qemu.kill()
                    qemu.wait()
            for d in self.devices.values():
                d.stop()
        log(f"the boot took {time.monotonic() - started:.0f} s")
        return self.summary()

    def judge_on_host(self, name, marks):
        if marks is None:
            return
        for check_name, device, check in HOST_CHECKS.get(name, []):
            log_of = self.devices[device]
            passed, text = check(log_of.since(marks[device]), log_of.since(0, marks[device]))
            self.result(check_name, passed, text)
        if name == "usb-unplug":
            if self.unplugged_at is None:
                self.result("usb-unplug-prompt", False, "the device never took enough chunks to unplug mid-update")
            elif self.exited_at is None:
                self.result("usb-unplug-prompt", False, "the guest never said the run ended")
            else:
                took = self.exited_at - self.unplugged_at
                self.result("usb-unplug-prompt", took <= PROMPT_LIMIT,
                            f"the run ended {took:.2f} s after the unplug (at most {PROMPT_LIMIT} s)")

    def show_console_tail(self):
        path = os.path.join(self.args.work, "console.log")
        with open(path, errors="replace") as console:
            tail = console.readlines()[-30:]
        log(f"the console's last lines ({path}):")
        for line in tail:
            print(f"  | {line.rstrip()}")

    def summary(self):
        expected = list(self.plan or self.args.cases or [])
        for guest_case in list(expected):
            expected += [c[0] for c in HOST_CHECKS.get(guest_case, [])]
            if guest_case == "usb-unplug":
                expected.append("usb-unplug-prompt")
        missing = [n for n in expected if n not in self.results]
        for n in missing:
            self.result(n, False, "no result")
        failed = [n for n, (ok, _) in self.results.items() if not ok]
        if not self.results:
            log("no case ran")
            return 1
        log(f"{len(self.results) - len(failed)} passed, {len(failed)} failed" +
            (f": {' '.join(failed)}" if failed else ""))
        return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kernel", required=True)
    parser.add_argument("--initramfs", required=True)
    parser.add_argument("--sim", required=True, help="the simulated device program")
    parser.add_argument("--work", required=True, help="folder for the logs of this boot")
    parser.add_argument("--timeout", type=float, default=420, help="the whole boot, in seconds")
    parser.add_argument("cases", nargs="*", help="guest cases to run (all when none)")
    try:
        return Run(parser.parse_args()).main()
    except RuntimeError as error:
        log(f"error: {error}")
        return 1


if __name__ == "__main__":
    sys.exit(main())
