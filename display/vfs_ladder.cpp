#include "display/vfs_ladder.h"

namespace tolvane {

namespace {
struct Step {
  int64_t fullScale;
  const char* label;
};
constexpr Step kLadder[kVfsSteps + 1] = {
    {50, "Log"},         {100, "100"},        {250, "250"},       {500, "500"},      {1000, "1K"},
    {2500, "2.5K"},      {5000, "5K"},        {10000, "10K"},     {25000, "25K"},    {50000, "50K"},
    {100000, "100K"},    {250000, "250K"},    {500000, "500K"},   {1000000, "1M"},   {2500000, "2,5M"},
    {5000000, "5M"},     {10000000, "10M"},   {25000000, "25M"},  {50000000, "50M"}, {100000000, "100M"},
    {250000000, "250M"}, {500000000, "500M"}, {1000000000, "1B"},
};
}  // namespace

int64_t vfsFullScale(int index) { return index >= 0 && index <= kVfsSteps ? kLadder[index].fullScale : 0; }
const char* vfsLabel(int index) { return index >= 0 && index <= kVfsSteps ? kLadder[index].label : ""; }

}  // namespace tolvane
