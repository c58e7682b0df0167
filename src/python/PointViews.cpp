#include "python/PointViews.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/LargeArrays.h"
#include "python/CheckedAppend.h"

namespace py = pybind11;

namespace tarvik::python {
namespace {

// Values converted by numpy per pass of the converting copy: the block stays in the
// processor's cache between numpy's cast and the judging copy that reads it again, and
// numpy is called once per half a megabyte.
constexpr std::size_t kCastBlock = std::size_t{1} << 16;

// numpy's view of `values`, whatever it is, as a one-dimensional array of real numbers;
// no copy when it is a numpy array already.
py::array realArray(const py::handle& values, const std::string& name) {
  if (values.is_none() || py::isinstance<py::str>(values) || py::isinstance<py::bytes>(values) ||
      py::isinstance<py::dict>(values)) {
    throw py::type_error(name + " must be an array-like of numbers, not " +
                         std::string(py::str(values.get_type().attr("__name__"))));
  }
  const py::module_ numpy = py::module_::import("numpy");
  py::array raw;
  try {
    raw = numpy.attr("asarray")(values);
  } catch (py::error_already_set& e) {
    if (e.matches(PyExc_ValueError)) {
      throw py::value_error(name + ": " + std::string(py::str(e.value())));
    }
    throw py::type_error(name +
                         " must be an array-like of numbers: " + std::string(py::str(e.value())));
  }
  const char kind = raw.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b') {
    throw py::type_error(name + " must hold real numbers, not " +
                         std::string(py::str(raw.dtype())));
  }
  if (raw.ndim() == 0) {
    throw py::type_error(name + " must be a sequence of numbers, not a single number");
  }
  if (raw.ndim() != 1) {
    throw py::value_error(name + " must be one-dimensional, not of shape " +
                          std::string(py::str(py::handle(raw.attr("shape")))));
  }
  return raw;
}

py::value_error notFinite(const std::string& name, std::size_t index) {
  return py::value_error(name + "[" + std::to_string(index) + "] is not a finite number");
}

// The converting copy: numpy casts a block into a buffer (as astype(float64) would cast
// it), and the block is judged and appended from there.
void appendConverted(const py::array& raw, const std::string& name, CheckedAppend& append) {
  const auto count = static_cast<std::size_t>(raw.size());
  py::array_t<double> buffer(static_cast<py::ssize_t>(std::min(count, kCastBlock)));
  const py::object copyTo = py::module_::import("numpy").attr("copyto");
  for (std::size_t begin = 0; begin < count; begin += kCastBlock) {
    const std::size_t n = std::min(kCastBlock, count - begin);
    const auto sliceOf = [](std::size_t from, std::size_t to) {
      return py::slice(static_cast<py::ssize_t>(from), static_cast<py::ssize_t>(to), 1);
    };
    copyTo(buffer[sliceOf(0, n)], raw[sliceOf(begin, begin + n)], py::arg("casting") = "unsafe");
    if (!append.append(buffer.data(), n)) {
      throw notFinite(name, begin + firstNotFinite(buffer.data(), n));
    }
  }
}

}  // namespace

py::array blockView(std::shared_ptr<const PointBlock> block) {
  const PointBlock& points = *block;
  auto owner = std::make_unique<std::shared_ptr<const PointBlock>>(std::move(block));
  py::capsule base(owner.get(), [](void* share) {
    delete static_cast<std::shared_ptr<const PointBlock>*>(share);
  });
  owner.release();  // the capsule holds the share now
  py::array view(py::dtype::of<double>(), {static_cast<py::ssize_t>(points.size())},
                 {static_cast<py::ssize_t>(sizeof(double))}, points.data(), base);
  view.attr("setflags")(py::arg("write") = false);
  return view;
}

// The copy of a C-ordered, aligned array of T in native byte order, converted on the way;
// false (nothing appended) when `raw` is no such array.
template <class T>
bool appendDirect(const py::array& raw, const std::string& name, CheckedAppend& append) {
  if (!py::isinstance<py::array_t<T, py::array::c_style>>(raw) ||
      (raw.flags() & py::detail::npy_api::NPY_ARRAY_ALIGNED_) == 0) {
    return false;
  }
  const auto* data = static_cast<const T*>(raw.data());
  const auto count = static_cast<std::size_t>(raw.size());
  if (!append.append(data, count)) {
    throw notFinite(name, firstNotFinite(data, count));
  }
  return true;
}

CheckedPoints finitePoints(const py::handle& values, const std::string& name, bool judgeOrder) {
  const py::array raw = realArray(values, name);
  CheckedPoints points;
  reserveLarge(points.values, static_cast<std::size_t>(raw.size()));
  CheckedAppend append(points.values, judgeOrder);
  // The common numbers convert exactly as numpy casts them (integers of 64 bits to the
  // nearest double); other arrays (float16, long double, booleans, another byte order,
  // strides, values not aligned in memory) go through numpy's cast.
  const bool direct = appendDirect<double>(raw, name, append) ||
                      appendDirect<float>(raw, name, append) ||
                      appendDirect<std::int64_t>(raw, name, append) ||
                      appendDirect<std::int32_t>(raw, name, append) ||
                      appendDirect<std::int16_t>(raw, name, append) ||
                      appendDirect<std::int8_t>(raw, name, append) ||
                      appendDirect<std::uint64_t>(raw, name, append) ||
                      appendDirect<std::uint32_t>(raw, name, append) ||
                      appendDirect<std::uint16_t>(raw, name, append) ||
                      appendDirect<std::uint8_t>(raw, name, append);
  if (!direct) {
    appendConverted(raw, name, append);
  }
  points.ascending = append.ascending();
  return points;
}

}  // namespace tarvik::python
