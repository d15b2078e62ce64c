// Reading the points and measured values of every card of one channel type.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "calibration_file.h"
#include "operations.h"
#include "recovery.h"

namespace calstore {
namespace {

// A segment with its ends already rounded to one decimal.
struct RoundedSegment {
  float x0, x1, k, b;
};

// Arrays handed to the caller, allocated with malloc (never of size 0, so an empty array is still
// a pointer to give back) and freed with free by JZFreeArray. Until released, they are freed here.
class HandedOut {
 public:
  ~HandedOut() {
    for (void* p : arrays_) std::free(p);
  }
  template <typename T>
  T* Allocate(size_t count) {
    void* p = std::malloc(std::max<size_t>(1, count * sizeof(T)));
    if (!p) throw std::bad_alloc();
    arrays_.push_back(p);
    return static_cast<T*>(p);
  }
  void Release() { arrays_.clear(); }

 private:
  std::vector<void*> arrays_;
};

constexpr size_t kMaxPoints = 255;

}  // namespace

int32_t ReadCalibrationFile(const std::string& path, uint8_t type, float** points,
                            uint8_t* pointCount, int32_t** cards, uint32_t* cardCount,
                            float*** values, uint8_t* kind) {
  if (!Exists(path)) return kFileMissing;
  if (!points || !pointCount || !cards || !cardCount || !values) return kBadArguments;
  RecoverLeftovers(path);
  InputFile in;
  if (!in.Open(path)) return kFileMissing;

  std::set<float, FloatLess> references;
  std::map<int32_t, std::vector<RoundedSegment>> curves;  // card -> segments in file order
  std::optional<uint8_t> firstKind;
  RecordReader reader(in);
  CardRecord record;
  while (reader.Next(record)) {
    if (record.header.type() != type) continue;
    if (!firstKind) firstKind = record.header.kind();
    auto& curve = curves[record.header.card()];
    for (const CurveSegment& s : record.segments) {
      const RoundedSegment r{Round1(s.x0), Round1(s.x1), s.k, s.b};
      curve.push_back(r);
      references.insert(r.x0);
      references.insert(r.x1);
    }
  }
  if (reader.Failed()) return kFailure;

  // The point count is one byte: more points cannot be handed out whole, and a cut set of points
  // would pair values with the wrong references.
  if (references.size() > kMaxPoints) return kFailure;
  const uint8_t count = static_cast<uint8_t>(references.size());
  HandedOut arrays;
  float* pointArray = arrays.Allocate<float>(count);
  std::copy_n(references.begin(), count, pointArray);
  const auto pointEnd = pointArray + count;
  int32_t* cardArray = arrays.Allocate<int32_t>(curves.size());
  float** valueArrays = arrays.Allocate<float*>(curves.size());
  size_t c = 0;
  for (const auto& [card, curve] : curves) {
    cardArray[c] = card;
    float* row = valueArrays[c] = arrays.Allocate<float>(count);
    std::fill_n(row, count, kNoValue);
    // The first segment (in file order) that touches a point gives its value: a point shared by
    // two neighbouring segments takes it from the lower one. A slope of 0 gives none.
    for (const RoundedSegment& s : curve) {
      if (s.k == 0) continue;
      for (const float end : {s.x0, s.x1}) {
        const auto at = std::lower_bound(pointArray, pointEnd, end, FloatLess());
        if (at == pointEnd || !(*at == end)) continue;
        float& value = row[at - pointArray];
        if (value == kNoValue) value = (*at - s.b) / s.k;
      }
    }
    ++c;
  }
  arrays.Release();
  *points = pointArray;
  *pointCount = count;
  *cards = cardArray;
  *cardCount = static_cast<uint32_t>(curves.size());
  *values = valueArrays;
  if (kind && firstKind) *kind = *firstKind;
  return kSuccess;
}

}  // namespace calstore
