#pragma once
// Little-endian loads and stores on byte images, correct on any host.
#include <bit>
#include <cstdint>
#include <cstring>

namespace tolvane {

inline uint16_t loadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t loadI16(const uint8_t* p) { return static_cast<int16_t>(loadU16(p)); }
inline uint32_t loadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t loadI32(const uint8_t* p) { return static_cast<int32_t>(loadU32(p)); }
inline float loadF32(const uint8_t* p) { return std::bit_cast<float>(loadU32(p)); }

inline void storeU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeI16(uint8_t* p, int16_t v) { storeU16(p, static_cast<uint16_t>(v)); }
inline void storeU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void storeI32(uint8_t* p, int32_t v) { storeU32(p, static_cast<uint32_t>(v)); }
inline void storeF32(uint8_t* p, float v) { storeU32(p, std::bit_cast<uint32_t>(v)); }

}  // namespace tolvane
