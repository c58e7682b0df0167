"""Opening files and running scripts: the module gives what tarvik-batch gives."""
import warnings

import numpy as np
import pytest

import tarvik


def dump_points(text):
    rows = [line.split("\t") for line in text.splitlines()]
    return (np.array([float(r[0]) for r in rows]), np.array([float(r[1]) for r in rows]))


def test_open_gives_the_graphs_and_points_of_tarvik_batch(scope_csv, batch):
    doc = tarvik.Document()
    doc.open(scope_csv)
    status, listed, _ = batch(f'open "{scope_csv}"; list')
    assert status == 0
    assert doc.run("list") == listed
    assert [g.title for g in doc.graphs] == ["CH1", "CH2", "CH3", "CH4"]
    assert doc.active == 4
    for n in (1, 4):
        _, dumped, _ = batch(f'open "{scope_csv}"; dump graph={n}')
        x, y = dump_points(dumped)
        g = doc.graphs[n - 1]
        assert g.x.dtype == np.float64 and len(g) == len(x) == 10000
        # %.17g round-trips: the arrays are the very doubles the runner holds.
        assert np.array_equal(g.x, x) and np.array_equal(g.y, y)


def test_open_takes_several_files_and_path_types(examples):
    doc = tarvik.Document()
    doc.open(str(examples / "pulse.grf"), bytes(examples / "pulse_two_column.csv"))
    assert len(doc.graphs) == 2
    assert doc.graphs[0].title == "Импульс"
    assert doc.graphs[0].entry == "pulse.grf"


def test_run_returns_standard_output_of_every_command(scope_csv):
    doc = tarvik.Document()
    doc.open(scope_csv)
    out = doc.run("activate graph=2\nmeasure-values\n# a comment\nlist; texts")
    lines = out.splitlines()
    assert lines[0].startswith("amplitude\t")
    assert "2\t*\t10000\tpulse_scope.grf\tCH2" in lines
    assert lines[-3:] == ["bottom\tt, нс", "left\tU, В", "foot\t"]


def test_decimal_separator_reaches_typed_numbers_and_texts(scope_csv):
    comma = tarvik.Document(decimal_separator=",")
    comma.open(scope_csv)
    dot = tarvik.Document()
    dot.open(scope_csv)
    comma.run("mul-y value=0,5")
    dot.run("mul-y value=0.5")
    assert np.array_equal(comma.graphs[3].y, dot.graphs[3].y)
    assert "," in comma.run("measure") and "," not in dot.run("measure")
    with pytest.raises(ValueError):
        tarvik.Document(decimal_separator=";")


def test_a_failed_command_raises_its_message_and_keeps_what_ran_before(scope_csv):
    doc = tarvik.Document()
    doc.open(scope_csv)
    before = doc.graphs[3].y.copy()
    with pytest.raises(tarvik.Error) as failure:
        doc.run("mul-y value=2; list; activate graph=1; save graph=1 file=/no/such/folder/a.grf; list")
    assert not isinstance(failure.value, tarvik.UsageError)
    assert "/no/such/folder/a.grf" in str(failure.value)
    # The commands before the failure ran and printed; the one after did not.
    assert failure.value.output.count("\n") == 4
    assert np.array_equal(doc.graphs[3].y, before * 2)
    assert doc.active == 1


def test_a_file_that_cannot_be_read_raises_with_the_readers_message(tmp_path):
    doc = tarvik.Document()
    with pytest.raises(tarvik.Error, match="Невозможно открыть файл"):
        doc.open(tmp_path / "missing.csv")
    broken = tmp_path / "broken.wfm"
    broken.write_bytes(b"\xa5\xa5\xa4\x01" + b"\x00" * 40)
    with pytest.raises(tarvik.Error, match="broken.wfm"):
        doc.open(broken)
    assert len(doc.graphs) == 0


def test_usage_errors_are_found_before_anything_runs(scope_csv):
    doc = tarvik.Document()
    doc.open(scope_csv)
    with pytest.raises(tarvik.UsageError, match=r"^line 2: unknown command \"no-such\""):
        doc.run("close-all\nno-such x=1")
    assert len(doc.graphs) == 4
    with pytest.raises(tarvik.UsageError, match="there is no graph 9"):
        doc.run("dump graph=9")
    with pytest.raises(tarvik.UsageError):
        doc.run('list "unclosed')


def test_info_messages_are_warnings(scope_csv):
    doc = tarvik.Document()
    with pytest.warns(tarvik.Info, match="Нечего отменять"):
        assert doc.undo() is False
    with warnings.catch_warnings():
        warnings.simplefilter("error", tarvik.Info)
        with pytest.raises(tarvik.Info):
            doc.run("redo")
    assert issubclass(tarvik.Info, UserWarning)


def test_answer_replies_to_the_questions(tmp_path, scope_csv):
    doc = tarvik.Document()
    doc.open(scope_csv)
    target = tmp_path / "out.grf"
    target.write_text("old")
    doc.run(f'save graph=1 file="{target}"', answer="no")
    assert target.read_text() == "old"
    doc.save(2, target, answer=False)
    assert target.read_text() == "old"
    doc.run(f'save graph=1 file="{target}" answer=no', answer="yes")
    assert target.read_text() == "old"
    doc.save(2, target)
    assert tarvik.read(target)[0][0] == "CH2"
    with pytest.raises(ValueError):
        doc.run("list", answer="maybe")


def test_wrong_argument_types_raise_type_error(scope_csv):
    doc = tarvik.Document()
    for call in (lambda: doc.run(5), lambda: doc.open(5), lambda: doc.open(),
                 lambda: doc.save("1", "a.grf"), lambda: doc.save_session(None),
                 lambda: tarvik.read(3.5), lambda: doc.run("list", answer=1)):
        with pytest.raises(TypeError):
            call()
    doc.open(scope_csv)
    with pytest.raises(IndexError):
        doc.save(5, "a.grf")
    with pytest.raises(IndexError):
        doc.active = 0


def test_read_gives_titles_and_arrays_without_a_document(scope_csv):
    graphs = tarvik.read(scope_csv)
    doc = tarvik.Document()
    doc.open(scope_csv)
    assert [t for t, _, _ in graphs] == [g.title for g in doc.graphs]
    for (title, x, y), g in zip(graphs, doc.graphs):
        assert np.array_equal(x, g.x) and np.array_equal(y, g.y)
        assert not x.flags.writeable
    with pytest.raises(tarvik.Error):
        tarvik.read("/no/such/file.grf")


def test_pictures_are_refused_with_a_reason(scope_csv, tmp_path):
    doc = tarvik.Document()
    doc.open(scope_csv)
    with pytest.raises(tarvik.Error, match="matplotlib"):
        doc.run(f'picture file="{tmp_path / "a.png"}"')
    assert not (tmp_path / "a.png").exists()


def test_help_reads_well():
    assert "Document" in tarvik.__doc__
    for thing in (tarvik.Document, tarvik.Document.run, tarvik.Document.add, tarvik.Graph,
                  tarvik.Graph.x, tarvik.read, tarvik.Error, tarvik.UsageError, tarvik.Info,
                  tarvik.GraphList):
        assert thing.__doc__ and len(thing.__doc__) > 30, thing
