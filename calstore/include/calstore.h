/*
 * calstore: calibration files (".jz") with a card index beside each (".jz.ini").
 *
 * A calibration file is a sequence of card records, each a 12-byte header followed by n
 * 16-byte curve segments (x0, x1, k, b; reference = k * measured + b), little-endian, single
 * precision. The index maps "card_type" to the byte offset of the card's record.
 *
 * Paths are NUL-terminated UTF-16. Results are integer codes:
 *   0   success
 *   101 a file is missing or cannot be opened or created
 *   102 bad arguments
 *   103 a failure while processing (a read or write error, out of memory)
 * Every array handed out by JZReadFile is given back, one by one, to JZFreeArray.
 * The library keeps no state between calls.
 */
#ifndef CALSTORE_H
#define CALSTORE_H

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdint.h>
#include <uchar.h>
#endif

#if defined(_WIN32)
#define CALSTORE_CALL __stdcall
#if defined(CALSTORE_BUILDING)
#define CALSTORE_API __declspec(dllexport)
#else
#define CALSTORE_API __declspec(dllimport)
#endif
#else
#define CALSTORE_CALL
#define CALSTORE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
  JZ_OK = 0,
  JZ_FILE_MISSING = 101,
  JZ_BAD_ARGUMENTS = 102,
  JZ_FAILURE = 103
};

/* Channel types. */
enum { JZ_TEMPERATURE = 0, JZ_HUMIDITY = 1 };

/* The value that marks "no measurement at this point" in JZCreateFile and JZReadFile. */
#define JZ_NO_VALUE (-1000.0f)

/* Writes a new calibration file (".jz" appended unless the path ends in it) and its index.
 * references: pointCount reference values (2..10). cards: cardCount card numbers.
 * measured: 10 floats per card (card c, point i at 10 * c + i), JZ_NO_VALUE where missing.
 * A card given twice is written once, from its first row.
 * 102 when pointCount < 2 or > 10, cardCount <= 0 or an array is null; 101 when the file cannot
 * be created; 103 when writing fails (the previous file is then left as it was). */
CALSTORE_API int32_t CALSTORE_CALL JZCreateFile(const char16_t* path, uint8_t type,
                                                const float* references, uint8_t pointCount,
                                                const int32_t* cards, int32_t cardCount,
                                                const float* measured, uint8_t kind);

/* Rebuilds the index of a calibration file (path + ".ini"). 101, 103. */
CALSTORE_API int32_t CALSTORE_CALL JZAnalyFile(const char16_t* path);

/* Merges source1 and source2 into destination (".jz" appended unless present); on a key
 * (card, type) held by both, the record of source1 is kept. The destination may be either
 * source. 101 when a source is missing or a file cannot be opened, 103 on a failure while
 * merging (the destination is then left as it was). */
CALSTORE_API int32_t CALSTORE_CALL JZCombineFiles(const char16_t* destination,
                                                  const char16_t* source1,
                                                  const char16_t* source2);

/* 1 when the file's index names a record for (card, type), its offset stored through offset
 * (may be null); else 0. Builds the index when it is missing. */
CALSTORE_API int32_t CALSTORE_CALL JZFileContain(const char16_t* path, int32_t card, uint8_t type,
                                                 int32_t* offset);

/* Corrects the measured value x with the card's curve; when the card is not found, with the
 * default slope 1 and intercept (humidity -1.5; temperature 0 when noDefaultOffset is 1 or the
 * card is 3750 or above, else 1.7), each replaced by *slope / *intercept when given. */
CALSTORE_API float CALSTORE_CALL JZAjustData(const char16_t* path, int32_t card, uint8_t type,
                                             float x, uint8_t noDefaultOffset, const float* slope,
                                             const float* intercept);

/* Imports the records of the given cards (both channel types) from the ".jz" files of
 * sourceDirectory into target, merging them over what target held. With listMissing non-zero the
 * keys that no file holds are listed in the target index, section "info", key "escape".
 * The previous target stays in place until the complete new target replaces it, so a failure
 * or a crash leaves one or the other. A "TARGET.old" that an earlier version left with no target
 * beside it is put back as the target first.
 * 101 when the directory is missing or the target cannot be created; 0 when cardCount <= 0;
 * 102 when cards is null; 103 when a ".old" file of an earlier import lies beside the target or a
 * write fails (every file is then left as it was); else the result of the final merge. */
CALSTORE_API int32_t CALSTORE_CALL JZImportInfo(const char16_t* target,
                                                const char16_t* sourceDirectory,
                                                const int32_t* cards, int32_t cardCount,
                                                int32_t listMissing);

/* JZImportInfo with a card list such as "3-5;9" and listMissing 1; 102 when the text names no
 * card. */
CALSTORE_API int32_t CALSTORE_CALL JZImportInfoStr(const char16_t* target,
                                                   const char16_t* sourceDirectory,
                                                   const char16_t* cardList);

/* Reads every record of the given channel type: the distinct reference points (rounded to one
 * decimal, ascending), the card numbers (ascending) and for each card pointCount measured values
 * (JZ_NO_VALUE where the card has none). kind (may be null) receives the kind byte of the first
 * record read. 101 when the file is missing or cannot be opened, then 102 when points, pointCount,
 * cards, cardCount or values is null, 103 on a read failure or when there are more than 255
 * distinct points (nothing is handed out then).
 * Free points, cards, each values[i] and values with JZFreeArray. */
CALSTORE_API int32_t CALSTORE_CALL JZReadFile(const char16_t* path, uint8_t type, float** points,
                                              uint8_t* pointCount, int32_t** cards,
                                              uint32_t* cardCount, float*** values,
                                              uint8_t* kind);

/* Frees one array handed out by JZReadFile; null is ignored. */
CALSTORE_API void CALSTORE_CALL JZFreeArray(void* array);

#ifdef __cplusplus
}
#endif

#endif /* CALSTORE_H */
