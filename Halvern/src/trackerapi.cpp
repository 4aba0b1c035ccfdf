// The list API over the process-wide controller.
//
// A call reads its whole list before it changes anything, so a list that fails to read (short,
// or an element of the wrong type) leaves the tracker, the id watermark and the stride as they
// were. The matrices handed to the controller own no Python buffer: the arrays stay referenced
// by this thread until the call returns, and the worker threads never release or allocate one.
#include <Halvern/trackerapi.h>

#include <iostream>
#include <stdexcept>
#include <vector>

#include <boost/python/extract.hpp>

#include "matrix_inputs.h"
#include "record_list.h"

namespace bp = boost::python;
using halvern::detail::FramePixels;
using halvern::detail::ListHeader;

std::unique_ptr<Controller> p_controller;
int32_t obj_index = -1;
int32_t len_det = halvern::detail::kRecordElements;

namespace {

Controller& controller() {
  if (!p_controller) throw std::runtime_error("Controller not initialized");
  return *p_controller;
}

// The soft condition of an empty detection list: reported, not raised.
bool is_empty(const bp::list& detections) {
  if (bp::len(detections) > 0) return false;
  std::cerr << "List of dets has size <= 0" << std::endl;
  return true;
}

// init and add: the records above the watermark, then the controller operation `seed`.
void seed_tracks(const cv::Mat& frame, const bp::list& detections,
                 void (Controller::*seed)(const Tracker::FrameData&,
                                          const std::vector<Tracker::TrackObject>&)) {
  Controller& c = controller();
  if (is_empty(detections)) return;
  FramePixels pixels(frame);
  const ListHeader header = halvern::detail::read_header(detections);
  std::vector<Tracker::TrackObject> accepted;
  int32_t last = obj_index;
  for (int32_t i = 0; i < header.count; ++i) {
    if (halvern::detail::read_id(detections, header, i) <= last) continue;
    accepted.push_back(halvern::detail::read_record(detections, header, i, false));
    last = accepted.back().id;
  }
  len_det = header.stride;
  if (accepted.empty()) return;
  (c.*seed)(pixels.data(), accepted);
  obj_index = last;  // only once the tracks exist: refused seeds leave their ids usable
}

std::vector<int> read_ids(const bp::list& ids) {
  std::vector<int> out;
  const auto n = bp::len(ids);
  for (decltype(bp::len(ids)) i = 0; i < n; ++i) out.push_back(bp::extract<int>(ids[i]));
  return out;
}

}  // namespace

void create(bp::list& config) {
  Tracker::Config c;
  const auto at = [&config](int i) { return config[i]; };
  c.detect_track_failure = bp::extract<bool>(at(0));
  c.recover_track = bp::extract<bool>(at(1));
  c.stab_period = bp::extract<int32_t>(at(2));
  c.detect_fail_interval = bp::extract<int32_t>(at(3));
  c.min_obj_size = bp::extract<int32_t>(at(4));
  c.template_queue_size = bp::extract<int32_t>(at(5));
  c.status_queue_size = bp::extract<int32_t>(at(6));
  c.search_status_threshold = static_cast<float>(bp::extract<double>(at(7)));
  c.max_search_interval = bp::extract<int32_t>(at(8));
  c.knn_distance_ratio = static_cast<float>(bp::extract<double>(at(9)));
  c.detect_conf_threshold = static_cast<float>(bp::extract<double>(at(10)));
  c.detect_iou_threshold = static_cast<float>(bp::extract<double>(at(11)));
  c.enable_halvern = true;
  c.process_margin_percent = 0.1f;
  c.update_template_interval = 1;

  p_controller.reset();  // the old tracks go before the new tracker starts
  p_controller = std::make_unique<Controller>(30);
  p_controller->set_config(c);
}

void init(const cv::Mat& frame, bp::list& detections) {
  seed_tracks(frame, detections, &Controller::init);
}

void add(const cv::Mat& frame, bp::list& detections) {
  seed_tracks(frame, detections, &Controller::add);
}

bp::list update(const cv::Mat& frame, bp::list& detections) {
  Controller& c = controller();
  if (is_empty(detections)) return bp::list();
  FramePixels pixels(frame);
  const ListHeader header = halvern::detail::read_header(detections);
  std::vector<Tracker::TrackObject> records;
  std::vector<cv::Mat> given;  // the masks as read: the caller's arrays go back out unchanged
  for (int32_t i = 0; i < header.count; ++i) {
    records.push_back(halvern::detail::read_record(detections, header, i, true));
    given.push_back(records.back().mask);
    records.back().mask =
        halvern::detail::tracker_mask(given.back(), pixels.size(), records.back().id);
  }
  len_det = header.stride;
  c.update(pixels.data(), records);
  for (size_t i = 0; i < given.size(); ++i) records[i].mask = given[i];
  return halvern::detail::result_list(records, len_det);
}

bp::list remove(bp::list& ids) {
  Controller& c = controller();
  const std::vector<int> wanted = read_ids(ids);
  std::vector<Tracker::TrackObject> left;
  c.remove(wanted, left);
  return halvern::detail::result_list(left, len_det);
}

bp::list purge(bp::list& ids) { return remove(ids); }
