// The export half of PublishArticles: walks the barcode table codean of the data database, looks up
// each article in price list listi01 and writes one line per article (see ComposeLine) to
// "C:\orbis\articoli.csv". The caller has already switched Timer2 off and closed every open file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/data_source.h"
#include "platform/file_stamps.h"
#include "platform/file_system.h"
#include "platform/numbered_files.h"
#include "platform/steady_time.h"
#include "publish/export_path.h"
#include "publish/export_temp_files.h"

namespace catpub::publish {

inline constexpr int kExportFileNumber = 5;

// Points `codean` at dataDbPath with "select * from codean " and walks its rows in stored order.
// A row whose colare, as text, has 5 as leading number is left out (Null never is). For every other
// row, codare becomes the 32-bit article code and `listi01` is pointed at dataDbPath again with
// "select * from listi01 where codart = " and the code; a row without a price row gives no line,
// otherwise the first price row gives one. Ends with CloseAllFiles.
//
// The caller holds the shop (platform::ShopLock). Before anything is read, the temporary exports
// that earlier runs left are removed (RemoveLeftoverExports), also when nothing is then written.
//
// Returns the number of lines written, which is the number of articles published: nothing when
// codean has no rows (no file is opened and an existing export file keeps its content, the original
// program's export-written flag false); a number once every row has been processed, the export file
// then replaced by the new one, which has zero bytes when no row gave a line.
//
// Throws FatalError with the table, column, row, article and barcode as far as known, and but for
// a value's failure the export ("esportazione articoli") as what failed, for: a Null anywhere but
// in colare, ricart and codafo; an article code or price that is no number or out of range; a
// missing database, table or column; a write failure. The partly written file is then removed and
// the previous export file is left as it was.
//
// The shop's software may write the data database meanwhile: its stamp (size and modification
// time, from `stamps`) is noted before codean is read, and when it differs once the export is
// complete (or when the reading failed meanwhile), the new file is discarded and the database read
// again after a short pause (`sleep`). After three readings that each saw the file change, throws
// FatalError saying that the database kept changing. The stamps are the file system's and the
// pause is slept, unless a test gives its own.
std::optional<uint64_t> ExportArticles(const std::string& dataDbPath, db::DataSource& codean,
                                       db::DataSource& listi01, platform::NumberedFiles& files,
                                       platform::FileSystem& fs,
                                       platform::FileStamps& stamps = platform::SystemFileStamps(),
                                       const platform::Sleep& sleep = platform::SleepFor);

}  // namespace catpub::publish
