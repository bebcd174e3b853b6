#!/usr/bin/env python3
"""Flashes every device that the selectors find, all at once: a line per device as it goes, then a
summary. The exit status is the tool's: 0 when every device was updated, else that of the first
device (in the order found) that failed.

    production_test.py IMAGE SELECTOR...     usb:0403:6001, path:*usb-0:1.*, /dev/ttyUSB0 ...
    production_test.py IMAGE --simulate 4    four simulated devices, to try it without hardware

Options: --link rs232|usb (default rs232), --verify (compare the whole image before Finish),
--record FILE (append each device's record).
"""

import argparse
import sys
import threading

import vtc880


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("image")
    parser.add_argument("selectors", nargs="*")
    parser.add_argument("--link", default="rs232", choices=["rs232", "usb"])
    parser.add_argument("--verify", action="store_true")
    parser.add_argument("--record")
    parser.add_argument("--simulate", type=int, metavar="N", help="update N simulated devices")
    args = parser.parse_args()

    try:
        image = vtc880.read_image(args.image)  # read and checked once, sent to every device
    except vtc880.ImageError as error:
        sys.exit(f"production_test: {error}")

    speed = 921600 if args.link == "usb" else 19200
    simulators = [vtc880.Simulator(initial_speed=speed) for _ in range(args.simulate or 0)]
    ports = [sim.port for sim in simulators]
    for selector in args.selectors:
        try:
            found = [port.name for port in vtc880.find_ports(selector)] or [vtc880.select_port(selector).name]
        except vtc880.PortError as error:
            sys.exit(f"production_test: {error}")
        ports += [port for port in found if port not in ports]
    if not ports:
        sys.exit("production_test: no device: give a selector (see `vtc880 ports`) or --simulate N")

    print(f"{image.path}: version {image.version or '?'}, {image.data_bytes:,} bytes, to {len(ports)} device(s)")
    lock = threading.Lock()
    stop = threading.Event()
    results = {}

    def say(line):
        with lock:
            print(line, flush=True)

    def progress(step):
        if step.started:
            say(f"{step.port}: {step.phase.replace('_', ' ')}")

    def run(port):
        results[port] = vtc880.update(port, image, link=args.link, verify=args.verify, progress=progress,
                                      record=args.record, stop=stop)
        say(f"{port}: {results[port].text}")

    threads = [threading.Thread(target=run, args=(port,)) for port in ports]
    for thread in threads:
        thread.start()
    try:
        for thread in threads:
            while thread.is_alive():
                thread.join(0.2)
    except KeyboardInterrupt:
        say("interrupted: stopping every device at its next safe point")
        stop.set()
        for thread in threads:
            thread.join()
    for sim in simulators:
        sim.close()

    failed = [port for port in ports if port not in results or results[port].exit_code != 0]
    print(f"{len(ports)} device(s): {len(ports) - len(failed)} updated, {len(failed)} failed"
          + (f" ({', '.join(failed)})" if failed else ""))
    for port in failed:
        if port in results:
            for_port = results[port]
            print(f"  {port}: {for_port.outcome}, the device is {for_port.state.replace('_', ' ')}")
    return next((results[port].exit_code if port in results else 1 for port in failed), 0)


if __name__ == "__main__":
    sys.exit(main())
