/* Loads calstore.dll at run time and reads a calibration file through JZReadFile and JZFreeArray
 * found by ordinal (8 and 9), as programs that bind to the library's ordinals do. Prints the
 * kind, the points and each card's values; exit status 0 when the file was read.
 *   read_by_ordinal.exe PATH-TO-calstore.dll PATH-TO-FILE.jz */
#include <stdint.h>
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

typedef int32_t(__stdcall *ReadFileFn)(const wchar_t *, uint8_t, float **, uint8_t *, int32_t **,
                                     uint32_t *, float ***, uint8_t *);
typedef void(__stdcall *FreeArrayFn)(void *);

int wmain(int argc, wchar_t **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: read_by_ordinal CALSTORE.DLL FILE.jz\n");
    return 2;
  }
  HMODULE library = LoadLibraryW(argv[1]);
  if (library == NULL) {
    fprintf(stderr, "cannot load the library (error %lu)\n", GetLastError());
    return 2;
  }
  ReadFileFn readFile = (ReadFileFn)(void *)GetProcAddress(library, MAKEINTRESOURCEA(8));
  FreeArrayFn freeArray = (FreeArrayFn)(void *)GetProcAddress(library, MAKEINTRESOURCEA(9));
  /* The names lead to the same functions as the ordinals. */
  if (readFile == NULL || freeArray == NULL ||
      (void *)readFile != (void *)GetProcAddress(library, "JZReadFile") ||
      (void *)freeArray != (void *)GetProcAddress(library, "JZFreeArray")) {
    fprintf(stderr, "ordinals 8 and 9 are not JZReadFile and JZFreeArray\n");
    return 2;
  }
  float *points = NULL;
  int32_t *cards = NULL;
  float **values = NULL;
  uint8_t pointCount = 0, kind = 0;
  uint32_t cardCount = 0;
  const int32_t result = readFile(argv[2], 0, &points, &pointCount, &cards, &cardCount, &values, &kind);
  if (result != 0) {
    fprintf(stderr, "JZReadFile failed with %ld\n", (long)result);
    return 1;
  }
  printf("kind %u points", (unsigned)kind);
  for (uint8_t i = 0; i < pointCount; ++i) printf(" %g", points[i]);
  printf("\n");
  for (uint32_t c = 0; c < cardCount; ++c) {
    printf("card %ld", (long)cards[c]);
    for (uint8_t i = 0; i < pointCount; ++i) printf(" %g", values[c][i]);
    printf("\n");
    freeArray(values[c]);
  }
  freeArray(values);
  freeArray(cards);
  freeArray(points);
  FreeLibrary(library);
  return 0;
}
