"""Long commands leave the interpreter free, and Ctrl+C stops them as the stop button does."""
import _thread
import signal
import threading
import time

import numpy as np
import pytest

import tarvik

# A convolution on an uneven grid is summed term by term: seconds for 40,000 points, with
# progress (and the stop request) at each percent.
CONVOLVE = "convolve signal=1 response=2; list"
POINTS = 40000


@pytest.fixture
def slow_doc():
    doc = tarvik.Document()
    x = np.cumsum(np.random.default_rng(1).uniform(0.5, 1.5, POINTS))
    doc.add(x, np.sin(x / 100.0), title="signal")
    doc.add(x, 1.0 - np.exp(-x / 50.0), title="response")
    return doc


def stopped_part(doc):
    """The points of the convolution a stopped command left (it keeps what it made)."""
    assert len(doc.graphs) == 3 and doc.graphs[2].title == "signal (Свертка)"
    return len(doc.graphs[2])


def test_a_running_command_leaves_the_interpreter_free(slow_doc):
    finished = threading.Event()
    outputs = []
    worker = threading.Thread(target=lambda: (outputs.append(slow_doc.run(CONVOLVE)),
                                              finished.set()))
    worker.start()
    time.sleep(0.2)  # the worker is in the command by now; a command holding the GIL ends first
    ticks = 0
    while not finished.is_set() and ticks < 100000:
        ticks += 1
    # This thread counted to the end while the command was still running: the command
    # does not hold the GIL.
    still_running = not finished.is_set()
    slow_doc.stop()
    worker.join(60)
    assert ticks == 100000 and still_running
    # stop() ended the command early and the rest of the script did not run.
    assert outputs == [""] and stopped_part(slow_doc) < POINTS - 1


def test_ctrl_c_stops_the_command_and_the_script(slow_doc):
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        slow_doc.run(CONVOLVE)
    timer.join()
    assert 0 < stopped_part(slow_doc) < POINTS - 1
    # The document goes on working, and the stopped command is one undo step.
    assert slow_doc.run("list").count("\n") == 3
    assert slow_doc.undo() and len(slow_doc.graphs) == 2


def test_a_signal_handler_reaching_the_busy_document_does_not_hang_it(slow_doc):
    def handler(signum, frame):
        len(slow_doc.graphs)  # the document is locked by this thread's run

    previous = signal.signal(signal.SIGINT, handler)
    try:
        timer = threading.Timer(0.3, _thread.interrupt_main)
        timer.start()
        with pytest.raises(RuntimeError, match="busy"):
            slow_doc.run(CONVOLVE)
        timer.join()
    finally:
        signal.signal(signal.SIGINT, previous)
    assert stopped_part(slow_doc) < POINTS - 1
