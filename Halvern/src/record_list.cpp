// Reading and writing the list API's flat record lists.
#include "record_list.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include <boost/python/extract.hpp>
#include <boost/python/object.hpp>

#include <Halvern/trackerapi.h>

namespace bp = boost::python;

namespace halvern::detail {

namespace {

// Element k of record i (k < 10).
template <typename T>
T element(const bp::list& list, const ListHeader& header, int32_t i, int32_t k) {
  const int64_t index = 2 + int64_t{i} * header.stride + k;
  return bp::extract<T>(list[index]);
}

}  // namespace

ListHeader read_header(const bp::list& list) {
  const ListHeader header{bp::extract<int32_t>(list[0]), bp::extract<int32_t>(list[1])};
  if (header.stride < 0)
    throw std::invalid_argument("the record stride (element 1) must not be negative, not " +
                                std::to_string(header.stride));
  return header;
}

int32_t read_id(const bp::list& list, const ListHeader& header, int32_t i) {
  return element<int32_t>(list, header, i, 0);
}

Tracker::TrackObject read_record(const bp::list& list, const ListHeader& header, int32_t i,
                                 bool with_mask) {
  Tracker::TrackObject r;
  r.id = element<int32_t>(list, header, i, 0);
  r.class_name = element<std::string>(list, header, i, 1);
  r.age = element<int32_t>(list, header, i, 2);
  r.score = static_cast<float>(element<double>(list, header, i, 3));
  r.rect.x = element<int>(list, header, i, 4);
  r.rect.y = element<int>(list, header, i, 5);
  r.rect.width = element<int>(list, header, i, 6);
  r.rect.height = element<int>(list, header, i, 7);
  if (with_mask) r.mask = element<cv::Mat>(list, header, i, 8);
  r.status = element<int32_t>(list, header, i, 9);
  return r;
}

bp::list result_list(std::vector<Tracker::TrackObject>& records, int32_t stride) {
  const int32_t written = std::max(stride, kRecordElements);
  bp::list out;
  out.append(static_cast<int64_t>(records.size()));
  out.append(written);
  for (Tracker::TrackObject& r : records) {
    out.append(r.id);
    out.append(r.class_name);
    out.append(r.age);
    out.append(static_cast<double>(r.score));
    out.append(r.rect.x);
    out.append(r.rect.y);
    out.append(r.rect.width);
    out.append(r.rect.height);
    out.append(r.mask.empty() ? bp::object() : bp::object(ReleasedMat{std::move(r.mask)}));
    out.append(r.status);
    for (int32_t k = kRecordElements; k < written; ++k) out.append(bp::object());
  }
  return out;
}

}  // namespace halvern::detail
