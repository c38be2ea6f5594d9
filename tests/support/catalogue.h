// A shop with a catalogue of generated articles, for the end-to-end tests of the publication.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/shop.h"

namespace catpub::testing {

// `count` articles, each with one barcode; `withdrawn` marks every barcode with colare 5, which the
// export leaves out. The rows are made as they are written, so that a catalogue of hundreds of
// thousands of articles takes no memory.
inline std::vector<mdbwriter::Table> Catalogue(int count, bool withdrawn = false) {
  mdbwriter::Table codean = Codean({});
  codean.generate = [i = 0, count, withdrawn](Row& row) mutable {
    if (i == count) return false;
    row = Row{withdrawn ? db::Value{int16_t{5}} : db::Value{}, int32_t{1000 + i},
              "80" + std::to_string(10000000000 + i)};
    ++i;
    return true;
  };
  mdbwriter::Table listi01 = Listi01({});
  listi01.generate = [i = 0, count](Row& row) mutable {
    if (i == count) return false;
    row = Row{int32_t{1000 + i},
              "ARTICOLO DI PROVA NUMERO " + std::to_string(i),
              std::string("ALIMENTARI"),
              std::string("4"),
              db::Currency{12345},
              db::Currency{25000 + i},
              21.5,
              db::Currency{24900},
              std::string("F") + std::to_string(100 + i % 900)};
    ++i;
    return true;
  };
  return {std::move(codean), std::move(listi01)};
}

// A shop whose utenti row gives `codattiv` (no row at all for nullopt), with `tables` beside it.
inline void WriteShop(Shop& shop, std::optional<db::Value> codattiv,
                      std::vector<mdbwriter::Table> tables) {
  shop.CompanyDatabase("C:\\Orbis\\Dati.mdb");
  std::vector<Row> users;
  if (codattiv) users.push_back(Row{int32_t{1}, int16_t{3}, *codattiv});
  tables.insert(tables.begin(), Utenti(std::move(users)));
  shop.DataDatabase("c/orbis/dati.mdb", std::move(tables));
}

}  // namespace catpub::testing
