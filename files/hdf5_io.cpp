#include "files/hdf5_io.h"

#include <algorithm>
#include <cstring>

namespace tolvane {

void silenceHdf5Errors() { H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); }

H5Id& H5Id::operator=(H5Id&& other) noexcept {
  if (this != &other) {
    reset();
    id_ = other.id_;
    close_ = other.close_;
    other.id_ = H5I_INVALID_HID;
  }
  return *this;
}

void H5Id::reset() {
  if (id_ >= 0 && close_) close_(id_);
  id_ = H5I_INVALID_HID;
}

namespace {

// A fixed-length string type holding `length` bytes (at least one: HDF5
// has no empty fixed-length type).
H5Id fixedStringType(size_t length) {
  H5Id type(H5Tcopy(H5T_C_S1), H5Tclose);
  if (!type.valid()) return type;
  if (H5Tset_size(type.get(), std::max<size_t>(length, 1)) < 0 || H5Tset_strpad(type.get(), H5T_STR_NULLPAD) < 0)
    type.reset();
  return type;
}

// The strings packed into one buffer of `width` bytes each.
std::vector<char> packed(const std::vector<std::string>& values, size_t width) {
  std::vector<char> bytes(values.size() * width, '\0');
  for (size_t i = 0; i < values.size(); ++i) std::memcpy(&bytes[i * width], values[i].data(), values[i].size());
  return bytes;
}

size_t longest(const std::vector<std::string>& values) {
  size_t n = 1;
  for (const std::string& v : values) n = std::max(n, v.size());
  return n;
}

H5Id simpleSpace(std::initializer_list<hsize_t> dims) {
  const std::vector<hsize_t> d(dims);
  return H5Id(H5Screate_simple(static_cast<int>(d.size()), d.data(), nullptr), H5Sclose);
}

bool writeDataset(hid_t parent, const char* name, hid_t fileType, hid_t memType, const H5Id& space, const void* data,
                  const char* units) {
  if (!space.valid()) return false;
  H5Id set(H5Dcreate2(parent, name, fileType, space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
  if (!set.valid() || H5Dwrite(set.get(), memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0) return false;
  return units[0] == '\0' || writeStringAttribute(set.get(), "units", units);
}

// The strings of an attribute or dataset of string type, fixed or
// variable length; `read` reads into a buffer of the given memory type.
template <typename Read>
std::optional<std::vector<std::string>> readStrings(hid_t fileType, size_t count, Read read) {
  if (H5Tget_class(fileType) != H5T_STRING) return std::nullopt;
  std::vector<std::string> out;
  if (H5Tis_variable_str(fileType) > 0) {
    H5Id memType(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(memType.get(), H5T_VARIABLE);
    std::vector<char*> pointers(count, nullptr);
    if (read(memType.get(), pointers.data()) < 0) return std::nullopt;
    for (char* p : pointers) {
      out.emplace_back(p ? p : "");
      H5free_memory(p);
    }
    return out;
  }
  const size_t width = H5Tget_size(fileType);
  if (width == 0) return std::nullopt;
  H5Id memType = fixedStringType(width);
  std::vector<char> bytes(width * count, '\0');
  if (read(memType.get(), bytes.data()) < 0) return std::nullopt;
  for (size_t i = 0; i < count; ++i) out.emplace_back(&bytes[i * width], strnlen(&bytes[i * width], width));
  return out;
}

hssize_t elementCount(hid_t space) { return space >= 0 ? H5Sget_simple_extent_npoints(space) : -1; }

}  // namespace

H5Id makeNxGroup(hid_t parent, const char* name, const char* nxClass) {
  H5Id group(H5Gcreate2(parent, name, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
  if (group.valid() && !writeStringAttribute(group.get(), "NX_class", nxClass)) group.reset();
  return group;
}

H5Id openGroup(hid_t parent, const char* name) {
  if (H5Lexists(parent, name, H5P_DEFAULT) <= 0) return {};
  return H5Id(H5Gopen2(parent, name, H5P_DEFAULT), H5Gclose);
}

H5Id openDataset(hid_t parent, const char* name) {
  if (H5Lexists(parent, name, H5P_DEFAULT) <= 0) return {};
  return H5Id(H5Dopen2(parent, name, H5P_DEFAULT), H5Dclose);
}

bool writeStringAttribute(hid_t object, const char* name, const std::string& value) {
  H5Id type = fixedStringType(value.size());
  H5Id space(H5Screate(H5S_SCALAR), H5Sclose);
  if (!type.valid() || !space.valid()) return false;
  H5Id attribute(H5Acreate2(object, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
  const std::vector<char> bytes = packed({value}, std::max<size_t>(value.size(), 1));
  return attribute.valid() && H5Awrite(attribute.get(), type.get(), bytes.data()) >= 0;
}

bool writeStringArrayAttribute(hid_t object, const char* name, const std::vector<std::string>& values) {
  const size_t width = longest(values);
  H5Id type = fixedStringType(width);
  H5Id space = simpleSpace({values.size()});
  if (!type.valid() || !space.valid()) return false;
  H5Id attribute(H5Acreate2(object, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
  const std::vector<char> bytes = packed(values, width);
  return attribute.valid() && H5Awrite(attribute.get(), type.get(), bytes.data()) >= 0;
}

bool writeIntAttribute(hid_t object, const char* name, int64_t value) {
  H5Id space(H5Screate(H5S_SCALAR), H5Sclose);
  H5Id attribute(H5Acreate2(object, name, H5T_STD_I64LE, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
  return attribute.valid() && H5Awrite(attribute.get(), H5T_NATIVE_INT64, &value) >= 0;
}

bool writeStringDataset(hid_t parent, const char* name, const std::string& value) {
  H5Id type = fixedStringType(value.size());
  const std::vector<char> bytes = packed({value}, std::max<size_t>(value.size(), 1));
  return type.valid() &&
         writeDataset(parent, name, type.get(), type.get(), H5Id(H5Screate(H5S_SCALAR), H5Sclose), bytes.data(), "");
}

bool writeStringsDataset(hid_t parent, const char* name, const std::vector<std::string>& values) {
  const size_t width = longest(values);
  H5Id type = fixedStringType(width);
  const std::vector<char> bytes = packed(values, width);
  return type.valid() && writeDataset(parent, name, type.get(), type.get(), simpleSpace({values.size()}),
                                      bytes.data(), "");
}

bool writeDoubleDataset(hid_t parent, const char* name, double value, const char* units) {
  return writeDataset(parent, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, H5Id(H5Screate(H5S_SCALAR), H5Sclose), &value,
                      units);
}

bool writeDoublesDataset(hid_t parent, const char* name, const std::vector<double>& values, const char* units) {
  return writeDataset(parent, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, simpleSpace({values.size()}), values.data(),
                      units);
}

bool writeIntDataset(hid_t parent, const char* name, int64_t value) {
  return writeDataset(parent, name, H5T_STD_I64LE, H5T_NATIVE_INT64, H5Id(H5Screate(H5S_SCALAR), H5Sclose), &value,
                      "");
}

bool writeIntsDataset(hid_t parent, const char* name, const std::vector<int32_t>& values) {
  return writeDataset(parent, name, H5T_STD_I32LE, H5T_NATIVE_INT32, simpleSpace({values.size()}), values.data(),
                      "");
}

std::optional<std::string> readStringAttribute(hid_t object, const char* name) {
  if (H5Aexists(object, name) <= 0) return std::nullopt;
  H5Id attribute(H5Aopen(object, name, H5P_DEFAULT), H5Aclose);
  H5Id type(H5Aget_type(attribute.get()), H5Tclose);
  H5Id space(H5Aget_space(attribute.get()), H5Sclose);
  if (!attribute.valid() || elementCount(space.get()) != 1) return std::nullopt;
  auto strings = readStrings(type.get(), 1, [&](hid_t mem, void* buf) { return H5Aread(attribute.get(), mem, buf); });
  if (!strings) return std::nullopt;
  return strings->front();
}

std::optional<std::vector<std::string>> readStringsDataset(hid_t parent, const char* name) {
  H5Id set = openDataset(parent, name);
  if (!set.valid()) return std::nullopt;
  H5Id type(H5Dget_type(set.get()), H5Tclose);
  H5Id space(H5Dget_space(set.get()), H5Sclose);
  const hssize_t n = elementCount(space.get());
  if (n < 0) return std::nullopt;
  return readStrings(type.get(), static_cast<size_t>(n), [&](hid_t mem, void* buf) {
    return H5Dread(set.get(), mem, H5S_ALL, H5S_ALL, H5P_DEFAULT, buf);
  });
}

std::optional<std::string> readStringDataset(hid_t parent, const char* name) {
  auto strings = readStringsDataset(parent, name);
  if (!strings || strings->size() != 1) return std::nullopt;
  return strings->front();
}

namespace {

template <typename T>
std::optional<std::vector<T>> readNumbers(hid_t parent, const char* name, hid_t memType) {
  H5Id set = openDataset(parent, name);
  if (!set.valid()) return std::nullopt;
  H5Id type(H5Dget_type(set.get()), H5Tclose);
  const H5T_class_t kind = H5Tget_class(type.get());
  if (kind != H5T_INTEGER && kind != H5T_FLOAT) return std::nullopt;
  H5Id space(H5Dget_space(set.get()), H5Sclose);
  const hssize_t n = elementCount(space.get());
  if (n < 0) return std::nullopt;
  std::vector<T> values(static_cast<size_t>(n));
  if (n > 0 && H5Dread(set.get(), memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0) return std::nullopt;
  return values;
}

}  // namespace

std::optional<std::vector<double>> readDoublesDataset(hid_t parent, const char* name) {
  return readNumbers<double>(parent, name, H5T_NATIVE_DOUBLE);
}

std::optional<double> readDoubleDataset(hid_t parent, const char* name) {
  auto values = readDoublesDataset(parent, name);
  if (!values || values->size() != 1) return std::nullopt;
  return values->front();
}

std::optional<std::vector<int32_t>> readIntsDataset(hid_t parent, const char* name) {
  return readNumbers<int32_t>(parent, name, H5T_NATIVE_INT32);
}

std::optional<int64_t> readIntDataset(hid_t parent, const char* name) {
  auto values = readNumbers<int64_t>(parent, name, H5T_NATIVE_INT64);
  if (!values || values->size() != 1) return std::nullopt;
  return values->front();
}

std::vector<hsize_t> datasetShape(hid_t dataset) {
  H5Id space(H5Dget_space(dataset), H5Sclose);
  if (!space.valid()) return {};
  const int rank = H5Sget_simple_extent_ndims(space.get());
  if (rank < 0) return {};
  std::vector<hsize_t> dims(static_cast<size_t>(rank));
  if (rank > 0 && H5Sget_simple_extent_dims(space.get(), dims.data(), nullptr) < 0) return {};
  return dims;
}

}  // namespace tolvane
