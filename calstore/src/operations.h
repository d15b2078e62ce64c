#pragma once
// The operations behind the exported functions, on paths in the platform's form. Each returns
// the result code of its export (0, 101, 102, 103); exceptions (out of memory) are turned into
// 103 by the exports.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "calibration_file.h"
#include "ini_store.h"

namespace calstore {

int32_t CreateCalibrationFile(std::string path, uint8_t type, const float* references,
                              uint8_t pointCount, const int32_t* cards, int32_t cardCount,
                              const float* measured, uint8_t kind);
int32_t AnalyzeFile(const std::string& path);
int32_t CombineFiles(const std::string& destination, const std::string& source1,
                     const std::string& source2);
// The offset of the record (card, type) named by the file's index; false when the file is
// missing or its index does not name it. Builds the index when it is missing.
bool FindRecord(const std::string& path, int32_t card, uint8_t type, int32_t& offset);
float AdjustValue(const std::string& path, int32_t card, uint8_t type, float x,
                  uint8_t noDefaultOffset, const float* slope, const float* intercept);
int32_t ReadCalibrationFile(const std::string& path, uint8_t type, float** points,
                            uint8_t* pointCount, int32_t** cards, uint32_t* cardCount,
                            float*** values, uint8_t* kind);
int32_t ImportCards(const std::string& target, const std::string& sourceDirectory,
                    const int32_t* cards, int32_t cardCount, bool listMissing);

// The index of a data file: loaded when it exists, else built from the file and saved beside it
// (a failure to save only costs building it again next time). False when neither works.
bool LoadIndexOf(const std::string& dataPath, IniDocument& index);

// Records being merged, by merge key ("card;type", in the text order of which they are written).
using MergedRecords = std::map<std::string, CardRecord>;
// Adds a record unless its key is already there (the first record of a key wins); true if added.
bool AddRecord(MergedRecords& merged, CardRecord&& record);
// Adds every whole record of a file; false on a read error.
bool CollectRecords(InputFile& in, MergedRecords& merged);
// Writes the records in key order and sets section "cards" of index to their offsets.
void WriteMerged(const MergedRecords& merged, ReplacementFile& out, IniDocument& index);

// Card numbers of a list such as "3-5;9": pieces separated by ";", each a number or a range
// "start-end" (no end, or end 0, means start); a piece whose start is not above 0 or whose end is
// below its start adds nothing. More than kMaxListedCards numbers give an empty list.
inline constexpr size_t kMaxListedCards = 1000000;
std::vector<int32_t> ParseCardList(std::u16string_view text);

}  // namespace calstore
