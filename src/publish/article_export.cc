#include "publish/article_export.h"

#include <chrono>
#include <optional>
#include <string_view>
#include <utility>

#include "db/lookup_walk.h"
#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "publish/converted.h"
#include "publish/currency.h"
#include "publish/export_failure.h"
#include "publish/export_row.h"
#include "publish/export_writer.h"
#include "publish/fixed_text.h"
#include "publish/leading_number.h"
#include "publish/regional_number.h"
#include "publish/value_text.h"
#include "publish/whole_number.h"

namespace catpub::publish {
namespace {

constexpr std::string_view kCodean = "codean";
constexpr std::string_view kListi01 = "listi01";
constexpr char kExportActivity[] = "esportazione articoli";
constexpr size_t kShownCharacters = 60;
// A data database that the shop's software keeps writing is read this many times at most, with
// this pause between the readings.
constexpr int kReadings = 3;
constexpr std::chrono::milliseconds kPauseBetweenReadings{200};

// The value as a message shows it: texts quoted, long ones cut between characters.
std::string Shown(const db::Value& value) {
  std::string text;
  if (!AppendValueText(value, text)) return "(data fuori limite)";
  if (const std::string_view kept = FirstCharacters(text, kShownCharacters);
      kept.size() < text.size()) {
    text = std::string(kept) + "...";
  }
  if (std::holds_alternative<std::string>(value)) return '"' + text + '"';
  return text;
}

// While the walk is under way the temporary file is open; unless the walk completes, it is closed
// and removed so that only a complete export ever replaces the published one.
class TemporaryExport {
 public:
  TemporaryExport(platform::NumberedFiles& files, platform::FileSystem& fs)
      : files_(files), fs_(fs) {}
  TemporaryExport(const TemporaryExport&) = delete;
  TemporaryExport& operator=(const TemporaryExport&) = delete;
  ~TemporaryExport() {
    if (published_) return;
    try {
      files_.CloseAllFiles();
    } catch (const FatalError&) {
      // The error that ended the export is the one reported; the file is discarded anyway.
    }
    fs_.Remove(path_);
  }

  void Open() { files_.OpenForOutput(kExportFileNumber, path_, platform::Flush::kOnClose); }
  void Publish() {
    files_.CloseAllFiles();
    fs_.Replace(path_, kExportPath);
    published_ = true;
  }

 private:
  platform::NumberedFiles& files_;
  platform::FileSystem& fs_;
  const std::string path_ = ExportTempPath();
  bool published_ = false;
};

// The columns the export reads, by their places in these lists.
enum BarcodeColumn : size_t { kColare, kCodare, kEanare };
constexpr std::string_view kBarcodeColumns[] = {"colare", "codare", "eanare"};
enum PriceColumn : size_t { kDesart, kDesrep, kIvart, kCosiva, kPrzpub, kRicart, kPrzsal, kCodafo };
constexpr std::string_view kPriceColumns[] = {"desart", "desrep", "ivart",  "cosiva",
                                              "przpub", "ricart", "przsal", "codafo"};
constexpr char kPriceQuery[] = "select * from listi01 where codart = ";

// A value read, with where it comes from for a message.
struct ColumnValue {
  std::string_view table;
  std::string_view column;
  const db::Value& value;
};

[[noreturn]] void FailConversion(const ColumnValue& failed, ConversionError why) {
  std::string message;
  switch (why) {
    case ConversionError::kNull:
      message = "valore Null";
      break;
    case ConversionError::kNotANumber:
      message = "valore non numerico " + Shown(failed.value);
      break;
    case ConversionError::kOutOfRange:
    case ConversionError::kNone:
      message = "valore fuori limite " + Shown(failed.value);
      break;
  }
  throw FatalError(message).InColumn(std::string(failed.table), std::string(failed.column));
}

// A row is left out when its colare, as text, has 5 as leading number; Null never is.
bool Excluded(const ColumnValue& colare) {
  if (db::IsNull(colare.value)) return false;
  if (const auto* text = std::get_if<std::string>(&colare.value)) return LeadingNumber(*text) == 5;
  std::string text;
  if (!AppendValueText(colare.value, text)) throw NoText(colare.table, colare.column);
  return LeadingNumber(text) == 5;
}

// The article a barcode row is for: codare as a 32-bit article code, read only when colare does
// not leave the row out; nothing when it does.
std::optional<int32_t> ArticleOf(const db::LookupWalk::Row& barcode) {
  if (Excluded(ColumnValue{kCodean, kBarcodeColumns[kColare], barcode[kColare]}))
    return std::nullopt;
  const ColumnValue codare{kCodean, kBarcodeColumns[kCodare], barcode[kCodare]};
  const Converted<int32_t> code = ToLong(codare.value);
  if (!code.ok()) FailConversion(codare, code.error);
  return code.value;
}

class ArticleWalk {
 public:
  // `codean` is on its first row; `listi01` is pointed at dataDbPath anew for every article.
  ArticleWalk(const std::string& dataDbPath, db::DataSource& codean, db::DataSource& listi01,
              platform::NumberedFiles& files)
      : writer_(files, kExportFileNumber),
        walk_({codean, kBarcodeColumns, ArticleOf},
              {listi01, dataDbPath, kPriceQuery, kPriceColumns}) {}

  // From the current codean row to the end of codean; every line is written when this returns.
  // Returns how many lines there are.
  uint64_t WriteLines() {
    try {
      Walk();
    } catch (const FatalError&) {
      // A line of an earlier row may have failed on the writer's thread: that failure came first.
      writer_.Finish();
      throw;
    }
    writer_.Finish();
    return lines_;
  }

 private:
  void Walk() {
    for (row_number_ = 1; !walk_.Eof(); ++row_number_) {
      platform::ThrowIfInterrupted();
      try {
        ProcessRow();
        reading_next_row_ = true;
        walk_.MoveNext();
        reading_next_row_ = false;
      } catch (FatalError& error) {
        AddPlace(error, Place());
        throw;
      }
    }
  }

  // A barcode left out by colare gives no line, nor one whose article has no price row.
  void ProcessRow() {
    article_.reset();  // until the row gives it
    article_ = walk_.Key();
    if (!article_ || !walk_.LookUp()) return;
    ExportWriter::Line& line = writer_.Next();
    FillRow(line.row);
    line.place = Place();
    writer_.Commit();
    ++lines_;
  }

  ColumnValue Barcode(BarcodeColumn column) const {
    return ColumnValue{kCodean, kBarcodeColumns[column], walk_.Walked(column)};
  }
  ColumnValue Price(PriceColumn column) const {
    return ColumnValue{kListi01, kPriceColumns[column], walk_.Found(column)};
  }

  // In the order the fields are listed, so that the first failing one is reported.
  void FillRow(ExportRow& row) {
    AssignText(Barcode(kEanare), row.eanare);
    AssignText(Price(kDesart), row.desart);
    AssignText(Price(kDesrep), row.desrep);
    AssignText(Price(kIvart), row.ivart);
    row.cosiva = CurrencyOf(Price(kCosiva));
    row.przpub = CurrencyOf(Price(kPrzpub));
    row.ricart = walk_.Found(kRicart);
    row.przsal = CurrencyOf(Price(kPrzsal));
    const ColumnValue codafo = Price(kCodafo);
    if (db::IsNull(codafo.value)) return;  // codafo stays blank, the supplier number 0 (Next)
    AssignText(codafo, row.codafo);
    if (std::optional<double> number = NumericValue(row.codafo.view())) {
      row.supplier_number = *number;
    }
  }

  void AssignText(const ColumnValue& from, FixedText& field) {
    if (db::IsNull(from.value)) FailConversion(from, ConversionError::kNull);
    if (const auto* text = std::get_if<std::string>(&from.value)) {
      field.Assign(*text);
      return;
    }
    scratch_.clear();
    if (!AppendValueText(from.value, scratch_)) throw NoText(from.table, from.column);
    field.Assign(scratch_);
  }

  static db::Currency CurrencyOf(const ColumnValue& from) {
    const Converted<db::Currency> currency = ToCurrency(from.value);
    if (!currency.ok()) FailConversion(from, currency.error);
    return currency.value;
  }

  // The row being read when moving on has given nothing yet but its number.
  WalkPlace Place() const {
    if (reading_next_row_) return WalkPlace{row_number_ + 1, std::nullopt, std::nullopt};
    return WalkPlace{row_number_, article_, BarcodeText()};
  }

  // The current row's barcode for a message; nothing when it cannot be read.
  std::optional<std::string> BarcodeText() const {
    try {
      const db::Value& value = walk_.Walked(kEanare);
      std::string text;
      if (db::IsNull(value) || !AppendValueText(value, text)) return std::nullopt;
      return text;
    } catch (const FatalError&) {
      return std::nullopt;  // the message names the failure that matters
    }
  }

  ExportWriter writer_;
  db::LookupWalk walk_;
  std::string scratch_;
  long row_number_ = 0;
  bool reading_next_row_ = false;
  uint64_t lines_ = 0;
  std::optional<int32_t> article_;
};

}  // namespace

namespace {

// What one reading of the data database gave: nothing written, or the lines of the new export.
using Reading = std::optional<uint64_t>;

// One export from one reading of the data database, whose stamp was `before` when the reading
// began. Nothing when the file has another stamp once the export is complete, or when the reading
// failed while the file changed: the new export is then discarded.
std::optional<Reading> ExportOnce(const std::string& dataDbPath, db::DataSource& codean,
                                  db::DataSource& listi01, platform::NumberedFiles& files,
                                  platform::FileSystem& fs, platform::FileStamps& stamps,
                                  const std::optional<platform::FileStamp>& before) {
  auto changed = [&] { return stamps.StampOf(fs.LocalPath(dataDbPath)) != before; };
  try {
    codean.SetDatabaseName(dataDbPath);
    codean.SetRecordSource("select * from codean ");
    codean.Refresh();
    if (codean.Eof()) {
      files.CloseAllFiles();
      if (changed()) return std::nullopt;
      return Reading();
    }
    TemporaryExport output(files, fs);
    output.Open();
    const uint64_t lines = ArticleWalk(dataDbPath, codean, listi01, files).WriteLines();
    if (changed()) return std::nullopt;
    output.Publish();
    return Reading(lines);
  } catch (FatalError& error) {
    // Rows read while the file was being written may not fit together: that is no damage yet. A
    // run asked to end ends, whatever the file did.
    if (platform::InterruptingSignal() == 0 && changed()) return std::nullopt;
    // A value that cannot be exported names its column and row, which says enough; any other
    // failure is named as the export's.
    if (error.fields().column.empty()) error.fields().activity = kExportActivity;
    throw;
  }
}

}  // namespace

std::optional<uint64_t> ExportArticles(const std::string& dataDbPath, db::DataSource& codean,
                                       db::DataSource& listi01, platform::NumberedFiles& files,
                                       platform::FileSystem& fs, platform::FileStamps& stamps,
                                       const platform::Sleep& sleep) {
  // Here, once, before any reading: the export makes these files and alone knows their names; it
  // runs only while the run holds the shop, so none of them belongs to a run still going; and the
  // space they hold is freed before the new export needs it.
  RemoveLeftoverExports(fs);
  for (int reading = 1;; ++reading) {
    const std::optional<platform::FileStamp> before = stamps.StampOf(fs.LocalPath(dataDbPath));
    if (std::optional<Reading> written =
            ExportOnce(dataDbPath, codean, listi01, files, fs, stamps, before)) {
      return *written;
    }
    if (reading == kReadings) {
      throw FatalError("il database " + dataDbPath + " è cambiato mentre veniva letto, " +
                       std::to_string(kReadings) +
                       " volte di seguito: l'esportazione non è stata pubblicata");
    }
    codean.ForgetRows();
    listi01.ForgetRows();
    sleep(kPauseBetweenReadings);
  }
}

}  // namespace catpub::publish
