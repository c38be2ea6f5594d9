// A shop with a catalogue of generated articles, for the end-to-end tests of the publication.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/shop.h"

namespace catpub::testing {

// `count` articles, each with one barcode; `withdrawn` marks every barcode with colare 5, which the
// export leaves out.
inline std::vector<mdbwriter::Table> Catalogue(int count, bool withdrawn = false) {
  std::vector<Row> barcodes, prices;
  for (int i = 0; i < count; ++i) {
    const int32_t code = 1000 + i;
    barcodes.push_back(Row{withdrawn ? db::Value{int16_t{5}} : db::Value{}, code,
                           "80" + std::to_string(10000000000 + i)});
    prices.push_back(Row{code, "ARTICOLO DI PROVA NUMERO " + std::to_string(i),
                         std::string("ALIMENTARI"), std::string("4"), db::Currency{12345},
                         db::Currency{25000 + i}, 21.5, db::Currency{24900},
                         std::string("F") + std::to_string(100 + i % 900)});
  }
  return {Codean(std::move(barcodes)), Listi01(std::move(prices))};
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
