#include "app/form1.h"

#include "app/data_folder.h"
#include "platform/fatal_error.h"
#include "platform/fold_case.h"
#include "publish/article_export.h"
#include "publish/value_text.h"
#include "publish/whole_number.h"

namespace catpub::app {
namespace {

const char kNoCompany[] = "ERRORE : SOCIETA CON CODICE 1 NON ESISTE ";

}  // namespace

Form1::Form1(ui::Window& window, log::RunLog& run_log, platform::FileSystem& fs,
             db::TableSource& tables, Publication publication)
    : window_(window),
      run_log_(run_log),
      fs_(fs),
      publication_(std::move(publication)),
      var_(tables),
      codean_(tables),
      listi01_(tables) {}

void Form1::Form_Load() {
  run_log_.OpenRunLog();
  companyCode_ = 1;
  driveLetter_ = window_.CurrentDrive().substr(0, 1);
  run_log_.LogStamped("- Avvio programma");
  const std::string companyDbPath = driveLetter_ + ":\\nodo\\orbis.mdb";
  if (!fs_.FileExists(companyDbPath)) {
    // Nothing else happens on this path: the window waits for "Uscita" with nrposw empty.
    const std::string message = "ERRORE : FILE " + companyDbPath + " NON ESISTE ";
    window_.ShowMessage(message);
    outcome_ = ConfigurationError{message};
    return;
  }
  const std::optional<std::string> failure = CheckDatabases(companyDbPath);
  if (failure) run_log_.LogPlain(*failure);
  window_.SetTillNumber(std::to_string(settings_.nrpos));
  ProcessingGate();
  // Stopped short of the publication: the check that failed says why, and the company database is
  // where it failed.
  if (failure && std::holds_alternative<ConfigurationError>(outcome_)) {
    outcome_ = ConfigurationError{*failure + "IN " + companyDbPath};
  }
}

std::optional<std::string> Form1::CheckDatabases(const std::string& companyDbPath) {
  const std::string company = std::to_string(companyCode_) + " ";
  if (!Query(companyDbPath, "select * from società where codute = " + company)) return kNoCompany;
  // Deliberate: a Null database field is taken for a missing company row, leaving no data
  // database to publish from.
  std::optional<std::string> database = DatabaseField();
  if (!database) return kNoCompany;
  dataFolder_ = DeriveDataFolder(*database, driveLetter_);
  dataDbPath_ = dataFolder_ + "dati.mdb";
  run_log_.LogStamped("- Apro DB  " + dataDbPath_);
  // Deliberate: the original wrote one more "- Apro DB  " line here whose path was never set; it
  // is left out.
  if (!Query(companyDbPath, "select * from inizio where codute = " + company)) return kNoCompany;
  run_log_.LogStamped("- Apro DB  " + companyDbPath);
  if (!Query(companyDbPath, "select * from società where codute = " + company)) return kNoCompany;
  database = DatabaseField();
  if (!database) {
    dataDbPath_.clear();
    return kNoCompany;
  }
  dataDbPath_ = platform::UpperCase(*database);
  if (!fs_.FileExists(dataDbPath_)) return "ERRORE : DB NON ESISTE ";
  run_log_.LogPlain("DB OK  ");  // two trailing blanks, as the shop's logs always had
  ReadStartupSettings();
  run_log_.LogPlain("CONTROLLO DB ORBIS OK");
  processingCounter_ = 1;
  return std::nullopt;
}

bool Form1::Query(const std::string& database, const std::string& sql) {
  var_.SetDatabaseName(database);
  var_.SetRecordSource(sql);
  var_.Refresh();
  return !var_.Eof();
}

std::optional<std::string> Form1::DatabaseField() {
  if (var_.IsNull("database")) return std::nullopt;
  std::string text;
  if (!publish::AppendValueText(var_.Field("database"), text)) {
    throw FatalError("data fuori limite")
        .InColumn("società", "database")
        .InFile(var_.database_name());
  }
  return text;
}

int32_t Form1::WholeNumberField(const char* column) {
  publish::Converted<int32_t> number = publish::ToLong(var_.Field(column));
  if (!number.ok()) {
    throw FatalError("valore non intero a 32 bit")
        .InColumn("utenti", column)
        .InFile(var_.database_name());
  }
  return number.value;
}

void Form1::ReadStartupSettings() {
  if (!Query(dataDbPath_,
             "select * from utenti where codutente = " + std::to_string(companyCode_) + " ")) {
    return;
  }
  // A Null column keeps the value the field had.
  if (!var_.IsNull("nrpos")) settings_.nrpos = WholeNumberField("nrpos");
  if (!var_.IsNull("codattiv")) settings_.codattiv = WholeNumberField("codattiv");
}

void Form1::ProcessingGate() {
  // The comparison is exact: a path of blanks is a path.
  if (!dataDbPath_.empty()) {
    window_.DisableTimer2();
    run_log_.LogStamped("- Cassa 0 OK");  // always 0, not the till number
    PublishArticles();
  } else {
    run_log_.LogPlain("ERRORE :NOME DB NON ESISTE....");
  }
  window_.DisableTimer2();
}

void Form1::PublishArticles() {
  window_.DisableTimer2();
  run_log_.CloseAllFiles();
  const std::optional<uint64_t> articles =
      publish::ExportArticles(dataDbPath_, codean_, listi01_, publication_.files, fs_);
  publish::UploadOutcome upload = publish::UploadArticles(
      articles.has_value(), settings_.codattiv, publication_.account, publication_.ftp, window_);
  switch (upload.result) {
    case publish::UploadResult::kNothingToUpload:
      outcome_ = NothingToPublish{dataDbPath_};
      break;
    case publish::UploadResult::kUploaded:
      outcome_ = Published{
          *articles, publication_.account.host,
          publish::RemoteDirectory(settings_.codattiv) + "/" + publish::kUploadRemoteName};
      break;
    case publish::UploadResult::kFailed:
      outcome_ = UploadFailed{*upload.failure};
      break;
  }
}

void Form1::Timer2_Timer() {
  if (processingCounter_ < 2) {
    ++processingCounter_;
    return;
  }
  run_log_.LogStamped("- Inizio elaborazione ");
  processingCounter_ = 1;
}

void Form1::Command1_Click() { window_.Unload(); }

void Form1::Form_Unload() { run_log_.CloseAllFiles(); }

}  // namespace catpub::app
