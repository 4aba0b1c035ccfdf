import io

import pytest

from halvern_tools.mot_io import MotBox, MotFormatError, parse_mot, read_mot, write_mot


def test_write_then_read_gives_the_same_boxes(tmp_path):
    frames = {
        7: [(3, 113.84, 274.5, 57.307, 130.05, 0.91), (1, 0.1 + 0.2, 2, 3, 4)],
        2: [MotBox(12, 399.0, 182.0, 121.0, 229.0, 1.0)],
    }
    path = tmp_path / "out.txt"
    write_mot(path, frames)
    text = path.read_text()
    assert text.splitlines() == [
        "2,12,399,182,121,229,1,-1,-1,-1",
        "7,1,0.30000000000000004,2,3,4,-1,-1,-1,-1",
        "7,3,113.84,274.5,57.307,130.05,0.91,-1,-1,-1",
    ]
    assert read_mot(path) == {
        2: [MotBox(12, 399, 182, 121, 229, 1)],
        7: [MotBox(1, 0.1 + 0.2, 2, 3, 4, -1), MotBox(3, 113.84, 274.5, 57.307, 130.05, 0.91)],
    }
    assert list(tmp_path.iterdir()) == [path]  # no temporary file left behind

    stream = io.StringIO()
    write_mot(stream, frames)
    assert stream.getvalue() == text


@pytest.mark.parametrize("box", [(1, 0, 0, -1, 5), (1.5, 0, 0, 1, 1), (1, 0, 0, float("nan"), 1),
                                 (1, 2, 3)])
def test_writer_refuses_boxes_it_could_not_read_back(tmp_path, box):
    path = tmp_path / "out.txt"
    with pytest.raises(ValueError):
        write_mot(path, {1: [box]})
    assert list(tmp_path.iterdir()) == []


def test_reader_tolerates_layout_variants():
    lines = [
        b"\xef\xbb\xbf1, 1, 10, 20, 30, 40, 1, -1, -1, -1\r\n",  # BOM, spaces, CRLF
        b"\n",
        b"   \n",
        b"1.0,2.0,1.5,2.5,3,4\n",                                   # six fields, float ints
        b"3,-1,0,0,0,0,0.5,1,2",                                   # zero size, no newline
    ]
    assert parse_mot(lines) == {
        1: [MotBox(1, 10, 20, 30, 40, 1), MotBox(2, 1.5, 2.5, 3, 4, -1)],
        3: [MotBox(-1, 0, 0, 0, 0, 0.5)],
    }


def test_empty_file_has_no_frames(tmp_path):
    path = tmp_path / "empty.txt"
    path.write_bytes(b"")
    assert read_mot(path) == {}


@pytest.mark.parametrize("bad, message", [
    ("1,1,10,20,30", "got 5"),
    ("1,1,10,20,30,40,1,-1,-1,-1,7", "got 11"),
    ("# comment", "got 1"),
    ("x,1,10,20,30,40,1,-1,-1,-1", "frame is not a number: 'x'"),
    ("1.5,1,10,20,30,40,1,-1,-1,-1", "frame must be an integer"),
    ("-2,1,10,20,30,40,1,-1,-1,-1", "frame must not be negative"),
    ("1,2.5,10,20,30,40,1,-1,-1,-1", "id must be an integer"),
    ("1,1,10,,30,40,1,-1,-1,-1", "bb_top is not a number: ''"),
    ("1,1,10,20,nan,40,1,-1,-1,-1", "bb_width is not finite"),
    ("1,1,10,20,30,-40,1,-1,-1,-1", "box size must not be negative"),
    ("1,1,10,20,30,40,high,-1,-1,-1", "conf is not a number"),
    ("1,1,10,20,30,40,1,-1,y,-1", "y is not a number"),
    ("1 1 10 20 30 40 1 -1 -1 -1", "got 1"),
])
def test_malformed_line_is_reported_with_file_and_line(tmp_path, bad, message):
    path = tmp_path / "tracks.txt"
    path.write_text(f"1,7,10,20,30,40,1,-1,-1,-1\n\n{bad}\n")
    with pytest.raises(MotFormatError, match=message) as error:
        read_mot(path)
    assert error.value.line == 3
    assert str(error.value).startswith(f"{path}:3: ")


def test_non_utf8_line_is_reported():
    with pytest.raises(MotFormatError, match="<input>:2: not UTF-8"):
        parse_mot([b"1,1,1,1,1,1\n", b"\xff\xfe,1\n"])


def test_duplicate_ids_in_a_frame_only_with_unique_ids():
    lines = ["1,-1,0,0,5,5", "1,-1,9,9,5,5", "2,4,0,0,5,5", "2,4,1,1,5,5"]
    assert len(parse_mot(lines)[1]) == 2  # detection files repeat id -1
    with pytest.raises(MotFormatError, match=r"tracks:2: id -1 appears twice in frame 1"):
        parse_mot(lines, "tracks", unique_ids=True)
