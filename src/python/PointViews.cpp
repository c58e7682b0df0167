#include "python/PointViews.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/LargeArrays.h"

namespace py = pybind11;

namespace tarvik::python {
namespace {

std::size_t firstNotFinite(const double* values, std::size_t count) {
  std::size_t i = 0;
  while (i < count && std::isfinite(values[i])) {
    ++i;
  }
  return i;
}

// numpy's view of `values`, whatever it is, as a one-dimensional C-ordered float64 array;
// no copy when it is one already.
py::array_t<double> asFloatArray(const py::handle& values, const std::string& name) {
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
  return numpy.attr("ascontiguousarray")(raw, py::arg("dtype") = "float64")
      .cast<py::array_t<double>>();
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

std::vector<double> finitePoints(const py::handle& values, const std::string& name) {
  const py::array_t<double> array = asFloatArray(values, name);
  const double* data = array.data();
  const auto count = static_cast<std::size_t>(array.size());
  // numpy's isfinite runs in SIMD; a plain loop here would take longer than the copy.
  const py::module_ numpy = py::module_::import("numpy");
  if (!numpy.attr("isfinite")(array).attr("all")().cast<bool>()) {
    throw py::value_error(name + "[" + std::to_string(firstNotFinite(data, count)) +
                          "] is not a finite number");
  }
  std::vector<double> points;
  reserveLarge(points, count);
  points.insert(points.end(), data, data + count);
  return points;
}

}  // namespace tarvik::python
