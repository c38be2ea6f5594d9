#include "publish/article_export.h"

#include <chrono>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "db/file_stamp.h"
#include "db/lookups_ahead.h"
#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "publish/converted.h"
#include "publish/currency.h"
#include "publish/export_failure.h"
#include "publish/export_row.h"
#include "publish/export_writer.h"
#include "publish/fixed_text.h"
#include "publish/leading_number.h"
#include "publish/number_text.h"
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

// The article code a barcode's codare gives; nothing when it gives none.
std::optional<int64_t> ArticleCodeOf(const db::Value& codare) {
  Converted<int32_t> code = ToLong(codare);
  if (!code.ok()) return std::nullopt;
  return code.value;
}

// A column the walk reads on every row: its name for messages, its handle for reading.
struct NamedColumn {
  NamedColumn(db::DataSource& source, std::string_view column_name)
      : name(column_name), column(source.Bind(column_name)) {}
  std::string_view name;
  db::DataSource::Column column;
};

class ArticleWalk {
 public:
  ArticleWalk(const std::string& dataDbPath, db::DataSource& codean, db::DataSource& listi01,
              platform::NumberedFiles& files)
      : dataDbPath_(dataDbPath),
        codean_(codean),
        listi01_(listi01),
        writer_(files, kExportFileNumber),
        prices_ahead_(codean, "codare", ArticleCodeOf, listi01) {}

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
    for (row_number_ = 1; !codean_.Eof(); ++row_number_) {
      platform::ThrowIfInterrupted();
      try {
        ProcessRow();
        reading_next_row_ = true;
        codean_.MoveNext();
        reading_next_row_ = false;
      } catch (FatalError& error) {
        AddPlace(error, Place());
        throw;
      }
    }
  }

  void ProcessRow() {
    prices_ahead_.Prepare();
    article_.reset();
    if (Excluded()) return;
    article_ = ArticleCode();
    if (!FindPrice(*article_)) return;
    ExportWriter::Line& line = writer_.Next();
    FillRow(line.row);
    line.place = Place();
    writer_.Commit();
    ++lines_;
  }

  bool Excluded() {
    const db::Value& colare = codean_.Field(colare_.column);
    if (db::IsNull(colare)) return false;
    if (const auto* text = std::get_if<std::string>(&colare)) return LeadingNumber(*text) == 5;
    scratch_.clear();
    if (!AppendValueText(colare, scratch_)) throw NoText(kCodean, colare_.name);
    return LeadingNumber(scratch_) == 5;
  }

  int32_t ArticleCode() {
    const db::Value& codare = codean_.Field(codare_.column);
    Converted<int32_t> code = ToLong(codare);
    if (!code.ok()) FailConversion(kCodean, codare_.name, codare, code.error);
    return code.value;
  }

  // The price list is asked again for every article, pointed at the database anew each time.
  bool FindPrice(int32_t code) {
    listi01_.SetDatabaseName(dataDbPath_);
    sql_.assign("select * from listi01 where codart = ");
    AppendWholeText(code, sql_);
    listi01_.SetRecordSource(sql_);
    listi01_.Refresh();
    return !listi01_.Eof();
  }

  // In the order the fields are listed, so that the first failing one is reported.
  void FillRow(ExportRow& row) {
    AssignText(codean_, kCodean, eanare_, row.eanare);
    AssignText(listi01_, kListi01, desart_, row.desart);
    AssignText(listi01_, kListi01, desrep_, row.desrep);
    AssignText(listi01_, kListi01, ivart_, row.ivart);
    row.cosiva = CurrencyOf(cosiva_);
    row.przpub = CurrencyOf(przpub_);
    row.ricart = listi01_.Field(ricart_.column);
    row.przsal = CurrencyOf(przsal_);
    const db::Value& codafo = listi01_.Field(codafo_.column);
    if (db::IsNull(codafo)) return;  // codafo stays blank, the supplier number 0 (Next)
    AssignText(listi01_, kListi01, codafo_, row.codafo);
    if (std::optional<double> number = NumericValue(row.codafo.view())) {
      row.supplier_number = *number;
    }
  }

  void AssignText(db::DataSource& source, std::string_view table, const NamedColumn& named,
                  FixedText& field) {
    const std::string_view column = named.name;
    const db::Value& value = source.Field(named.column);
    if (db::IsNull(value)) FailConversion(table, column, value, ConversionError::kNull);
    if (const auto* text = std::get_if<std::string>(&value)) {
      field.Assign(*text);
      return;
    }
    scratch_.clear();
    if (!AppendValueText(value, scratch_)) throw NoText(table, column);
    field.Assign(scratch_);
  }

  db::Currency CurrencyOf(const NamedColumn& named) {
    const std::string_view column = named.name;
    const db::Value& value = listi01_.Field(named.column);
    Converted<db::Currency> currency = ToCurrency(value);
    if (!currency.ok()) FailConversion(kListi01, column, value, currency.error);
    return currency.value;
  }

  [[noreturn]] void FailConversion(std::string_view table, std::string_view column,
                                   const db::Value& value, ConversionError why) const {
    std::string message;
    switch (why) {
      case ConversionError::kNull:
        message = "valore Null";
        break;
      case ConversionError::kNotANumber:
        message = "valore non numerico " + Shown(value);
        break;
      case ConversionError::kOutOfRange:
      case ConversionError::kNone:
        message = "valore fuori limite " + Shown(value);
        break;
    }
    throw FatalError(message).InColumn(std::string(table), std::string(column));
  }

  // The row being read when moving on has given nothing yet but its number.
  WalkPlace Place() const {
    if (reading_next_row_) return WalkPlace{row_number_ + 1, std::nullopt, std::nullopt};
    return WalkPlace{row_number_, article_, Barcode()};
  }

  // The current row's barcode for a message; nothing when it cannot be read.
  std::optional<std::string> Barcode() const {
    try {
      const db::Value& value = codean_.Field("eanare");
      std::string text;
      if (db::IsNull(value) || !AppendValueText(value, text)) return std::nullopt;
      return text;
    } catch (const FatalError&) {
      return std::nullopt;  // the message names the failure that matters
    }
  }

  const std::string& dataDbPath_;
  db::DataSource& codean_;
  db::DataSource& listi01_;
  ExportWriter writer_;
  db::LookupsAhead prices_ahead_;
  const NamedColumn colare_{codean_, "colare"};
  const NamedColumn codare_{codean_, "codare"};
  const NamedColumn eanare_{codean_, "eanare"};
  const NamedColumn desart_{listi01_, "desart"};
  const NamedColumn desrep_{listi01_, "desrep"};
  const NamedColumn ivart_{listi01_, "ivart"};
  const NamedColumn cosiva_{listi01_, "cosiva"};
  const NamedColumn przpub_{listi01_, "przpub"};
  const NamedColumn ricart_{listi01_, "ricart"};
  const NamedColumn przsal_{listi01_, "przsal"};
  const NamedColumn codafo_{listi01_, "codafo"};

  std::string sql_;
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
                                  platform::FileSystem& fs,
                                  const std::optional<db::FileStamp>& before) {
  auto changed = [&] { return db::StampOf(fs.LocalPath(dataDbPath)) != before; };
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
                                       platform::FileSystem& fs) {
  // Here, once, before any reading: the export makes these files and alone knows their names; it
  // runs only while the run holds the shop, so none of them belongs to a run still going; and the
  // space they hold is freed before the new export needs it.
  RemoveLeftoverExports(fs);
  for (int reading = 1;; ++reading) {
    const std::optional<db::FileStamp> before = db::StampOf(fs.LocalPath(dataDbPath));
    if (std::optional<Reading> written =
            ExportOnce(dataDbPath, codean, listi01, files, fs, before)) {
      return *written;
    }
    if (reading == kReadings) {
      throw FatalError("il database " + dataDbPath + " è cambiato mentre veniva letto, " +
                       std::to_string(kReadings) +
                       " volte di seguito: l'esportazione non è stata pubblicata");
    }
    codean.ForgetRows();
    listi01.ForgetRows();
    std::this_thread::sleep_for(kPauseBetweenReadings);
  }
}

}  // namespace catpub::publish
