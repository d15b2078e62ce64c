#pragma once
// tool-cli verbs of the history archive: list, show, export and delete the downloads kept in it.
// They work on the PC alone and open no connection. Qt-free.
//
//   archive list [--sn SN]                      values.downloads: id, sn, records, first, last,
//                                               started, complete, ...
//   archive show --id N
//   archive export (--id N | --sn SN) --out FILE.csv|FILE.data [--from T] [--to T]
//   archive delete --id N --confirm yes
// Every verb takes --archive PATH (default $XDG_DATA_HOME/tool/archive.sqlite3).
#include "pages/kit/command_table.h"

namespace pages::archive {

CommandSet Commands();

}  // namespace pages::archive
