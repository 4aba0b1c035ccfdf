// The tracker's public face. A Controller owns its track manager, which owns the tracks.
//
// Detections are matched to tracks by id alone; new tracks come only from init and add. Every
// call runs on the calling thread, fanning the per-track work of each phase out over the
// controller's worker threads. Calls on one controller must not overlap.
//
// A frame is height rows of width 8-bit BGR pixels (channels must be 3), borrowed for the
// duration of the call; a frame without pixels or with another channel count is refused with
// std::invalid_argument before any track is touched.
#pragma once

#include <memory>
#include <vector>

#include <Halvern/tracker.h>

class Controller {
 public:
  // The argument is accepted for interface compatibility and has no effect.
  explicit Controller(int unused);
  ~Controller();

  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // Removes every track, then seeds one track per record (its rect, id and class_name), in
  // order. Duplicate ids are accepted. A box that does not lie inside the frame is refused
  // with std::invalid_argument, and then no track changes.
  void init(const Tracker::FrameData& frame, const std::vector<Tracker::TrackObject>& objects);

  // As init, but appends the new tracks to the existing ones.
  void add(const Tracker::FrameData& frame, const std::vector<Tracker::TrackObject>& objects);

  // Runs one frame: predict, update from the detections in `objects`, correct, status, loss
  // events, recovery search (when enable_halvern and recover_track are set), then appends one
  // record per track to `objects`, after the detections.
  //
  // A detection goes to the first track with its id; detections without a track, and later
  // detections with an id already used in this call, are ignored. The mask of a detection that
  // goes to a tracking track must be a single-channel 8-bit matrix of the frame's size,
  // otherwise std::invalid_argument is thrown before any track is touched. An exception from
  // the work of a track is rethrown once the other tracks of that phase have finished; the
  // later phases of the frame do not run.
  void update(const Tracker::FrameData& frame, std::vector<Tracker::TrackObject>& objects);

  // Deletes the tracks with these ids, in order, then appends one record per remaining track
  // to `out`.
  void remove(const std::vector<int>& ids, std::vector<Tracker::TrackObject>& out);

  // Deletes every track with this id.
  void remove(int id);

  // The settings are process-wide: these behave exactly like the free set_config/get_config,
  // so a set through one controller is seen by every track of every controller.
  void set_config(const Tracker::Config& config);
  void get_config(Tracker::Config& config) const;

 private:
  class TrackerImpl;   // the track manager

  CameraMotionInfo camera_motion_;       // stays at its defaults; copied into each recovery search
  std::unique_ptr<TrackerImpl> impl_;
};
