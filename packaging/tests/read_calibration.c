/* Built against the installed calstore.h and libcalstore.so (pkg-config or find_package):
 *   read_calibration FILE.jz   prints "points N cards M first-card C kind K" and frees every
 *                              array; a missing file must give 101. */
#include <calstore.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The path as UTF-16 (ASCII paths only: the test makes its own). */
static char16_t* Utf16(const char* text) {
  size_t n = strlen(text);
  char16_t* out = calloc(n + 1, sizeof(char16_t));
  for (size_t i = 0; out != NULL && i < n; ++i) out[i] = (unsigned char)text[i];
  return out;
}

static int32_t Read(const char* path, int print) {
  char16_t* wide = Utf16(path);
  float* points = NULL;
  uint8_t pointCount = 0;
  int32_t* cards = NULL;
  uint32_t cardCount = 0;
  float** values = NULL;
  uint8_t kind = 0;
  const int32_t result = JZReadFile(wide, JZ_TEMPERATURE, &points, &pointCount, &cards,
                                    &cardCount, &values, &kind);
  free(wide);
  if (result != JZ_OK) return result;
  if (print) {
    printf("points %u cards %u first-card %d kind %u\n", (unsigned)pointCount,
           (unsigned)cardCount, cardCount > 0 ? (int)cards[0] : -1, (unsigned)kind);
  }
  for (uint32_t i = 0; i < cardCount; ++i) JZFreeArray(values[i]);
  JZFreeArray(values);
  JZFreeArray(cards);
  JZFreeArray(points);
  return result;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: read_calibration FILE.jz\n");
    return 2;
  }
  if (Read("/nonexistent/calibration.jz", 0) != JZ_FILE_MISSING) {
    fprintf(stderr, "read_calibration: a missing file did not give 101\n");
    return 1;
  }
  const int32_t result = Read(argv[1], 1);
  if (result != JZ_OK) {
    fprintf(stderr, "read_calibration: JZReadFile gave %d\n", (int)result);
    return 1;
  }
  return 0;
}
