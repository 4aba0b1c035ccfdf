// Controller: wraps the caller's frame and runs the track manager's phases in order.
#include <Halvern/controller.h>

#include <stdexcept>
#include <string>

#include "tracker_impl.h"

namespace {

// The caller's pixels as an 8-bit BGR matrix, without a copy.
cv::Mat frame_view(const Tracker::FrameData& frame) {
  if (frame.data == nullptr || frame.width <= 0 || frame.height <= 0)
    throw std::invalid_argument("the frame has no pixels (" + std::to_string(frame.width) + "x" +
                                std::to_string(frame.height) + ")");
  // Reading a buffer of fewer channels as three would read past its end.
  if (frame.channels != 3)
    throw std::invalid_argument("the frame must have 3 channels (8-bit BGR), not " +
                                std::to_string(frame.channels));
  return cv::Mat(frame.height, frame.width, CV_8UC3, frame.data);
}

}  // namespace

Controller::Controller(int /*unused*/) : impl_(std::make_unique<TrackerImpl>()) {}

Controller::~Controller() = default;

void Controller::init(const Tracker::FrameData& frame,
                      const std::vector<Tracker::TrackObject>& objects) {
  const SharedFrame shared(frame_view(frame));
  impl_->create_tracks(shared, objects);
}

void Controller::add(const Tracker::FrameData& frame,
                     const std::vector<Tracker::TrackObject>& objects) {
  const SharedFrame shared(frame_view(frame));
  impl_->add_tracks(shared, objects);
}

void Controller::update(const Tracker::FrameData& frame,
                        std::vector<Tracker::TrackObject>& objects) {
  const SharedFrame shared(frame_view(frame));
  const auto feeds = impl_->route(objects, shared.view().size());
  impl_->predict();
  impl_->update(shared, objects, feeds);
  impl_->correct();
  impl_->update_status();
  impl_->detect_events();
  if (Track::enable_halvern_ && Track::recover_track_) impl_->detect(shared, camera_motion_);
  impl_->populate(objects);
}

void Controller::remove(const std::vector<int>& ids, std::vector<Tracker::TrackObject>& out) {
  for (int id : ids) impl_->delete_track(id);
  impl_->populate(out);
}

void Controller::remove(int id) { impl_->delete_track(id); }

void Controller::set_config(const Tracker::Config& config) { ::set_config(config); }

void Controller::get_config(Tracker::Config& config) const { ::get_config(config); }
