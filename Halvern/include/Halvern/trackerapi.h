// The list API: the tracker driven with flat Python lists and image matrices, through one
// process-wide Controller.
//
// List layouts (see record_list.h for the details):
//   configuration  twelve elements: detect_track_failure, recover_track, stab_period,
//                  detect_fail_interval, min_obj_size, template_queue_size, status_queue_size,
//                  search_status_threshold, max_search_interval, knn_distance_ratio,
//                  detect_conf_threshold, detect_iou_threshold
//   records        [n, s, then n records of s elements: id, class_name, age, score, x, y,
//                   width, height, mask, status]
//
// The functions use the Python interpreter: call them with the interpreter lock held, and only
// once the _halvern_py module has been imported, whose conversions turn masks into matrices
// and back. They are not safe to call concurrently. Everything but create fails with
// std::runtime_error "Controller not initialized" until create has run.
#pragma once

#include <cstdint>
#include <memory>

#include <boost/python/list.hpp>
#include <opencv2/core.hpp>

#include <Halvern/controller.h>

namespace halvern {

// A matrix the list API hands to Python and keeps no hold on. The module's converter turns it
// into an array like any matrix, except that a buffer nothing else holds becomes the array's
// own instead of being copied.
struct ReleasedMat {
  cv::Mat mat;
};

}  // namespace halvern

// The one tracker; replaced by create.
extern std::unique_ptr<Controller> p_controller;
// The id of the last detection accepted by init or add: only higher ids are accepted, across
// every call of the process, create included.
extern int32_t obj_index;
// The record stride of the last init, add or update; the stride of the lists returned.
extern int32_t len_det;

// Replaces the tracker by a new one (dropping every track) and applies the configuration list
// to the process-wide settings (enable_halvern on, process_margin_percent 0.1,
// update_template_interval 1). The id watermark and the stride are kept.
void create(boost::python::list& config);

// Seeds one track per record whose id is above every id accepted before, replacing all tracks
// (init) or adding to them (add); records with lower ids are skipped. Nothing happens when no
// record is accepted. An empty list only writes "List of dets has size <= 0" to stderr.
void init(const cv::Mat& frame, boost::python::list& detections);
void add(const cv::Mat& frame, boost::python::list& detections);

// Runs one frame with these detections (masks read) and returns the detections as given
// followed by one record per track. An empty list only writes "List of dets has size <= 0" to
// stderr and returns an empty list.
boost::python::list update(const cv::Mat& frame, boost::python::list& detections);

// Deletes the tracks with these ids, in order, and returns the records of the tracks left.
// The two are the same function under two names.
boost::python::list remove(boost::python::list& ids);
boost::python::list purge(boost::python::list& ids);
