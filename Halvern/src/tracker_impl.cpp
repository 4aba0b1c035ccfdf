// The track manager: creation, routing of detections, the per-track phases and the output.
#include "tracker_impl.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "box_math.h"

namespace {

bool is_tracking(const Track& t) { return t.tracking; }

uint64_t track_id(int32_t id) { return static_cast<uint64_t>(static_cast<int64_t>(id)); }

std::string text(const cv::Size& s) {
  return std::to_string(s.width) + "x" + std::to_string(s.height);
}

std::string text(const cv::Mat& m) {
  return m.empty() ? "an empty matrix" : text(m.size()) + " " + cv::typeToString(m.type());
}

// The mask a tracking track reads: single-channel 8-bit, the frame's size.
void check_mask(const Tracker::TrackObject& object, const cv::Size& frame) {
  const cv::Mat& m = object.mask;
  if (m.type() == CV_8UC1 && m.dims == 2 && m.size() == frame) return;
  throw std::invalid_argument("the mask of detection " + std::to_string(object.id) +
                              " must be a single-channel 8-bit " + text(frame) +
                              " matrix (the frame's size), not " + text(m));
}

// A new track's box must lie inside the frame: its first reference is cut from there.
void check_seed(const Tracker::TrackObject& object, const cv::Size& frame) {
  const cv::Rect& r = object.rect;
  if (halvern::detail::lies_inside(r, frame)) return;
  throw std::invalid_argument("the box of new track " + std::to_string(object.id) + " (" +
                              std::to_string(r.x) + ", " + std::to_string(r.y) + ", " +
                              text(r.size()) + ") does not lie inside the " + text(frame) +
                              " frame");
}

}  // namespace

void Controller::TrackerImpl::reset() { tracks_.clear(); }

std::vector<std::unique_ptr<Track>> Controller::TrackerImpl::make_tracks(
    const SharedFrame& frame, const std::vector<Tracker::TrackObject>& objects) {
  for (const Tracker::TrackObject& o : objects) check_seed(o, frame.view().size());
  std::vector<std::unique_ptr<Track>> made(objects.size());
  pool_.run(objects.size(), [&](size_t i) {
    const Tracker::TrackObject& o = objects[i];
    made[i] = std::make_unique<Track>(o.rect, track_id(o.id), o.class_name, 1.0f, frame);
  });
  return made;
}

void Controller::TrackerImpl::create_tracks(const SharedFrame& frame,
                                            const std::vector<Tracker::TrackObject>& objects) {
  auto made = make_tracks(frame, objects);
  tracks_ = std::move(made);
}

void Controller::TrackerImpl::add_tracks(const SharedFrame& frame,
                                         const std::vector<Tracker::TrackObject>& objects) {
  auto made = make_tracks(frame, objects);
  tracks_.reserve(tracks_.size() + made.size());
  for (auto& t : made) tracks_.push_back(std::move(t));
}

std::vector<Controller::TrackerImpl::Feed> Controller::TrackerImpl::route(
    const std::vector<Tracker::TrackObject>& objects, const cv::Size& frame_size) const {
  std::vector<Feed> feeds;
  std::vector<bool> fed(tracks_.size(), false);
  for (size_t o = 0; o < objects.size(); ++o) {
    const uint64_t id = track_id(objects[o].id);
    const auto found = std::find_if(tracks_.begin(), tracks_.end(),
                                    [id](const std::unique_ptr<Track>& t) { return t->id == id; });
    if (found == tracks_.end()) continue;
    const auto t = static_cast<size_t>(found - tracks_.begin());
    if (fed[t]) continue;  // one detection per track and frame: the first
    fed[t] = true;
    if (tracks_[t]->tracking) check_mask(objects[o], frame_size);
    feeds.push_back({t, o});
  }
  return feeds;
}

void Controller::TrackerImpl::for_each(const std::function<bool(const Track&)>& selected,
                                       const std::function<void(Track&)>& work) {
  std::vector<Track*> picked;
  for (const auto& t : tracks_)
    if (selected(*t)) picked.push_back(t.get());
  pool_.run(picked.size(), [&](size_t i) { work(*picked[i]); });
}

void Controller::TrackerImpl::predict() {
  for_each(is_tracking, [](Track& t) { t.predict(); });
}

void Controller::TrackerImpl::update(const SharedFrame& frame,
                                     const std::vector<Tracker::TrackObject>& objects,
                                     const std::vector<Feed>& feeds) {
  pool_.run(feeds.size(), [&](size_t i) {
    Track& track = *tracks_[feeds[i].track];
    const Tracker::TrackObject& object = objects[feeds[i].object];
    if (track.tracking)
      track.update(frame, object.rect, object.mask, static_cast<double>(object.score));
    else
      track.count_miss();
  });
}

void Controller::TrackerImpl::correct() {
  for_each(is_tracking, [](Track& t) { t.correct(); });
}

void Controller::TrackerImpl::update_status() {
  for (const auto& t : tracks_) t->update_status();
}

void Controller::TrackerImpl::detect_events() {
  for_each(is_tracking, [](Track& t) { t.detect_track_lost(); });
}

void Controller::TrackerImpl::detect(const SharedFrame& frame, const CameraMotionInfo& camera) {
  for_each([](const Track& t) { return !t.tracking && t.searching; },
           [&](Track& t) { t.detect(frame, camera); });
}

void Controller::TrackerImpl::populate(std::vector<Tracker::TrackObject>& out) {
  const size_t first = out.size();
  out.resize(first + tracks_.size());
  // The records are independent: the mask copies, the bulk of the work, run on the pool.
  try {
    pool_.run(tracks_.size(), [&](size_t i) {
      const Track& t = *tracks_[i];
      Tracker::TrackObject& o = out[first + i];
      o.id = static_cast<int32_t>(t.id);
      o.class_name = t.class_name;
      o.age = t.age;
      o.score = t.score;
      o.rect = cv::Rect(t.bbox);  // each member rounded
      o.mask = t.frame_mask.clone();
      o.status = t.status();
    });
  } catch (...) {
    out.resize(first);  // no half-made records
    throw;
  }
}

void Controller::TrackerImpl::delete_track(int id) {
  const uint64_t wanted = track_id(id);
  const auto has_id = [wanted](const std::unique_ptr<Track>& t) { return t->id == wanted; };
  tracks_.erase(std::remove_if(tracks_.begin(), tracks_.end(), has_id), tracks_.end());
}
