#include "io/SessionHdf5.h"

#include <algorithm>
#include <utility>

namespace tarvik::hdf5 {

namespace {

// The most bytes of text one attribute may hold.
constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20;

// UTF-8 texts of `size` bytes each, padded with NUL bytes. Fixed-length strings live in
// the attribute itself, under the checksum of its object header; variable-length ones
// would live in the file's global heap, which has no checksum of its own.
Handle utf8StringType(std::size_t size) {
  Handle type(H5Tcopy(H5T_C_S1), H5Tclose, "string type");
  check(H5Tset_size(type.get(), std::max<std::size_t>(size, 1)), "string type");
  check(H5Tset_strpad(type.get(), H5T_STR_NULLPAD), "string type");
  check(H5Tset_cset(type.get(), H5T_CSET_UTF8), "string type");
  return type;
}

Handle simpleSpace(hsize_t count) {
  return Handle(H5Screate_simple(1, &count, nullptr), H5Sclose, "dataspace");
}

// Creates attribute `name` of file type `fileType` over `space` and writes `data` given
// in `memoryType`.
void writeAttribute(hid_t object, const char* name, hid_t fileType, hid_t memoryType, hid_t space,
                    const void* data) {
  Handle attribute(H5Acreate2(object, name, fileType, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose,
                   name);
  // An empty array has nothing to write, yet the library wants a buffer.
  static const std::uint64_t nothing = 0;
  check(H5Awrite(attribute.get(), memoryType, data != nullptr ? data : &nothing), name);
}

Handle openAttribute(hid_t object, const char* name) {
  return Handle(H5Aopen(object, name, H5P_DEFAULT), H5Aclose, name);
}

}  // namespace

void fault(const std::string& what) { throw Hdf5Fault(what); }

void refuse(const std::string& name, const std::string& reason) {
  throw LayoutFault(name + ": " + reason);
}

void requireHardLink(hid_t parent, const char* name) {
  if (H5Lexists(parent, name, H5P_DEFAULT) <= 0) {
    fault(name);
  }
  H5L_info_t link{};
  if (H5Lget_info(parent, name, &link, H5P_DEFAULT) < 0) {
    fault(name);
  }
  if (link.type == H5L_TYPE_EXTERNAL) {
    refuse(name, "ссылка на другой файл");
  }
  if (link.type != H5L_TYPE_HARD) {
    refuse(name, "символьная ссылка");
  }
}

void check(herr_t status, const std::string& what) {
  if (status < 0) {
    fault(what);
  }
}

hsize_t elementCount(hid_t space, const char* name) {
  const int rank = H5Sget_simple_extent_ndims(space);
  if (rank == 0) {
    return 1;
  }
  hsize_t count = 0;
  if (rank != 1 || H5Sget_simple_extent_dims(space, &count, nullptr) != 1) {
    fault(name);
  }
  return count;
}

namespace {

// Opens attribute `name`, checks its class and (where `expected` is not 0) its count,
// and returns the attribute with its element count.
std::pair<Handle, hsize_t> openChecked(hid_t object, const char* name, H5T_class_t typeClass,
                                       hsize_t expected) {
  Handle attribute = openAttribute(object, name);
  Handle type(H5Aget_type(attribute.get()), H5Tclose, name);
  Handle space(H5Aget_space(attribute.get()), H5Sclose, name);
  const hsize_t count = elementCount(space.get(), name);
  if (H5Tget_class(type.get()) != typeClass || (expected != 0 && count != expected)) {
    fault(name);
  }
  return {std::move(attribute), count};
}

template <class T>
std::vector<T> readNumbers(hid_t object, const char* name, H5T_class_t typeClass, hid_t memoryType,
                           std::size_t count) {
  auto [attribute, found] = openChecked(object, name, typeClass, count);
  std::vector<T> values(found);
  if (found > 0) {
    check(H5Aread(attribute.get(), memoryType, values.data()), name);
  }
  return values;
}

}  // namespace

std::unique_lock<std::mutex> libraryLock() {
  static std::mutex mutex;
  std::unique_lock<std::mutex> lock(mutex);
  static const bool silenced = H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr) >= 0;
  (void)silenced;
  return lock;
}

Handle::Handle(hid_t id, Closer closer, const std::string& what) : m_id(id), m_closer(closer) {
  if (id < 0) {
    fault(what);
  }
}

Handle::Handle(Handle&& other) noexcept
    : m_id(std::exchange(other.m_id, H5I_INVALID_HID)), m_closer(other.m_closer) {}

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    reset();
    m_id = std::exchange(other.m_id, H5I_INVALID_HID);
    m_closer = other.m_closer;
  }
  return *this;
}

bool Handle::reset() {
  if (m_id < 0) {
    return true;
  }
  const herr_t status = m_closer(std::exchange(m_id, H5I_INVALID_HID));
  return status >= 0;
}

void writeString(hid_t object, const char* name, const std::string& text) {
  Handle type = utf8StringType(text.size());
  Handle space(H5Screate(H5S_SCALAR), H5Sclose, name);
  std::string padded = text;
  padded.resize(std::max<std::size_t>(text.size(), 1), '\0');
  writeAttribute(object, name, type.get(), type.get(), space.get(), padded.data());
}

void writeStrings(hid_t object, const char* name, const std::vector<std::string>& texts) {
  std::size_t width = 1;
  for (const std::string& text : texts) {
    width = std::max(width, text.size());
  }
  Handle type = utf8StringType(width);
  Handle space = simpleSpace(texts.size());
  std::string packed(texts.size() * width, '\0');
  for (std::size_t i = 0; i < texts.size(); ++i) {
    packed.replace(i * width, texts[i].size(), texts[i]);
  }
  writeAttribute(object, name, type.get(), type.get(), space.get(), packed.data());
}

void writeInt(hid_t object, const char* name, int value) {
  Handle space(H5Screate(H5S_SCALAR), H5Sclose, name);
  writeAttribute(object, name, H5T_STD_I32LE, H5T_NATIVE_INT, space.get(), &value);
}

void writeInts(hid_t object, const char* name, std::span<const int> values) {
  Handle space = simpleSpace(values.size());
  writeAttribute(object, name, H5T_STD_I32LE, H5T_NATIVE_INT, space.get(), values.data());
}

void writeBytes(hid_t object, const char* name, std::span<const std::uint8_t> values) {
  Handle space = simpleSpace(values.size());
  writeAttribute(object, name, H5T_STD_U8LE, H5T_NATIVE_UINT8, space.get(), values.data());
}

void writeDoubles(hid_t object, const char* name, std::span<const double> values) {
  Handle space = simpleSpace(values.size());
  writeAttribute(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, space.get(), values.data());
}

bool hasAttribute(hid_t object, const char* name) { return H5Aexists(object, name) > 0; }

std::string readString(hid_t object, const char* name) {
  std::vector<std::string> texts = readStrings(object, name, 1);
  if (texts.size() != 1) {
    fault(name);
  }
  return std::move(texts.front());
}

std::vector<std::string> readStrings(hid_t object, const char* name, std::size_t maxCount) {
  auto [attribute, count] = openChecked(object, name, H5T_STRING, 0);
  Handle fileType(H5Aget_type(attribute.get()), H5Tclose, name);
  const std::size_t width = H5Tget_size(fileType.get());
  if (count > maxCount || H5Tis_variable_str(fileType.get()) != 0 || width == 0 ||
      width > kMaxTextBytes || count * width > kMaxTextBytes) {
    fault(name);
  }
  if (count == 0) {
    return {};
  }
  // Read as stored: the library converts no text between ASCII and UTF-8 (h5py writes
  // bytes as ASCII strings), and the bytes are what the program keeps either way.
  std::string packed(count * width, '\0');
  check(H5Aread(attribute.get(), fileType.get(), packed.data()), name);
  std::vector<std::string> texts;
  texts.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::string text = packed.substr(i * width, width);
    text.erase(text.find_last_not_of('\0') + 1);  // the padding; npos + 1 is 0
    texts.push_back(std::move(text));
  }
  return texts;
}

int readInt(hid_t object, const char* name) { return readInts(object, name, 1).front(); }

std::vector<int> readInts(hid_t object, const char* name, std::size_t count) {
  return readNumbers<int>(object, name, H5T_INTEGER, H5T_NATIVE_INT, count);
}

std::vector<std::uint8_t> readBytes(hid_t object, const char* name, std::size_t count) {
  return readNumbers<std::uint8_t>(object, name, H5T_INTEGER, H5T_NATIVE_UINT8, count);
}

std::vector<double> readDoubles(hid_t object, const char* name, std::size_t count) {
  return readNumbers<double>(object, name, H5T_FLOAT, H5T_NATIVE_DOUBLE, count);
}

}  // namespace tarvik::hdf5
