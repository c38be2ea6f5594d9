#include "platform/fatal_error.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace catpub {
namespace {

// The error as the export's walk over codean leaves it: its place, and the export named as what
// failed.
FatalError InWalk(FatalError error, long row,
                  std::vector<std::pair<std::string, std::string>> known_by,
                  const char* activity = "") {
  error.fields().place = RowPlace{"codean", row, std::move(known_by)};
  error.fields().activity = activity;
  return error;
}

TEST(ReportLineTest, ComposesTheLineFromTheFields) {
  const char kExport[] = "esportazione articoli";
  const struct {
    const char* what;
    FatalError error;
    std::string line;
  } cases[] = {
      {"a description alone", FatalError("memoria esaurita"), "ERRORE : memoria esaurita"},
      {"a file and the system's reason",
       FatalError("impossibile aprire")
           .InFile("C:\\orbis\\bkp\\logrul3_07122026.txt")
           .Because("file o cartella inesistente"),
       "ERRORE : impossibile aprire C:\\orbis\\bkp\\logrul3_07122026.txt: file o cartella "
       "inesistente"},
      {"a column of a table of a database",
       FatalError("valore non intero a 32 bit")
           .InColumn("utenti", "nrpos")
           .InFile("C:\\ORBIS\\DATI.MDB"),
       "ERRORE : valore non intero a 32 bit in utenti.nrpos di C:\\ORBIS\\DATI.MDB"},
      {"the full place of the walk",
       InWalk(FatalError("valore Null").InColumn("listi01", "desart"), 3,
              {{"articolo", "1234"}, {"codice a barre", "8001234567890"}}),
       "ERRORE : valore Null in listi01.desart (riga 3 di codean, articolo 1234, codice a barre "
       "8001234567890)"},
      {"an article whose barcode does not read",
       InWalk(FatalError("data fuori limite").InColumn("listi01", "ricart"), 2,
              {{"articolo", "7"}}),
       "ERRORE : data fuori limite in listi01.ricart (riga 2 di codean, articolo 7)"},
      {"a barcode before the article code is known",
       InWalk(FatalError("valore non numerico \"12A\"").InColumn("codean", "codare"), 1,
              {{"codice a barre", "8000000000001"}}),
       "ERRORE : valore non numerico \"12A\" in codean.codare (riga 1 di codean, codice a barre "
       "8000000000001)"},
      {"a row being read, and the export named",
       InWalk(FatalError("riga danneggiata"), 4, {}, kExport),
       "ERRORE : esportazione articoli: riga danneggiata (riga 4 di codean)"},
      {"a file, a reason and a place",
       InWalk(FatalError("impossibile scrivere")
                  .InFile("C:\\orbis\\articoli.csv.tmp")
                  .Because("spazio esaurito sul dispositivo"),
              5, {{"articolo", "1"}, {"codice a barre", "8000000000005"}}, kExport),
       "ERRORE : esportazione articoli: impossibile scrivere C:\\orbis\\articoli.csv.tmp: spazio "
       "esaurito sul dispositivo (riga 5 di codean, articolo 1, codice a barre 8000000000005)"},
      {"the export named, outside the walk",
       InWalk(FatalError("impossibile aprire").InFile("C:\\orbis\\articoli.csv.tmp"), 0, {},
              kExport),
       "ERRORE : esportazione articoli: impossibile aprire C:\\orbis\\articoli.csv.tmp"},
      {"a place in another table, known by its own labels",
       [] {
         FatalError error = FatalError("valore Null").InColumn("listi01", "desart");
         error.fields().place = RowPlace{"listi01", 12, {{"codice", "7"}}};
         return error;
       }(),
       "ERRORE : valore Null in listi01.desart (riga 12 di listi01, codice 7)"},
      {"a server step and its reply",
       FatalError("FTP").AtServerStep("CONNESSIONE NON RIUSCITA", "530 Login incorrect."),
       "ERRORE : FTP CONNESSIONE NON RIUSCITA : 530 Login incorrect."},
      {"a server step without a reply",
       FatalError("FTP").AtServerStep("INVIO DI C:\\orbis\\articoli.csv NON RIUSCITO", ""),
       "ERRORE : FTP INVIO DI C:\\orbis\\articoli.csv NON RIUSCITO"},
      {"the library's reason, no server", FatalError("FTP").Because("libcurl non si inizializza"),
       "ERRORE : FTP: libcurl non si inizializza"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportLine(c.error), c.line) << c.what;
}

// The description alone is what(): the fields are no part of it, and adding them changes nothing
// there.
TEST(ReportLineTest, WhatIsTheDescription) {
  FatalError error = FatalError("impossibile scrivere").InFile("C:\\orbis\\articoli.csv.tmp");
  error.fields().place = RowPlace{"codean", 5, {}};
  EXPECT_STREQ(error.what(), "impossibile scrivere");
}

}  // namespace
}  // namespace catpub
