"""The VTC880 firmware updater as a Python module.

Update, verify and erase VTC880 devices on serial ports from a script, with the same bytes on the wire,
the same outcomes and the same names as the ``vtc880`` tool:

    import vtc880
    result = vtc880.update("/dev/ttyUSB0", "firmware.bin", link="usb")
    print(result.outcome, result.state)   # succeeded updated
    result.check()                        # raises the outcome's error on failure

``vtc880.Simulator`` stands in for a device, so that a production script can be tried without hardware.
"""

from ._vtc880 import (
    Image,
    Port,
    Progress,
    Received,
    Result,
    Simulator,
    __version__,
    erase,
    find_ports,
    pack,
    ports,
    read_image,
    select_port,
    update,
    verify,
)

__all__ = [
    "Error", "UpdateError", "ImageError", "RecipeError", "PortError", "NoAnswer", "EraseFailed",
    "ProgrammingFailed", "VerifyFailed", "Interrupted", "RecordError",
    "Image", "Port", "Progress", "Received", "Result", "Simulator",
    "__version__", "read_image", "pack", "ports", "select_port", "find_ports", "update", "verify", "erase",
]


class Error(Exception):
    """Everything this module raises of its own."""


class UpdateError(Error):
    """A run that did not succeed; .result says what the device holds (None when no run began)."""

    def __init__(self, message, result=None):
        super().__init__(message)
        self.result = result


class ImageError(UpdateError):
    """The firmware image cannot be sent: what is wrong with the file, in the tool's words."""


class PortError(UpdateError):
    """The port cannot be opened, went away during the run, or a selector found no port or several."""


class NoAnswer(UpdateError):
    """The device did not answer."""


class EraseFailed(UpdateError):
    """The erase was refused or not answered in time."""


class ProgrammingFailed(UpdateError):
    """A chunk was refused or not answered in time."""


class VerifyFailed(UpdateError):
    """The device's memory differs from the image."""


class RecordError(UpdateError):
    """The record file cannot be written, or the run's record was not (the run itself may have succeeded)."""


class Interrupted(UpdateError, KeyboardInterrupt):
    """The run was stopped (Ctrl-C, or its stop event) at its next safe point.

    It is a KeyboardInterrupt too, so that Ctrl-C during an update still ends a script that does not
    catch it.
    """


class RecipeError(Error):
    """A recipe `pack` refused: .problems lists each problem as (line, text); line is None when none."""

    def __init__(self, message, problems=()):
        super().__init__(message)
        self.problems = list(problems)


_OUTCOME_ERRORS = {
    "port": PortError,
    "port_lost": PortError,
    "file": ImageError,
    "no_answer": NoAnswer,
    "erase_failed": EraseFailed,
    "programming_failed": ProgrammingFailed,
    "verify_failed": VerifyFailed,
    "interrupted": Interrupted,
}


def _check(self):
    """Returns the result when the run succeeded and its record (if asked for) was written; otherwise
    raises the error of its outcome (PortError, NoAnswer, ...), with the result as its .result."""
    if not self.ok:
        raise _OUTCOME_ERRORS.get(self.outcome, UpdateError)(self.text, self)
    if self.record_problem is not None:
        raise RecordError(self.record_problem, self)
    return self


Result.check = _check
