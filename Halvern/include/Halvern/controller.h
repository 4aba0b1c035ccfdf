// The tracker's public face. A Controller owns its track manager, which owns the tracks.
#pragma once

#include <memory>

#include <Halvern/tracker.h>

class Controller {
 public:
  // The argument is accepted for interface compatibility and has no effect.
  explicit Controller(int unused);
  ~Controller();

  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // The settings are process-wide: these behave exactly like the free set_config/get_config,
  // so a set through one controller is seen by every track of every controller.
  void set_config(const Tracker::Config& config);
  void get_config(Tracker::Config& config) const;

 private:
  class TrackerImpl;   // the track manager

  CameraMotionInfo camera_motion_;       // stays at its defaults; copied into each recovery search
  std::unique_ptr<TrackerImpl> impl_;
};
