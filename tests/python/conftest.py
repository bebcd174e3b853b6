# The module against the simulated device: PYTHONPATH names the built package (ctest sets it), and
# VTC880_TOOL the tool, for the runs compared with it.
import os
import random
import struct

import pytest

import vtc880

# The run's pauses (speed switch settling, the pause before the connect) cost a tenth: the simulated
# device keeps real time on its line, so the bytes are those of a full-speed run.
FAST = 10


def write_image(path, blocks):
    """An image file of (word_address, bytes) records, as the packer writes them."""
    with open(path, "wb") as file:
        for address, data in blocks:
            file.write(struct.pack("<II", len(data), address) + data)
    return path


@pytest.fixture
def blocks():
    rng = random.Random(880)
    return [
        (0x100, bytes(rng.randrange(256) for _ in range(250))),
        (0x1000, bytes(rng.randrange(256) for _ in range(3001))),
    ]


@pytest.fixture
def image_file(tmp_path, blocks):
    return write_image(tmp_path / "firmware.bin", blocks)


@pytest.fixture
def tool():
    path = os.environ.get("VTC880_TOOL")
    if not path:
        pytest.skip("VTC880_TOOL is not set")
    return path


def memory_holds(sim, blocks):
    return all(sim.memory(address, len(data)) == data for address, data in blocks)
