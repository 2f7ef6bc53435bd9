#pragma once
// Small pieces over HDF5's C library for the map files: handles that close
// themselves, and reading and writing of the attributes and small datasets
// a NeXus file holds. Strings are always fixed-length (NULLPAD, as h5py
// writes a byte string), never variable-length.
#include <hdf5.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// Stops HDF5 from printing its error stack on standard error: every
// caller turns a failure into its own message.
void silenceHdf5Errors();

class H5Id {
 public:
  using Closer = herr_t (*)(hid_t);
  H5Id() = default;
  H5Id(hid_t id, Closer close) : id_(id), close_(close) {}
  ~H5Id() { reset(); }
  H5Id(H5Id&& other) noexcept : id_(other.id_), close_(other.close_) { other.id_ = H5I_INVALID_HID; }
  H5Id& operator=(H5Id&& other) noexcept;
  H5Id(const H5Id&) = delete;
  H5Id& operator=(const H5Id&) = delete;

  hid_t get() const { return id_; }
  bool valid() const { return id_ >= 0; }
  void reset();

 private:
  hid_t id_ = H5I_INVALID_HID;
  Closer close_ = nullptr;
};

// A group with its NX_class attribute.
H5Id makeNxGroup(hid_t parent, const char* name, const char* nxClass);
H5Id openGroup(hid_t parent, const char* name);
H5Id openDataset(hid_t parent, const char* name);

bool writeStringAttribute(hid_t object, const char* name, const std::string& value);
bool writeStringArrayAttribute(hid_t object, const char* name, const std::vector<std::string>& values);
bool writeIntAttribute(hid_t object, const char* name, int64_t value);

// Scalar and one-dimensional datasets; `units` becomes a fixed-length
// @units attribute when not empty.
bool writeStringDataset(hid_t parent, const char* name, const std::string& value);
bool writeStringsDataset(hid_t parent, const char* name, const std::vector<std::string>& values);
bool writeDoubleDataset(hid_t parent, const char* name, double value, const char* units = "");
bool writeDoublesDataset(hid_t parent, const char* name, const std::vector<double>& values, const char* units = "");
bool writeIntDataset(hid_t parent, const char* name, int64_t value);
bool writeIntsDataset(hid_t parent, const char* name, const std::vector<int32_t>& values);

std::optional<std::string> readStringAttribute(hid_t object, const char* name);
std::optional<std::string> readStringDataset(hid_t parent, const char* name);
std::optional<std::vector<std::string>> readStringsDataset(hid_t parent, const char* name);
std::optional<double> readDoubleDataset(hid_t parent, const char* name);
std::optional<std::vector<double>> readDoublesDataset(hid_t parent, const char* name);
std::optional<int64_t> readIntDataset(hid_t parent, const char* name);
std::optional<std::vector<int32_t>> readIntsDataset(hid_t parent, const char* name);

// The dimensions of a dataset; empty when it cannot be told.
std::vector<hsize_t> datasetShape(hid_t dataset);

}  // namespace tolvane
