// The C interface: argument conversion and the boundary where every exception ends.
#include <cstdlib>
#include <new>

#include "calstore.h"
#include "operations.h"
#include "platform.h"
#include "utf.h"

using namespace calstore;

extern "C" {

CALSTORE_API int32_t CALSTORE_CALL JZCreateFile(const char16_t* path, uint8_t type,
                                                const float* references, uint8_t pointCount,
                                                const int32_t* cards, int32_t cardCount,
                                                const float* measured, uint8_t kind) {
  try {
    return CreateCalibrationFile(NativePath(WideArg(path)), type, references, pointCount, cards,
                                 cardCount, measured, kind);
  } catch (...) {
    return JZ_FAILURE;
  }
}

CALSTORE_API int32_t CALSTORE_CALL JZAnalyFile(const char16_t* path) {
  try {
    return AnalyzeFile(NativePath(WideArg(path)));
  } catch (...) {
    return JZ_FAILURE;
  }
}

CALSTORE_API int32_t CALSTORE_CALL JZCombineFiles(const char16_t* destination,
                                                  const char16_t* source1,
                                                  const char16_t* source2) {
  try {
    return CombineFiles(NativePath(WideArg(destination)), NativePath(WideArg(source1)),
                        NativePath(WideArg(source2)));
  } catch (...) {
    return JZ_FAILURE;
  }
}

CALSTORE_API int32_t CALSTORE_CALL JZFileContain(const char16_t* path, int32_t card, uint8_t type,
                                                 int32_t* offset) {
  try {
    int32_t found = 0;
    if (!FindRecord(NativePath(WideArg(path)), card, type, found)) return 0;
    if (offset) *offset = found;
    return 1;
  } catch (...) {
    return 0;
  }
}

CALSTORE_API float CALSTORE_CALL JZAjustData(const char16_t* path, int32_t card, uint8_t type,
                                             float x, uint8_t noDefaultOffset, const float* slope,
                                             const float* intercept) {
  try {
    return AdjustValue(NativePath(WideArg(path)), card, type, x, noDefaultOffset, slope,
                       intercept);
  } catch (...) {
    // Out of memory before the file was read: the defaults.
    return AdjustValue(std::string(), card, type, x, noDefaultOffset, slope, intercept);
  }
}

CALSTORE_API int32_t CALSTORE_CALL JZImportInfo(const char16_t* target,
                                                const char16_t* sourceDirectory,
                                                const int32_t* cards, int32_t cardCount,
                                                int32_t listMissing) {
  try {
    return ImportCards(NativePath(WideArg(target)), NativePath(WideArg(sourceDirectory)), cards,
                       cardCount, listMissing != 0);
  } catch (...) {
    return JZ_FAILURE;
  }
}

CALSTORE_API int32_t CALSTORE_CALL JZImportInfoStr(const char16_t* target,
                                                   const char16_t* sourceDirectory,
                                                   const char16_t* cardList) {
  try {
    const std::vector<int32_t> cards = ParseCardList(WideArg(cardList));
    if (cards.empty()) return JZ_BAD_ARGUMENTS;
    return ImportCards(NativePath(WideArg(target)), NativePath(WideArg(sourceDirectory)),
                       cards.data(), static_cast<int32_t>(cards.size()), true);
  } catch (...) {
    return JZ_FAILURE;
  }
}

CALSTORE_API int32_t CALSTORE_CALL JZReadFile(const char16_t* path, uint8_t type, float** points,
                                              uint8_t* pointCount, int32_t** cards,
                                              uint32_t* cardCount, float*** values,
                                              uint8_t* kind) {
  try {
    return ReadCalibrationFile(NativePath(WideArg(path)), type, points, pointCount, cards,
                               cardCount, values, kind);
  } catch (...) {
    return JZ_FAILURE;
  }
}

CALSTORE_API void CALSTORE_CALL JZFreeArray(void* array) { std::free(array); }

}  // extern "C"
