#include "time_convert.h"

#include <datetime.h>

#include <ctime>
#include <limits>
#include <mutex>
#include <stdexcept>

namespace py = pybind11;

namespace lorengraph::py_values {

namespace {

constexpr std::int64_t kNanosPerSecond = 1000000000;
constexpr std::int64_t kNanosPerMicro = 1000;

// mktime and localtime read the process's time-zone state.
std::mutex& local_time_mutex() {
  static std::mutex mutex;
  return mutex;
}

void ensure_datetime_api() {
  if (!PyDateTimeAPI) {
    PyDateTime_IMPORT;
    if (!PyDateTimeAPI) throw py::error_already_set();
  }
}

std::time_t local_fields_to_time(std::tm fields) {
  fields.tm_isdst = -1;  // let the system decide daylight saving
  std::lock_guard<std::mutex> lock(local_time_mutex());
  return std::mktime(&fields);
}

time_point_t make_time_point(std::time_t seconds, int microseconds) {
  // Years far from 1970 do not fit in 64-bit nanoseconds; refuse them rather than wrap.
  constexpr std::int64_t kMaxSeconds = std::numeric_limits<std::int64_t>::max() / kNanosPerSecond - 1;
  if (seconds > kMaxSeconds || seconds < -kMaxSeconds) {
    throw std::overflow_error("datetime is outside the range of a 64-bit nanosecond time point");
  }
  const std::int64_t nanos = static_cast<std::int64_t>(seconds) * kNanosPerSecond +
                             static_cast<std::int64_t>(microseconds) * kNanosPerMicro;
  return time_point_t(std::chrono::nanoseconds(nanos));
}

struct CivilTime {
  int year, month, day, hour, minute, second;
};

// Days since 1970-01-01 to a proleptic Gregorian date.
void civil_from_days(std::int64_t days, CivilTime& t) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  t.year = static_cast<int>(yoe + era * 400 + (month <= 2));
  t.month = static_cast<int>(month);
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
}

// The system's local time of `seconds`. Asking the C library costs far more than the rest of
// a conversion, so the UTC offset is kept for the current quarter hour (zones change their
// offset only at whole quarter hours) and reused when the quarter hour starts and ends with
// the same offset.
bool local_time(std::int64_t seconds, CivilTime& out) {
  constexpr std::int64_t kBucket = 900;
  struct Cache {
    std::int64_t bucket = INT64_MIN;
    long offset = 0;
  };
  static Cache cache;
  const std::int64_t bucket = (seconds >= 0 ? seconds : seconds - (kBucket - 1)) / kBucket;
  long offset;
  {
    std::lock_guard<std::mutex> lock(local_time_mutex());
    if (cache.bucket != bucket) {
      const std::time_t first = static_cast<std::time_t>(bucket * kBucket);
      const std::time_t last = first + kBucket - 1;
      std::tm a{}, b{};
      if (localtime_r(&first, &a) == nullptr || localtime_r(&last, &b) == nullptr) return false;
      if (a.tm_gmtoff != b.tm_gmtoff) {  // the offset changes inside: ask for this second alone
        const std::time_t t = static_cast<std::time_t>(seconds);
        std::tm fields{};
        if (localtime_r(&t, &fields) == nullptr) return false;
        out = CivilTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                        fields.tm_hour, fields.tm_min, fields.tm_sec};
        return true;
      }
      cache.bucket = bucket;
      cache.offset = a.tm_gmtoff;
    }
    offset = cache.offset;
  }
  const std::int64_t local = seconds + offset;
  const std::int64_t days = (local >= 0 ? local : local - 86399) / 86400;
  const std::int64_t of_day = local - days * 86400;
  civil_from_days(days, out);
  out.hour = static_cast<int>(of_day / 3600);
  out.minute = static_cast<int>(of_day / 60 % 60);
  out.second = static_cast<int>(of_day % 60);
  return true;
}

}  // namespace

bool load_time_point(py::handle src, time_point_t& out) {
  ensure_datetime_api();
  PyObject* obj = src.ptr();
  std::tm fields{};
  int microseconds = 0;
  if (PyDateTime_Check(obj)) {
    fields.tm_year = PyDateTime_GET_YEAR(obj) - 1900;
    fields.tm_mon = PyDateTime_GET_MONTH(obj) - 1;
    fields.tm_mday = PyDateTime_GET_DAY(obj);
    fields.tm_hour = PyDateTime_DATE_GET_HOUR(obj);
    fields.tm_min = PyDateTime_DATE_GET_MINUTE(obj);
    fields.tm_sec = PyDateTime_DATE_GET_SECOND(obj);
    microseconds = PyDateTime_DATE_GET_MICROSECOND(obj);
  } else if (PyDate_Check(obj)) {
    fields.tm_year = PyDateTime_GET_YEAR(obj) - 1900;
    fields.tm_mon = PyDateTime_GET_MONTH(obj) - 1;
    fields.tm_mday = PyDateTime_GET_DAY(obj);
  } else if (PyTime_Check(obj)) {
    fields.tm_year = 70;
    fields.tm_mday = 1;
    fields.tm_hour = PyDateTime_TIME_GET_HOUR(obj);
    fields.tm_min = PyDateTime_TIME_GET_MINUTE(obj);
    fields.tm_sec = PyDateTime_TIME_GET_SECOND(obj);
    microseconds = PyDateTime_TIME_GET_MICROSECOND(obj);
  } else {
    return false;
  }
  out = make_time_point(local_fields_to_time(fields), microseconds);
  return true;
}

py::object time_point_to_python(time_point_t tp) {
  ensure_datetime_api();
  const std::int64_t nanos = tp.time_since_epoch().count();
  std::int64_t seconds = nanos / kNanosPerSecond;
  std::int64_t rest = nanos % kNanosPerSecond;
  if (rest < 0) {  // round down, also before 1970
    rest += kNanosPerSecond;
    seconds -= 1;
  }
  CivilTime local;
  if (!local_time(seconds, local)) throw py::cast_error("Unable to represent system_clock in local time");
  PyObject* result = PyDateTime_FromDateAndTime(local.year, local.month, local.day, local.hour, local.minute,
                                                local.second, static_cast<int>(rest / kNanosPerMicro));
  if (!result) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(result);
}

}  // namespace lorengraph::py_values
