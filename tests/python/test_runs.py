import os
import sys
import subprocess
import threading
import _thread

import pytest

import vtc880
from conftest import FAST, memory_holds


def test_an_update_puts_every_block_into_the_device_and_says_so(image_file, blocks):
    with vtc880.Simulator() as sim:
        result = vtc880.update(sim.port, image_file, pause_scale=FAST)
        assert memory_holds(sim, blocks)
        assert sim.finished
    assert result.check() is result
    assert (result.ok, result.outcome, result.state, result.exit_code) == (True, "succeeded", "updated", 0)
    assert result.bytes_programmed == result.image_bytes == sum(len(data) for _, data in blocks)
    assert list(result.phases) == ["speed_switch", "update_mode", "erase", "programming", "finish"]
    assert result.seconds == pytest.approx(sum(result.phases.values()))
    assert "firmware.bin" in result.text


def test_the_module_sends_what_the_tool_sends(tool, image_file):
    def received(run):
        with vtc880.Simulator() as sim:
            run(sim.port)
            return [(r.kind, r.code, r.data, r.text, r.speed) for r in sim.transcript()]

    by_tool = received(lambda port: subprocess.run([tool, "update", str(image_file), "--port", port, "--verify"],
                                                    check=True, capture_output=True))
    by_module = received(lambda port: vtc880.update(port, image_file, verify=True).check())
    assert by_module == by_tool


# Each failure class: the exception, what the device holds, and the tool's exit status.
@pytest.mark.parametrize(
    "faults, verify, error, outcome, state, exit_code",
    [
        ({"silent": True}, False, vtc880.NoAnswer, "no_answer", "in_update_mode", 5),
        ({"error_on_erase": True}, False, vtc880.EraseFailed, "erase_failed", "in_update_mode", 6),
        ({"error_on_chunk": 2}, False, vtc880.ProgrammingFailed, "programming_failed", "partly_programmed", 7),
        ({"corrupt_chunk": 1}, True, vtc880.VerifyFailed, "verify_failed", "programmed_not_finished", 8),
        ({"hang_up_after": 3}, False, vtc880.PortError, "port_lost", "partly_programmed", 4),
    ],
)
def test_each_failure_raises_its_class_with_what_the_device_holds(image_file, faults, verify, error, outcome,
                                                                   state, exit_code):
    with vtc880.Simulator(**faults) as sim:
        result = vtc880.update(sim.port, image_file, verify=verify, pause_scale=FAST)
        assert not sim.finished
    assert (result.ok, result.outcome, result.state, result.exit_code) == (False, outcome, state, exit_code)
    with pytest.raises(error) as raised:
        result.check()
    assert isinstance(raised.value, vtc880.UpdateError)
    assert raised.value.result is result
    assert str(raised.value) == result.text


@pytest.mark.parametrize(
    "port, image, error, outcome, exit_code",
    [
        ("/dev/no-such-vtc880-port", "image", vtc880.PortError, "port", 4),
        (None, "/no/such/image.bin", vtc880.ImageError, "file", 3),
    ],
)
def test_a_port_or_image_that_fails_before_the_device_is_touched(image_file, port, image, error, outcome, exit_code):
    with vtc880.Simulator() as sim:
        result = vtc880.update(port or sim.port, image_file if image == "image" else image, pause_scale=FAST)
        assert sim.frames == []
    assert (result.outcome, result.state, result.exit_code) == (outcome, "untouched", exit_code)
    with pytest.raises(error):
        result.check()


def test_progress_goes_phase_by_phase_each_rising_to_its_total(image_file, blocks):
    steps = []
    with vtc880.Simulator(erase_time_ms=300) as sim:
        vtc880.update(sim.port, image_file, verify=True, progress=steps.append, pause_scale=FAST).check()
        assert {s.port for s in steps} == {sim.port}
    phases = [s.phase for s in steps if s.started]
    assert phases == ["speed_switch", "update_mode", "erase", "programming", "verify", "finish"]
    for phase, unit, total in [("erase", "seconds", 0.3), ("programming", "bytes", 3251), ("verify", "bytes", 3251)]:
        measured = [s for s in steps if s.phase == phase and not s.started]
        assert {s.unit for s in measured} == {unit}
        assert [s.done for s in measured] == sorted(s.done for s in measured)
        assert measured[-1].done == measured[-1].total == pytest.approx(total)
    programming = [s for s in steps if s.phase == "programming" and s.block is not None]
    assert [s.block for s in programming] == sorted(s.block for s in programming)
    assert {s.block for s in programming} == {1, 2} and {s.blocks for s in programming} == {2}


def test_a_stop_event_ends_the_run_at_a_safe_point_with_what_the_device_holds(image_file):
    stop = threading.Event()

    def progress(step):
        if step.phase == "programming" and step.done > 0:
            stop.set()

    # A device slow to answer, so that programming lasts long enough to be stopped in the middle.
    with vtc880.Simulator(reply_delay_ms=5) as sim:
        result = vtc880.update(sim.port, image_file, progress=progress, stop=stop, pause_scale=FAST)
    assert (result.outcome, result.state, result.exit_code) == ("interrupted", "partly_programmed", 130)
    assert 0 < result.bytes_programmed < result.image_bytes
    with pytest.raises(vtc880.Interrupted):
        result.check()


def test_ctrl_c_stops_the_run_and_raises_interrupted_with_the_state(image_file):
    erasing = threading.Event()

    def press_ctrl_c():
        # As a Ctrl-C at the terminal: another thread interrupts the one that waits for the run.
        if erasing.wait(30):
            _thread.interrupt_main()

    def progress(step):
        if step.phase == "erase":
            erasing.set()

    threading.Thread(target=press_ctrl_c).start()
    with vtc880.Simulator(erase_time_ms=1000) as sim:
        with pytest.raises(vtc880.Interrupted) as raised:
            vtc880.update(sim.port, image_file, progress=progress, pause_scale=FAST)
        assert not sim.finished
    result = raised.value.result
    assert isinstance(raised.value, KeyboardInterrupt)
    assert result.outcome == "interrupted" and result.exit_code == 130
    assert result.state in ("in_update_mode", "erased")
    assert result.bytes_programmed == 0


def test_an_error_in_the_progress_callable_stops_the_run_and_is_raised(image_file):
    def progress(step):
        if step.phase == "programming":
            raise RuntimeError("the script's own fault")

    with vtc880.Simulator() as sim:
        with pytest.raises(RuntimeError, match="the script's own fault"):
            vtc880.update(sim.port, image_file, progress=progress, pause_scale=FAST)
        assert not sim.finished


def test_four_devices_from_four_threads_run_at_the_same_time(image_file, blocks):
    sims = [vtc880.Simulator(erase_time_ms=500) for _ in range(4)]
    results = {}
    events = []
    lock = threading.Lock()

    def progress(step):
        if step.started and step.phase in ("speed_switch", "finish"):
            with lock:
                events.append((step.phase, step.port))

    def run(sim):
        results[sim.port] = vtc880.update(sim.port, image_file, progress=progress, pause_scale=FAST)

    threads = [threading.Thread(target=run, args=(sim,)) for sim in sims]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    try:
        assert [r.outcome for r in results.values()] == ["succeeded"] * 4
        assert all(memory_holds(sim, blocks) for sim in sims)
        # Every run began before any reached its end: none waited for another to finish.
        assert [phase for phase, _ in events[:4]] == ["speed_switch"] * 4
    finally:
        for sim in sims:
            sim.close()


def test_a_record_names_the_device_and_the_image_with_a_utf8_name(tmp_path, blocks):
    from conftest import write_image
    import json

    image = write_image(tmp_path / "fïrmwäre-固件.bin", blocks)
    record = tmp_path / "records.jsonl"
    with vtc880.Simulator() as sim:
        result = vtc880.update(sim.port, vtc880.read_image(image), record=record, pause_scale=FAST).check()
    assert "fïrmwäre-固件.bin" in result.text
    line = json.loads(record.read_text(encoding="utf-8"))
    assert (line["state"], line["outcome"], line["image"]) == ("updated", "succeeded", str(image))


def test_a_record_that_cannot_be_written_is_a_record_error(image_file, tmp_path):
    with pytest.raises(vtc880.RecordError):
        vtc880.update("/dev/null", image_file, record=tmp_path / "no" / "such" / "folder" / "r.jsonl")


@pytest.mark.parametrize("selector", ["usb:ffff:fffe", "path:*no-such-socket*", "usb:zz", "/dev/no-such-port"])
def test_a_selector_that_picks_no_port_is_a_port_error_naming_what_was_found(selector):
    with pytest.raises(vtc880.PortError, match=selector.split(":")[0]):
        vtc880.select_port(selector)


def test_a_simulated_port_is_selected_by_its_name():
    with vtc880.Simulator() as sim:
        port = vtc880.select_port(sim.port)
        assert port.device == os.path.realpath(sim.port)


def test_the_production_example_updates_four_simulated_devices(image_file):
    example = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "production_test.py")
    run = subprocess.run([sys.executable, example, str(image_file), "--simulate", "4"], capture_output=True,
                         text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    assert run.stdout.count(": updated with ") == 4
    assert run.stdout.rstrip().endswith("4 device(s): 4 updated, 0 failed")


def test_verify_and_erase_run_on_the_same_device(image_file, blocks):
    with vtc880.Simulator() as sim:
        vtc880.update(sim.port, image_file, pause_scale=FAST).check()
        verified = vtc880.verify(sim.port, image_file, pause_scale=FAST).check()
        erased = vtc880.erase(sim.port, pause_scale=FAST).check()
        assert sim.memory(blocks[0][0], 4) == b"\xff" * 4
    assert (verified.operation, verified.bytes_verified) == ("verify", sum(len(data) for _, data in blocks))
    assert (erased.operation, erased.outcome) == ("erase", "succeeded")
