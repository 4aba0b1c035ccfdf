// The flat list layout of the list API, read and written in one place:
//   [n, s, record 0 (s elements), record 1, ...]
// with the ten elements of a record at offsets 0 to 9 of its s:
//   id, class_name, age, score, x, y, width, height, mask, status.
// Elements are read with Boost.Python's extraction, so a short list or a wrong element type
// raises the Python error of list indexing (IndexError) or extraction (TypeError).
#pragma once

#include <cstdint>
#include <vector>

#include <boost/python/list.hpp>

#include <Halvern/tracker.h>

namespace halvern::detail {

constexpr int32_t kRecordElements = 10;

struct ListHeader {
  int32_t count;   // n; a negative count reads no record
  int32_t stride;  // s; below 10 the records overlap, above 10 the extra elements are unread
};

// Elements 0 and 1. A negative stride is refused (std::invalid_argument): its indices would
// wrap around to the end of the list.
ListHeader read_header(const boost::python::list& list);

// The id of record i.
int32_t read_id(const boost::python::list& list, const ListHeader& header, int32_t i);

// Record i. The mask (element 8) is read only when `with_mask` is set, as a matrix through the
// registered array conversion; otherwise it stays empty.
Tracker::TrackObject read_record(const boost::python::list& list, const ListHeader& header,
                                 int32_t i, bool with_mask);

// A new list of the records: n, the stride, then each record's ten elements, padded with None
// up to `stride` when it is larger. An empty mask becomes None, any other the array that the
// registered conversion makes of it (the masks are handed over: the records keep none). The
// stride written is never below 10, so the header always describes the list's own layout.
boost::python::list result_list(std::vector<Tracker::TrackObject>& records, int32_t stride);

}  // namespace halvern::detail
