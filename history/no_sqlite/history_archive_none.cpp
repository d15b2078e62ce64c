// The history archive of a build without SQLite (the Windows cross-build, which has no SQLite for
// Windows to link): every archive refuses to open and says why, so a download is kept only in the
// file it is saved to.
#include "history/history_archive.h"

namespace pages::history {

bool ArchiveBuiltIn() { return false; }

std::unique_ptr<Archive> Archive::Open(const std::string& path, ArchiveError* error, bool) {
  if (error) *error = std::string(kArchiveNotBuiltIn) + path;
  return nullptr;
}

// No archive is ever opened here: the members below cannot be reached.
Archive::~Archive() = default;
std::optional<int64_t> Archive::Store(const DownloadToStore&, ArchiveError* error) {
  if (error) *error = kArchiveNotBuiltIn;
  return std::nullopt;
}
std::vector<ArchivedDownload> Archive::List(const std::string&) const { return {}; }
std::optional<ArchivedDownload> Archive::Find(int64_t) const { return std::nullopt; }
std::vector<RecordRow> Archive::Rows(int64_t) const { return {}; }
MergedRecords Archive::Merged(const std::string&, std::optional<Moment>, std::optional<Moment>) const {
  return {};
}
bool Archive::Delete(int64_t, ArchiveError* error) {
  if (error) *error = kArchiveNotBuiltIn;
  return false;
}

}  // namespace pages::history
