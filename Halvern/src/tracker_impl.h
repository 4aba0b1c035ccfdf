// The track manager behind Controller: owns the tracks and runs each phase over them.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <Halvern/controller.h>

#include "shared_frame.h"
#include "task_pool.h"
#include "track.h"

class Controller::TrackerImpl {
 public:
  // A detection handed to a track in the update phase: indices of both.
  struct Feed {
    size_t track;
    size_t object;
  };

  // Removes every track.
  void reset();
  // Replaces all tracks by one new track per record. Nothing changes when a record is refused.
  void create_tracks(const SharedFrame& frame, const std::vector<Tracker::TrackObject>& objects);
  // Appends one new track per record. Nothing changes when a record is refused.
  void add_tracks(const SharedFrame& frame, const std::vector<Tracker::TrackObject>& objects);

  // Which detection goes to which track: each record to the first track with its id, records
  // without a track skipped, and of several records with one id only the first used. Checks
  // the mask of every record a tracking track will read (std::invalid_argument).
  std::vector<Feed> route(const std::vector<Tracker::TrackObject>& objects,
                          const cv::Size& frame_size) const;

  // The phases of one frame.
  void predict();
  void update(const SharedFrame& frame, const std::vector<Tracker::TrackObject>& objects,
              const std::vector<Feed>& feeds);
  void correct();
  void update_status();
  void detect_events();
  void detect(const SharedFrame& frame, const CameraMotionInfo& camera);
  // Appends one record per track, in track order.
  void populate(std::vector<Tracker::TrackObject>& out);

  // Removes every track with this id.
  void delete_track(int id);

 private:
  // New tracks for the records, seeded in parallel; refuses a box that is not inside the frame.
  std::vector<std::unique_ptr<Track>> make_tracks(
      const SharedFrame& frame, const std::vector<Tracker::TrackObject>& objects);
  // Runs `work` on the pool for every track that `selected` picks, in track order; rethrows
  // the first exception in that order once all have finished.
  void for_each(const std::function<bool(const Track&)>& selected,
                const std::function<void(Track&)>& work);

  std::vector<std::unique_ptr<Track>> tracks_;  // in creation order, the order of every phase
  TaskPool pool_;
};
