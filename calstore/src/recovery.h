#pragma once
// Replacing a data file together with its index so that a crash at any moment leaves either the
// previous pair or the new pair, and putting things right after such a crash.
//
// One replacement uses one token T (process id and counter) for every file it makes:
//   DATA.tmp-T            the new data file, written and synced first
//   DATA.ini.tmp-T.next   the new index, written and synced second
//   DATA.ini.tmp-T.prev   the previous index, moved aside just before the data file is renamed
// then DATA.tmp-T becomes DATA, DATA.ini.tmp-T.next becomes DATA.ini and the .prev file goes.
// While DATA.tmp-T exists the previous data file is in place, so the .prev file is its index;
// once DATA.tmp-T is gone the new data file is in place, so the .next file is its index. Either
// way the data file is never beside an index that describes another file.
#include <string>

#include "ini_store.h"
#include "platform.h"

namespace calstore {

// Replaces a data file and its index as described above. False (the previous pair left as it
// was, no temporary file left) when a step fails before the data file is renamed.
bool CommitDataAndIndex(ReplacementFile& data, const IniDocument& index,
                        const std::string& indexPath);

// Finishes or undoes what a crashed process left of a replacement of dataPath or of its index:
// files of its scheme whose process no longer runs are brought to the state above and removed.
// An index temporary without a pair (a lone index save) whose cards agree with the data file is
// taken as the index when the index is missing. Files of other names are never touched; nothing
// is reported (a folder that cannot be read or changed is left as it is).
void RecoverLeftovers(const std::string& dataPath);

}  // namespace calstore
