// The one error that means "this run cannot go on". It carries what failed and where as fields:
// each layer fills in what it knows (the file, the table and column, the server's reply), and a
// layer the error passes through may add what it knows besides (a walk over a table adds the row
// it was on). The reported line is composed from the fields once, by ReportLine, where the run
// reports it.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace catpub {

// The row of a table that a walk was on, and what that row is known by, as labels and values
// ("articolo", "1234") in the order they are shown.
struct RowPlace {
  std::string table;
  long row = 0;  // counted from 1; 0 outside any walk
  std::vector<std::pair<std::string, std::string>> known_by;
};

// What failed and where, as far as known; an empty text is "not known".
struct FailureFields {
  std::string description;  // what failed: "valore Null", "impossibile scrivere"
  std::string file;         // the file concerned, as a Windows path
  std::string table;
  std::string column;
  std::string reason;        // why, in the words of the system or library: "disco pieno"
  std::string server_step;   // the FTP step and how it went: "CONNESSIONE NON RIUSCITA"
  std::string server_reply;  // what the server or the transport said
  std::string activity;      // what the run was doing: "esportazione articoli"
  RowPlace place;            // where a walk over a table was
};

class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& description) : std::runtime_error(description) {
    fields_.description = description;
  }

  // What the layer that throws knows besides; each returns *this, to be thrown.
  FatalError& InFile(std::string windows_path);
  FatalError& InColumn(std::string table, std::string column);
  FatalError& Because(std::string reason);
  FatalError& AtServerStep(std::string step, std::string reply);

  const FailureFields& fields() const { return fields_; }
  // For a layer that the error passes through, to add what it knows before rethrowing.
  FailureFields& fields() { return fields_; }

 private:
  FailureFields fields_;
};

// The one line that reports `error`: "ERRORE : ", the activity and ": " when known, the
// description, " in table.column", the file (after " di " when a column is named), ": " and the
// reason, the server step and " : " and the reply, and the place of a walk as
// " (riga 3 di codean, articolo 1234, codice a barre 8001234567890)".
std::string ReportLine(const FatalError& error);

}  // namespace catpub
