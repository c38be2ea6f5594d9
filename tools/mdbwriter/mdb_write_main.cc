// mdb-write OUT.mdb DESCRIPTION.json: writes a new Access 2000 database described in JSON (format:
// description_json.h; "-" reads the description from standard input). Exit status 0 when written,
// 1 when the description or a value is wrong or the file cannot be written, 2 for a wrong command
// line.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

#include "mdbwriter/description_json.h"
#include "mdbwriter/mdb_writer.h"

namespace {

std::string ReadAll(const std::string& path) {
  if (path == "-") {
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: mdb-write OUT.mdb DESCRIPTION.json\n";
    return 2;
  }
  try {
    const auto description = catpub::mdbwriter::ParseDescription(ReadAll(argv[2]));
    catpub::mdbwriter::WriteDatabase(argv[1], description.tables, description.catalog_stored_rows);
  } catch (const std::runtime_error& error) {
    std::cerr << "mdb-write: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
