#include "app/command_line.h"

#include <string>
#include <string_view>

namespace catpub::app {
namespace {

constexpr char kUsage[] = "uso: catalog-publisher [--help | --version]";

// Italian, as every text of the program; the paths are the Windows ones the shop knows. They are
// written out rather than made from platform::kShopFolder: the text is prose laid out by hand for a
// terminal's width, and its test holds the paths to the constants.
constexpr char kHelp[] =
    "uso: catalog-publisher [--help | --version]\n"
    "\n"
    "Pubblica il catalogo articoli del negozio. Ogni avvio senza argomenti esegue una\n"
    "pubblicazione: apre il registro C:\\orbis\\bkp\\logrul3_ggmmaaaa.txt, trova il database\n"
    "aziendale \\nodo\\orbis.mdb sull'unità corrente e il database dei dati indicato nella "
    "tabella\n"
    "società, scrive C:\\orbis\\articoli.csv e lo invia per FTP al server di pubblicazione.\n"
    "\n"
    "Ambiente:\n"
    "  CATALOG_PUBLISHER_DRIVES  cartella delle unità: X: è la sua sottocartella x (predefinita\n"
    "                            /mnt, come in WSL); l'unità corrente è quella che contiene la\n"
    "                            cartella di lavoro\n"
    "  DISPLAY                   senza display la finestra non compare e la corsa non attende\n"
    "\n"
    "Stato di uscita: 0 catalogo pubblicato (o nulla da pubblicare), 1 errore di configurazione,\n"
    "2 invio FTP non riuscito, 3 errore grave, 64 argomenti non validi.\n"
    "\n"
    "Vedere catalog-publisher(8).\n";

}  // namespace

std::optional<ExitStatus> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out,
                                            std::FILE* err) {
  if (argc <= 1) return std::nullopt;
  const std::string_view word = argv[1];
  if (argc == 2 && word == "--help") {
    std::fputs(kHelp, out);
    return kSuccess;
  }
  if (argc == 2 && word == "--version") {
    std::fputs("catalog-publisher " CATPUB_VERSION "\n", out);
    return kSuccess;
  }
  // The first word that makes the line wrong: an unknown one, or one after --help or --version.
  std::string wrong = word == "--help" || word == "--version" ? argv[2] : argv[1];
  // The refusal stays one line whatever the scheduler passed.
  for (char& c : wrong) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  std::fprintf(err, "catalog-publisher: argomento non valido \"%s\"; %s\n", wrong.c_str(), kUsage);
  return kUsageError;
}

}  // namespace catpub::app
