// The point arrays of a session: one-dimensional float64 datasets in chunks, each chunk
// followed by its Fletcher32 checksum.
//
// Stored as they are (the default), the chunks are written and read directly: the
// checksum is computed here, over the bytes in memory, and the library only places the
// chunk in the file. Its own filter path would copy each chunk twice and sum it a byte at a
// time, which limits a save to a fraction of what the page cache takes. The file is the
// same either way: any HDF5 reader verifies the checksums as usual. Compressed arrays, and
// arrays of files written elsewhere in another layout, go through the library's own path.
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "io/SessionHdf5.h"

namespace tarvik::hdf5 {

namespace {

// At most 2^20 doubles (8 MiB) to a chunk, the array cut into chunks of equal length, so
// the last one is not mostly padding: large enough that the per-chunk bookkeeping costs
// nothing, small enough that a reader of part of an array (h5py slicing) reads little more
// than it asked for.
constexpr hsize_t kMaxChunkPoints = hsize_t{1} << 20;
constexpr std::size_t kChecksumBytes = 4;
constexpr std::uintptr_t kPageBytes = 4096;
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// The direct path lays doubles out as they are in memory, which must be the file's
// little-endian order.
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

hsize_t chunkLength(hsize_t count) {
  if (count == 0) {
    return 1;
  }
  const hsize_t chunks = (count + kMaxChunkPoints - 1) / kMaxChunkPoints;
  return (count + chunks - 1) / chunks;
}

Handle createPlist(hsize_t chunk, const PointDatasetOptions& options, const char* name) {
  Handle create(H5Pcreate(H5P_DATASET_CREATE), H5Pclose, name);
  check(H5Pset_chunk(create.get(), 1, &chunk), name);
  check(H5Pset_fill_time(create.get(), H5D_FILL_TIME_NEVER), name);
  if (options.deflateLevel > 0) {
    check(H5Pset_shuffle(create.get()), name);
    check(H5Pset_deflate(create.get(), static_cast<unsigned>(options.deflateLevel)), name);
  }
  // Last in the pipeline, so the checksum covers the bytes as stored.
  check(H5Pset_fletcher32(create.get()), name);
  return create;
}

void appendChecksum(std::vector<unsigned char>& buffer, std::size_t dataBytes) {
  const std::uint32_t sum = fletcher32(std::span(buffer.data(), dataBytes));
  for (std::size_t i = 0; i < kChecksumBytes; ++i) {
    buffer[dataBytes + i] = static_cast<unsigned char>(sum >> (8 * i));  // little-endian
  }
}

// Copies the chunk at `offset` into `buffer` and appends its checksum.
void prepareChunk(std::vector<unsigned char>& buffer, std::span<const double> values,
                  hsize_t offset, hsize_t chunk) {
  const std::size_t dataBytes = static_cast<std::size_t>(chunk) * sizeof(double);
  const std::size_t length = std::min<std::size_t>(chunk, values.size() - offset);
  std::memcpy(buffer.data(), values.data() + offset, length * sizeof(double));
  // A short last chunk is stored whole; the library pads it the same way.
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(length * sizeof(double)),
            buffer.begin() + static_cast<std::ptrdiff_t>(dataBytes), 0);
  appendChecksum(buffer, dataBytes);
}

// Of several chunks, the next one is copied and summed on a second thread while the
// library writes the one before (the library itself stays on this thread).
void writeChunks(hid_t dataset, std::span<const double> values, hsize_t chunk, const char* name) {
  const std::size_t chunkBytes = static_cast<std::size_t>(chunk) * sizeof(double) + kChecksumBytes;
  std::array<std::vector<unsigned char>, 2> buffers;
  buffers[0].resize(chunkBytes);
  if (chunk < values.size()) {
    buffers[1].resize(chunkBytes);
  }
  prepareChunk(buffers[0], values, 0, chunk);
  std::future<void> next;
  std::size_t current = 0;
  for (hsize_t offset = 0; offset < values.size(); offset += chunk, current ^= 1) {
    if (next.valid()) {
      next.get();
    }
    if (offset + chunk < values.size()) {
      next = std::async(std::launch::async, [&buffers, values, offset, chunk, current] {
        prepareChunk(buffers[current ^ 1], values, offset + chunk, chunk);
      });
    }
    // A failure throws here; `next` finishes its copy before the buffers go.
    check(H5Dwrite_chunk(dataset, H5P_DEFAULT, 0, &offset, chunkBytes, buffers[current].data()),
          name);
  }
}

struct Layout {
  bool compressed = false;
  bool checksumOnly = false;  // the pipeline is the checksum alone: the direct path applies
  hsize_t chunk = 0;
};

// The storage of a dataset, checked before any of its values is read: the raw data must
// lie inside this file, where the library reads only what the file's own offsets name. Raw
// data kept in other files would let a session read any file of the user (or hang on a
// pipe); a virtual dataset reads other datasets, possibly of other files.
Layout layoutOf(hid_t dataset, const char* name) {
  Handle create(H5Dget_create_plist(dataset), H5Pclose, name);
  const H5D_layout_t storage = H5Pget_layout(create.get());
  if (storage == H5D_VIRTUAL) {
    refuse(name, "виртуальный набор данных");
  }
  if (storage != H5D_CHUNKED && storage != H5D_CONTIGUOUS) {
    refuse(name, "данные хранятся не так, как их пишет программа");
  }
  const int external = H5Pget_external_count(create.get());
  if (external != 0) {
    refuse(name, "данные во внешнем файле");
  }
  Layout layout;
  const int filters = H5Pget_nfilters(create.get());
  for (int i = 0; i < filters; ++i) {
    unsigned flags = 0;
    std::size_t values = 0;
    unsigned filterConfig = 0;
    const H5Z_filter_t filter = H5Pget_filter2(create.get(), static_cast<unsigned>(i), &flags,
                                               &values, nullptr, 0, nullptr, &filterConfig);
    if (filter < 0) {
      fault(name);
    }
    if (filter != H5Z_FILTER_FLETCHER32 && filter != H5Z_FILTER_SHUFFLE &&
        filter != H5Z_FILTER_DEFLATE) {
      refuse(name, "фильтр " + std::to_string(filter) + " не поддерживается");
    }
    layout.compressed = layout.compressed || filter == H5Z_FILTER_DEFLATE;
    layout.checksumOnly = filters == 1 && filter == H5Z_FILTER_FLETCHER32;
  }
  if (storage != H5D_CHUNKED || H5Pget_chunk(create.get(), 1, &layout.chunk) != 1 ||
      layout.chunk == 0) {
    layout.checksumOnly = false;
  }
  return layout;
}

std::uint32_t storedChecksum(const unsigned char* bytes, std::size_t dataBytes) {
  std::uint32_t stored = 0;
  for (std::size_t i = 0; i < kChecksumBytes; ++i) {
    stored |= static_cast<std::uint32_t>(bytes[dataBytes + i]) << (8 * i);
  }
  return stored;
}

bool checksumMatches(const unsigned char* bytes, std::size_t dataBytes, std::uint32_t stored) {
  const std::uint32_t sum = fletcher32(std::span(bytes, dataBytes));
  // The library also accepts the byte order within each half that its versions before
  // 1.6.3 wrote on little-endian machines.
  const std::uint32_t older = ((sum & 0x00FF00FFu) << 8) | ((sum >> 8) & 0x00FF00FFu);
  return stored == sum || stored == older;
}

}  // namespace

std::vector<double> zeroedArray(std::size_t count) {
  std::vector<double> values;
  values.reserve(count);
  const auto begin = reinterpret_cast<std::uintptr_t>(values.data());
  const std::uintptr_t pageBegin = (begin + kPageBytes - 1) / kPageBytes * kPageBytes;
  const std::uintptr_t end = begin + count * sizeof(double);
  if (count * sizeof(double) >= kHugePageBytes && end > pageBegin) {
    ::madvise(reinterpret_cast<void*>(pageBegin), (end - pageBegin) / kPageBytes * kPageBytes,
              MADV_HUGEPAGE);  // a refusal only costs speed
  }
  values.resize(count);
  return values;
}

namespace {

// Reads the chunks straight into the array, each followed in memory by its checksum, which
// is taken out before the next chunk overwrites it; the array is one double longer than
// the chunks until the end, to hold the last checksum. Of several chunks, each one's sum
// is checked on a second thread while the library reads the next.
std::vector<double> readChunks(hid_t dataset, hsize_t count, hsize_t chunk, const char* name,
                               bool parallelChecks) {
  const hsize_t chunks = (count + chunk - 1) / chunk;
  std::vector<double> values = zeroedArray(static_cast<std::size_t>(chunks * chunk + 1));
  const std::size_t dataBytes = static_cast<std::size_t>(chunk) * sizeof(double);
  std::vector<std::future<bool>> checks;
  bool intact = true;
  for (hsize_t offset = 0; offset < count; offset += chunk) {
    auto* bytes = reinterpret_cast<unsigned char*>(values.data() + offset);
    hsize_t stored = 0;
    std::uint32_t filterMask = 0;
    if (H5Dget_chunk_storage_size(dataset, &offset, &stored) < 0 ||
        stored != dataBytes + kChecksumBytes ||
        H5Dread_chunk(dataset, H5P_DEFAULT, &offset, &filterMask, bytes) < 0 || filterMask != 0) {
      intact = false;
      break;
    }
    const std::uint32_t sum = storedChecksum(bytes, dataBytes);
    if (chunks == 1 || !parallelChecks) {
      intact = checksumMatches(bytes, dataBytes, sum) && intact;
    } else {
      checks.push_back(std::async(std::launch::async, checksumMatches, bytes, dataBytes, sum));
    }
  }
  for (std::future<bool>& check : checks) {
    intact = check.get() && intact;
  }
  if (!intact) {
    fault(name);
  }
  values.resize(static_cast<std::size_t>(count));
  return values;
}

}  // namespace

std::uint32_t fletcher32(std::span<const unsigned char> bytes) {
  // Within a block of at most 360 words the sums cannot wrap, so the block's share is
  // summed in any order: sum1 grows by Σw, sum2 by tlen·sum1 + Σ(tlen − k)·w_k. The folds
  // between blocks are the library's, so the result is its to the bit.
  constexpr std::size_t kBlockWords = 360;
  std::uint32_t sum1 = 0;
  std::uint32_t sum2 = 0;
  std::size_t words = bytes.size() / 2;
  const unsigned char* data = bytes.data();
  while (words > 0) {
    const std::size_t block = std::min(words, kBlockWords);
    std::uint32_t plain = 0;
    std::uint32_t weighted = 0;
    // 16-bit words and weights multiplied into 32 bits: a form the compiler vectorises
    // with the baseline instruction set.
    for (std::size_t k = 0; k < block; ++k) {
      const auto w = static_cast<std::uint16_t>((data[2 * k] << 8) | data[2 * k + 1]);
      const auto weight = static_cast<std::uint16_t>(block - k);
      plain += w;
      weighted += static_cast<std::uint32_t>(w) * weight;
    }
    sum2 += static_cast<std::uint32_t>(block) * sum1 + weighted;
    sum1 += plain;
    sum1 = (sum1 & 0xFFFFu) + (sum1 >> 16);
    sum2 = (sum2 & 0xFFFFu) + (sum2 >> 16);
    data += 2 * block;
    words -= block;
  }
  if (bytes.size() % 2 != 0) {
    sum1 += std::uint32_t{*data} << 8;
    sum2 += sum1;
    sum1 = (sum1 & 0xFFFFu) + (sum1 >> 16);
    sum2 = (sum2 & 0xFFFFu) + (sum2 >> 16);
  }
  sum1 = (sum1 & 0xFFFFu) + (sum1 >> 16);
  sum2 = (sum2 & 0xFFFFu) + (sum2 >> 16);
  return (sum2 << 16) | sum1;
}

void writePoints(hid_t group, const char* name, std::span<const double> values,
                 const PointDatasetOptions& options) {
  const hsize_t count = values.size();
  // An empty array cannot hold a chunk of a fixed size, so it is declared extensible.
  const hsize_t maxCount = count > 0 ? count : H5S_UNLIMITED;
  Handle space(H5Screate_simple(1, &count, &maxCount), H5Sclose, name);
  const hsize_t chunk = chunkLength(count);
  Handle create = createPlist(chunk, options, name);
  Handle dataset(
      H5Dcreate2(group, name, H5T_IEEE_F64LE, space.get(), H5P_DEFAULT, create.get(), H5P_DEFAULT),
      H5Dclose, name);
  if (count == 0) {
    return;
  }
  if (options.deflateLevel == 0 && kLittleEndian) {
    writeChunks(dataset.get(), values, chunk, name);
    return;
  }
  check(H5Dwrite(dataset.get(), H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()),
        name);
}

namespace {

struct OpenedPoints {
  Handle dataset;
  Handle type;
  PointsInfo info;
  Layout layout;
};

OpenedPoints openPoints(hid_t group, const char* name) {
  requireHardLink(group, name);
  OpenedPoints points;
  points.dataset = Handle(H5Dopen2(group, name, H5P_DEFAULT), H5Dclose, name);
  // The storage first: the extent of a virtual dataset may already reach into other files.
  points.layout = layoutOf(points.dataset.get(), name);
  points.type = Handle(H5Dget_type(points.dataset.get()), H5Tclose, name);
  Handle space(H5Dget_space(points.dataset.get()), H5Sclose, name);
  if (H5Tget_class(points.type.get()) != H5T_FLOAT ||
      H5Tget_size(points.type.get()) != sizeof(double) ||
      H5Sget_simple_extent_ndims(space.get()) != 1) {
    fault(name);
  }
  points.info.count = elementCount(space.get(), name);
  points.info.compressed = points.layout.compressed;
  return points;
}

}  // namespace

PointsInfo inspectPoints(hid_t group, const char* name) { return openPoints(group, name).info; }

std::vector<double> readPoints(hid_t group, const char* name, std::uintmax_t fileBytes,
                               bool parallelChecks) {
  const OpenedPoints points = openPoints(group, name);
  const hsize_t count = points.info.count;
  const Layout& layout = points.layout;
  if (count > fileBytes / sizeof(double) * (layout.compressed ? kDeflateGainBound : 1)) {
    fault(name);
  }
  if (count == 0) {
    return {};
  }
  if (layout.checksumOnly && kLittleEndian && H5Tequal(points.type.get(), H5T_IEEE_F64LE) > 0 &&
      layout.chunk <= count) {
    return readChunks(points.dataset.get(), count, layout.chunk, name, parallelChecks);
  }
  std::vector<double> values = zeroedArray(static_cast<std::size_t>(count));
  // The transfer verifies the Fletcher32 checksum of every chunk that has one.
  check(H5Dread(points.dataset.get(), H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT,
                values.data()),
        name);
  return values;
}

}  // namespace tarvik::hdf5
