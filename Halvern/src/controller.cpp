// Controller and its track manager.
#include <Halvern/controller.h>

#include <memory>
#include <vector>

#include "track.h"

// Owns the tracks, in creation order.
class Controller::TrackerImpl {
 public:
  std::vector<std::unique_ptr<Track>> tracks;
};

Controller::Controller(int /*unused*/) : impl_(std::make_unique<TrackerImpl>()) {}

Controller::~Controller() = default;

void Controller::set_config(const Tracker::Config& config) { ::set_config(config); }

void Controller::get_config(Tracker::Config& config) const { ::get_config(config); }
