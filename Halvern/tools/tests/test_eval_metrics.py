import math
import os

import numpy as np
import pytest

from halvern_tools.frames import iou_matrix
from halvern_tools.metrics import evaluate
from halvern_tools.mot_io import read_mot

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", "tud-campus")
NAN = float("nan")


def check(result, expected):
    for key, value in expected.items():
        if isinstance(value, float) and math.isnan(value):
            assert math.isnan(result[key]), key
        else:
            assert result[key] == pytest.approx(value, abs=1e-12), key


def box(track_id, left, top=0.0, width=10.0, height=10.0):
    return (track_id, left, top, width, height, 1.0)


def test_iou_matrix_against_hand_values():
    a = [(0, 0, 10, 10), (5, 5, 0, 4)]
    b = [(0, 0, 10, 10), (5, 0, 10, 10), (0, 0, 10, 5), (20, 20, 5, 5), (5, 5, 0, 4)]
    expected = [[1.0, 50 / 150, 0.5, 0.0, 0.0],
                [0.0, 0.0, 0.0, 0.0, 0.0]]  # a box of zero area overlaps nothing
    assert iou_matrix(a, b) == pytest.approx(np.array(expected))
    assert iou_matrix(np.empty((0, 4)), b).shape == (0, 5)


def test_two_objects_with_a_switch_a_miss_and_a_false_positive():
    # Object 1 stays at x 0..10, object 2 at x 100..110, over frames 1-4.
    # Track 1 follows object 1 (in frame 2 with a box of IoU 0.72). Track 2 follows
    # object 2 until frame 3, where object 2 is missed and track 9 is a false
    # positive far away; track 3 takes object 2 over in frame 4 (one switch).
    gt = {f: [box(1, 0), box(2, 100)] for f in range(1, 5)}
    tracks = {
        1: [box(1, 0), box(2, 100)],
        2: [box(1, 0, height=7.2), box(2, 100)],
        3: [box(1, 0), box(9, 200)],
        4: [box(1, 0), box(3, 100)],
    }
    # HOTA by hand. Every pair that overlaps at all does so alone in its frame, so
    # the pairs' alignment is plain: (1,1) 4 of 4 frames, (2,2) 2/(4+2-2), (2,3) 1/(4+1-1).
    # For alpha <= 0.70 all 7 matches count: DetA 7/(8+8-7), AssA (4*1 + 2*0.5 + 1*0.25)/7.
    # For alpha >= 0.75 the 0.72 match drops: DetA 6/(8+8-6); pair (1,1) has 3 matches,
    # alignment 3/(4+4-3): AssA (3*0.6 + 2*0.5 + 1*0.25)/6.
    low_det, low_ass = 7 / 9, 5.25 / 7
    high_det, high_ass = 6 / 10, 3.05 / 6
    check(evaluate(gt, tracks), {
        "num_gt_boxes": 8, "num_track_boxes": 8, "matches": 7,
        "fp": 1, "fn": 1, "id_switches": 1, "fragmentations": 1,
        "gt": 2, "mt": 1, "pt": 1, "ml": 0,      # object 2 tracked in 3 of 4 frames
        "recall": 7 / 8, "precision": 7 / 8,
        "mota": 1 - (1 + 1 + 1) / 8,
        "motp": (1 - 0.72) / 7,
        # Trajectories: object 1 <-> track 1 share 4 frames, object 2 <-> track 2 share 2.
        "idtp": 6, "idfn": 2, "idfp": 2, "idf1": 12 / 16, "idp": 6 / 8, "idr": 6 / 8,
        "deta": (14 * low_det + 5 * high_det) / 19,
        "assa": (14 * low_ass + 5 * high_ass) / 19,
        "hota": (14 * math.sqrt(low_det * low_ass) + 5 * math.sqrt(high_det * high_ass)) / 19,
    })


def test_track_moving_to_a_new_object_costs_identity_but_is_no_switch():
    # Object 1 in frames 1-2 and object 2 in frames 3-5 at the same place; track 1
    # covers frames 1-4. The object that is new gets no switch; identity pairs track 1
    # with one of them only.
    gt = {1: [box(1, 0)], 2: [box(1, 0)], 3: [box(2, 0)], 4: [box(2, 0)], 5: [box(2, 0)]}
    tracks = {f: [box(1, 0)] for f in range(1, 5)}
    check(evaluate(gt, tracks), {
        "matches": 4, "fp": 0, "fn": 1, "id_switches": 0, "fragmentations": 0,
        "mt": 1, "pt": 1, "ml": 0, "mota": 1 - 1 / 5,
        "idtp": 2, "idp": 2 / 4, "idr": 2 / 5, "idf1": 4 / 9,
    })


def test_correspondence_is_kept_while_it_still_overlaps_enough():
    # In frame 2 track 5 fits object 1 better, but track 4 still overlaps it by 0.6.
    gt = {1: [box(1, 0)], 2: [box(1, 0)]}
    tracks = {1: [box(4, 0)], 2: [box(4, 0, height=6), box(5, 0)]}
    check(evaluate(gt, tracks), {"matches": 2, "id_switches": 0, "fp": 1, "motp": 0.4 / 2})
    # Once it falls below the threshold the better track takes over: one switch.
    tracks[2][0] = box(4, 0, height=4)
    check(evaluate(gt, tracks), {"matches": 2, "id_switches": 1, "fp": 1, "motp": 0.0})


def test_assignment_matches_as_many_pairs_as_possible():
    # Track 7 fits object 1 best (9/11), but then object 2 would be left without
    # a partner: the assignment pairs 1-8 (7/13) and 2-7 (8/12) instead.
    gt = {1: [box(1, 10), box(2, 13)]}
    tracks = {1: [box(7, 11), box(8, 7)]}
    check(evaluate(gt, tracks), {
        "matches": 2, "fp": 0, "fn": 0, "motp": ((1 - 7 / 13) + (1 - 8 / 12)) / 2,
    })


def hota_of(alphas_low, det_low, ass_low, det_high, ass_high):
    """HOTA, DetA, AssA when the first `alphas_low` of the 19 thresholds give one result
    and the rest another."""
    n_high = 19 - alphas_low
    return {
        "deta": (alphas_low * det_low + n_high * det_high) / 19,
        "assa": (alphas_low * ass_low + n_high * ass_high) / 19,
        "hota": (alphas_low * math.sqrt(det_low * ass_low)
                 + n_high * math.sqrt(det_high * ass_high)) / 19,
    }


@pytest.mark.parametrize("gt, tracks, expected", [
    # Track 1 follows object 1 for three frames, the last at IoU 0.62; track 2 shows up
    # in frame 3 only, at IoU 1. The long-aligned track 1 wins the frame. Alpha <= 0.60:
    # 3 matches, all with track 1: DetA 3/(3+4-3), AssA 1. Above: 2/(3+4-2), 2/(3+3-2).
    ({f: [box(1, 0)] for f in (1, 2, 3)},
     {1: [box(1, 0)], 2: [box(1, 0)], 3: [box(1, 0, height=6.2), box(2, 0)]},
     hota_of(12, 3 / 4, 1.0, 2 / 5, 1 / 2)),
    # Track 1 covers object 1 in frame 1, overlaps it by 0.7 in frame 2 and then lives
    # on far away for 8 frames; track 2 exists in frame 2 only, at IoU 0.92. Alignment is
    # a Jaccard ratio, so the long track 1 aligns worse and track 2 wins frame 2.
    # Alpha <= 0.90: 2 matches of 2 + 11 boxes, AssA (1/(2+10-1) + 1/(2+1-1))/2; above:
    # only frame 1 counts: DetA 1/(2+11-1), AssA 1/11.
    ({1: [box(1, 0)], 2: [box(1, 0)]},
     {1: [box(1, 0)], 2: [box(1, 0, height=7), box(2, 0, height=9.2)],
      **{f: [box(1, 500)] for f in range(3, 11)}},
     hota_of(18, 2 / 11, (1 / 11 + 1 / 2) / 2, 1 / 12, 1 / 11)),
])
def test_hota_matching_prefers_aligned_trajectories(gt, tracks, expected):
    check(evaluate(gt, tracks), expected)


def test_overlap_of_exactly_the_threshold_is_a_match():
    gt = {1: [box(1, 0)]}
    assert evaluate(gt, {1: [box(1, 0, height=5)]})["matches"] == 1
    assert evaluate(gt, {1: [box(1, 0, height=4.99)]})["matches"] == 0
    assert evaluate(gt, {1: [box(1, 0, height=4.99)]}, iou_threshold=0.4)["matches"] == 1


def test_empty_tracks_are_all_misses():
    gt = read_mot(os.path.join(DATA, "gt.txt"))
    check(evaluate(gt, {}), {
        "matches": 0, "fp": 0, "fn": 359, "id_switches": 0, "fragmentations": 0,
        "gt": 8, "mt": 0, "pt": 0, "ml": 8, "mota": 0.0, "motp": NAN,
        "recall": 0.0, "precision": NAN, "idf1": 0.0, "idp": NAN, "idr": 0.0,
        "hota": 0.0, "deta": 0.0, "assa": 0.0,
    })


def test_tracks_equal_to_ground_truth_are_perfect():
    gt = read_mot(os.path.join(DATA, "gt.txt"))
    check(evaluate(gt, gt), {
        "fp": 0, "fn": 0, "id_switches": 0, "fragmentations": 0, "mt": 8, "mota": 1.0,
        "motp": 0.0, "idf1": 1.0, "hota": 1.0, "deta": 1.0, "assa": 1.0,
    })


def test_published_figures_of_the_tud_campus_sequence():
    result = evaluate(read_mot(os.path.join(DATA, "gt.txt")),
                      read_mot(os.path.join(DATA, "hypothesis.txt")))
    assert {k: result[k] for k in ("gt", "mt", "pt", "ml", "fp", "fn", "id_switches",
                                   "fragmentations")} == {
        "gt": 8, "mt": 1, "pt": 6, "ml": 1, "fp": 13, "fn": 150, "id_switches": 7,
        "fragmentations": 7}
    percent = {k: round(100 * result[k], 1)
               for k in ("idf1", "idp", "idr", "recall", "precision", "mota")}
    assert percent == {"idf1": 55.8, "idp": 73.0, "idr": 45.1, "recall": 58.2,
                       "precision": 94.1, "mota": 52.6}
    assert round(result["motp"], 3) == 0.277


@pytest.mark.parametrize("gt, tracks, message", [
    ({1: [box(1, 0), box(1, 50)]}, {}, "ground truth: id 1 appears twice in frame 1"),
    ({}, {3: [box(2, 0), box(2, 50)]}, "tracks: id 2 appears twice in frame 3"),
])
def test_duplicate_ids_are_refused(gt, tracks, message):
    with pytest.raises(ValueError, match=message):
        evaluate(gt, tracks)


@pytest.mark.parametrize("threshold", [0.0, -0.5, 1.5, NAN])
def test_threshold_out_of_range_is_refused(threshold):
    with pytest.raises(ValueError, match="IoU threshold"):
        evaluate({}, {}, iou_threshold=threshold)


def test_nothing_at_all_gives_undefined_rates():
    result = evaluate({}, {})
    assert result["fp"] == result["fn"] == result["gt"] == 0
    assert all(math.isnan(result[k]) for k in ("mota", "motp", "idf1", "hota"))
