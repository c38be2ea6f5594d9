// The article export timed on generated shop catalogues, beside the two ways there are to read the
// same tables without it:
//   (a) the export: ExportArticles through DataSource, MdbTableSource (reader processes included),
//       DiskNumberedFiles and WindowsFileSystem, as the program runs it;
//   (b) the floor: both tables read in-process through libmdb, every value decoded exactly;
//   (c) mdb-export of both tables to /dev/null.
// Each measure runs in a child process of its own, so that its peak memory is its own; each is
// taken in every round, alternately, and the best wall time counts (the machine is shared). The
// time a measure spent ready to run but waiting for a processor is shown as "queued".
//
//   export_bench [--rounds=N] [--measures=abc] [--folder=FOLDER] [--rows=ROWS,...]
//
// Defaults: 3 rounds, all three measures, the folder catalog-publisher-export-bench under the
// temporary folder, 100000 and 1000000 rows. --measures=a times the export alone (for profiling
// it).
//
// The data database of each size (codean and listi01 of ROWS rows each: about 1% repeated article
// codes, 2% barcodes without a price row, 3% barcodes excluded by colare 5) is written by the
// project's writer on first use and kept, as FOLDER/ROWS/c/orbis/dati.mdb, with the till's row of
// utenti and, in FOLDER/ROWS/c/nodo/orbis.mdb, the company database that names it: a whole shop,
// which the program itself can run on (bench/wine_export_figures.sh times it there).
//
// Targets at 1,000,000 rows: (a) at most 2 x (b) and 0.3 x (c), at most 256 MB of memory in any
// process of the export, and at most 12 x the time of (a) at 100,000 rows.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "db/mdb_table_source.h"
#include "db/reader/mdb_table_reader.h"
#include "db/row_codec.h"
#include "mdbwriter/mdb_writer.h"
#include "named_options.h"
#include "platform/disk_numbered_files.h"
#include "platform/windows_file_system.h"
#include "publish/article_export.h"

namespace catpub {
namespace {

using mdbwriter::ColumnType;
using Clock = std::chrono::steady_clock;

constexpr char kData[] = "C:\\ORBIS\\DATI.MDB";

// ---------------------------------------------------------------------------------------------
// The catalogue. Every value is a function of the row number, so that the generators keep no
// state but their position.

uint64_t Mix(uint64_t x) {  // splitmix64
  x += 0x9e3779b97f4a7c15;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9;
  x = (x ^ (x >> 27)) * 0x94d049bb133111eb;
  return x ^ (x >> 31);
}

constexpr std::array kKinds = {
    "PASTA DI SEMOLA",   "LATTE INTERO",        "CAFFÈ MACINATO",    "BISCOTTI FROLLINI",
    "OLIO EXTRAVERGINE", "PASSATA DI POMODORO", "DETERSIVO PIATTI",  "CARTA IGIENICA",
    "ACQUA MINERALE",    "VINO ROSSO",          "GRANA PADANO",      "PROSCIUTTO COTTO",
    "TÈ VERDE",          "RISO CARNAROLI",      "ZUCCHERO SEMOLATO", "FARINA 00",
    "YOGURT BIANCO",     "MOZZARELLA",          "TONNO ALL'OLIO",    "SHAMPOO",
    "AMMORBIDENTE",      "MERENDINE",           "GNOCCHI DI PATATE", "BIRRA CHIARA"};
constexpr std::array kVarieties = {"BIOLOGICO",  "CLASSICO",        "GRAN GUSTO",    "PIÙ LEGGERO",
                                   "ALLA CREMA", "CON SALE MARINO", "SENZA GLUTINE", "INTEGRALE",
                                   "DELICATO",   "EXTRA",           "DELLA CASA",    "PROMO 3X2"};
constexpr std::array kSizes = {"500 G", "1 KG", "1 L",   "6X1,5 L",
                               "250 G", "4 PZ", "75 CL", "3X80 G"};
constexpr std::array kDepartments = {"ALIMENTARI", "BEVANDE",          "LATTICINI",  "SALUMERIA",
                                     "ORTOFRUTTA", "DROGHERIA",        "PANETTERIA", "SURGELATI",
                                     "ENOTECA",    "IGIENE PERSONALE", "CASALINGHI", "PROFUMERIA"};
constexpr std::array kVat = {"22", "22", "10", "4", "5"};

constexpr int32_t kFirstCode = 100000;

// Every hundredth price row repeats the article of the row 37 places before it.
bool RepeatsArticle(int64_t row) { return row % 100 == 99; }
int32_t ArticleOfPriceRow(int64_t row) {
  return kFirstCode + static_cast<int32_t>(RepeatsArticle(row) ? row - 37 : row);
}
// 3% of the barcodes are excluded by colare 5, 2% (others) point at no price row.
bool Excluded(int64_t row) { return row % 100 == 3 || row % 100 == 41 || row % 100 == 77; }
bool WithoutPrice(int64_t row) { return row % 50 == 17; }

std::string Description(uint64_t h) {
  return std::string(kKinds[h % kKinds.size()]) + " " + kVarieties[(h >> 8) % kVarieties.size()] +
         " " + kSizes[(h >> 16) % kSizes.size()];
}

// 13 digits with their EAN check digit; one in twenty an 8-digit EAN-8.
std::string Barcode(uint64_t h) {
  const bool short_code = h % 20 == 0;
  std::string digits = short_code ? "80" + std::to_string(10000 + (h >> 8) % 90000)
                                  : "80" + std::to_string(1000000000 + (h >> 8) % 9000000000);
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    // Weights 1 and 3 from the left for 12 digits, 3 and 1 for 7.
    const bool heavy = (digits.size() - i) % 2 == 1;
    sum += (digits[i] - '0') * (heavy ? 3 : 1);
  }
  return digits + static_cast<char>('0' + (10 - sum % 10) % 10);
}

db::Value SupplierCode(uint64_t h) {
  switch (h % 10) {
    case 6:
    case 7:
      return "FO-" + std::to_string(h % 100000) + "-B";
    case 8:
      return std::string();
    case 9:
      return std::monostate{};
    default: {
      std::string digits = std::to_string(h % 10000000);
      return std::string(7 - digits.size(), '0') + digits;
    }
  }
}

void PriceRow(int64_t row, std::vector<db::Value>& out) {
  const uint64_t h = Mix(static_cast<uint64_t>(row));
  const int64_t cents = 49 + static_cast<int64_t>(h % 4951);
  const int64_t przsal = cents * 100;
  const int64_t przpub = (cents * 11 + 9) / 10 * 100;
  const int64_t cosiva = przsal * (550 + static_cast<int64_t>((h >> 20) % 250)) / 1000;
  db::Value ricart = std::monostate{};
  if ((h >> 32) % 20 != 0) {
    ricart = std::round(static_cast<double>(przsal - cosiva) / static_cast<double>(cosiva) * 1e4) /
             100.0;
  }
  out = {ArticleOfPriceRow(row),
         Description(RepeatsArticle(row) ? h : Mix(static_cast<uint64_t>(row) + 7)),
         SupplierCode(h >> 40),
         std::string(kDepartments[(h >> 24) % kDepartments.size()]),
         std::string(kVat[(h >> 28) % kVat.size()]),
         db::Currency{przpub},
         db::Currency{cosiva},
         db::Currency{przsal},
         ricart,
         static_cast<int32_t>(h % 500)};
}

void BarcodeRow(int64_t row, int64_t rows, std::vector<db::Value>& out) {
  const uint64_t h = Mix(static_cast<uint64_t>(row) ^ 0x5eed);
  db::Value colare = std::monostate{};
  if (Excluded(row)) {
    colare = int16_t{5};
  } else if (h % 10 == 0) {
    colare = int16_t{1};
  }
  int32_t codare = 900000000 + static_cast<int32_t>(row);
  if (!WithoutPrice(row)) codare = ArticleOfPriceRow(static_cast<int64_t>((h >> 8) % rows));
  out = {colare, codare, Barcode(h >> 4)};
}

void WriteCatalogue(const std::filesystem::path& file, int64_t rows) {
  int64_t next_barcode = 0, next_price = 0;
  mdbwriter::Table codean{"codean",
                          {{"colare", ColumnType::kInteger},
                           {"codare", ColumnType::kLong},
                           {"eanare", ColumnType::kText, 13}},
                          {},
                          [=](std::vector<db::Value>& row) mutable {
                            if (next_barcode == rows) return false;
                            BarcodeRow(next_barcode++, rows, row);
                            return true;
                          }};
  mdbwriter::Table listi01{"listi01",
                           {{"codart", ColumnType::kLong},
                            {"desart", ColumnType::kText, 50},
                            {"codafo", ColumnType::kText, 16},
                            {"desrep", ColumnType::kText, 30},
                            {"ivart", ColumnType::kText, 2},
                            {"przpub", ColumnType::kCurrency},
                            {"cosiva", ColumnType::kCurrency},
                            {"przsal", ColumnType::kCurrency},
                            {"ricart", ColumnType::kDouble},
                            {"giacen", ColumnType::kLong}},
                           {},
                           [=](std::vector<db::Value>& row) mutable {
                             if (next_price == rows) return false;
                             PriceRow(next_price++, row);
                             return true;
                           }};
  mdbwriter::Table utenti{"utenti",
                          {{"codutente", ColumnType::kLong},
                           {"nrpos", ColumnType::kInteger},
                           {"codattiv", ColumnType::kLong}},
                          {{int32_t{1}, int16_t{1}, int32_t{12}}},
                          {}};
  mdbwriter::WriteDatabase(file, {codean, listi01, utenti});
}

// The company database of drive C:, whose company 1 keeps its data in C:\orbis\dati.mdb.
void WriteCompany(const std::filesystem::path& file) {
  std::filesystem::create_directories(file.parent_path());
  mdbwriter::WriteDatabase(
      file, {{"società",
              {{"codute", ColumnType::kInteger}, {"database", ColumnType::kText, 255}},
              {{int16_t{1}, std::string(kData)}},
              {}},
             {"inizio", {{"codute", ColumnType::kInteger}}, {{int16_t{1}}}, {}}});
}

int64_t ExpectedLines(int64_t rows) {
  int64_t lines = 0;
  for (int64_t row = 0; row < rows; ++row) lines += !Excluded(row) && !WithoutPrice(row);
  return lines;
}

// ---------------------------------------------------------------------------------------------
// Measuring.

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(const rusage& usage) {
  auto seconds = [](timeval t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

rusage Usage(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage;
}

struct Measure {
  double wall = 0;
  double main_cpu = 0;
  double child_cpu = 0;
  double main_peak_mb = 0;   // the measuring process
  double child_peak_mb = 0;  // its largest child (reader, mdb-export)
  int64_t count = 0;         // rows read, as a check
  double queued = 0;         // of the wall time, waiting for a processor while ready to run
  bool ok = false;
};

// Seconds this process has spent ready to run but waiting for a processor (the machine is shared),
// from the scheduler's statistics; 0 when they are not available.
double QueuedSeconds() {
  std::ifstream in("/proc/self/schedstat");
  double running = 0, waiting = 0;
  in >> running >> waiting;
  return waiting / 1e9;
}

// Runs `work` in a child process and returns what it measured; the child's own peak memory and
// processor time, and its children's, are added here.
template <typename Work>
Measure InChild(Work work) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    Measure measure;
    try {
      measure = work();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "failed: %s\n", error.what());
      measure.ok = false;
    }
    const rusage self = Usage(RUSAGE_SELF), children = Usage(RUSAGE_CHILDREN);
    measure.main_cpu = CpuSeconds(self);
    measure.child_cpu = CpuSeconds(children);
    measure.main_peak_mb = static_cast<double>(self.ru_maxrss) / 1024.0;
    measure.child_peak_mb = static_cast<double>(children.ru_maxrss) / 1024.0;
    if (write(pipe_fds[1], &measure, sizeof measure) != sizeof measure) _exit(2);
    _exit(0);
  }
  close(pipe_fds[1]);
  Measure measure;
  if (read(pipe_fds[0], &measure, sizeof measure) != sizeof measure) measure.ok = false;
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return measure;
}

// (a)
Measure Export(const std::filesystem::path& drives) {
  platform::WindowsFileSystem fs(drives, drives / "c");
  platform::DiskNumberedFiles files(fs);
  db::ReaderOptions options;
  options.executable = CATPUB_READER_EXE;
  db::MdbTableSource tables(fs, options);
  db::DataSource codean(tables), listi01(tables);
  Measure measure;
  const double queued = QueuedSeconds();
  auto start = Clock::now();
  measure.ok = publish::ExportArticles(kData, codean, listi01, files, fs).has_value();
  measure.wall = Seconds(Clock::now() - start);
  measure.queued = QueuedSeconds() - queued;
  return measure;
}

// What a plain reader does with each row: decodes every value.
class DecodingSink : public db::reader::TableSink {
 public:
  void Begin(uint32_t, const std::vector<std::string>& columns) override {
    row_.resize(columns.size());
  }
  void End(int64_t) override {}
  void Row(std::string_view encoded) override {
    db::DecodeRow(encoded, 0, row_);
    ++rows;
  }
  int64_t rows = 0;

 private:
  std::vector<db::Value> row_;
};

// (b)
Measure PlainDecode(const std::filesystem::path& file) {
  Measure measure;
  DecodingSink sink;
  const double queued = QueuedSeconds();
  auto start = Clock::now();
  measure.ok =
      db::reader::ReadMdbTable(file.string(), "codean", sink) == db::reader::TableRead::kRead &&
      db::reader::ReadMdbTable(file.string(), "listi01", sink) == db::reader::TableRead::kRead;
  measure.wall = Seconds(Clock::now() - start);
  measure.queued = QueuedSeconds() - queued;
  measure.count = sink.rows;
  return measure;
}

// (c)
Measure MdbExport(const std::filesystem::path& file) {
  Measure measure;
  measure.ok = true;
  auto start = Clock::now();
  for (const char* table : {"codean", "listi01"}) {
    pid_t pid = fork();
    if (pid == 0) {
      int null_fd = open("/dev/null", O_WRONLY);
      dup2(null_fd, 1);
      execlp("mdb-export", "mdb-export", file.c_str(), table, static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    measure.ok = measure.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  measure.wall = Seconds(Clock::now() - start);
  return measure;
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

struct Best {
  Measure best;
  double main_peak_mb = 0;
  double child_peak_mb = 0;
  void Add(const Measure& m) {
    if (best.wall == 0 || m.wall < best.wall) best = m;
    main_peak_mb = std::max(main_peak_mb, m.main_peak_mb);
    child_peak_mb = std::max(child_peak_mb, m.child_peak_mb);
  }
};

struct SizeResult {
  int64_t rows = 0;
  Best exported, decoded, mdb_exported;
};

// Checks that a measure ran and produced `expected` of what it counts (`counted`).
bool Check(const Measure& m, const char* what, int64_t expected, int64_t counted) {
  if (m.ok && counted == expected) return true;
  std::fprintf(stderr, "\n%s: failed or wrong count (%lld, expected %lld)\n", what,
               static_cast<long long>(counted), static_cast<long long>(expected));
  return false;
}

int64_t LinesOf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> chunk(1 << 20);
  int64_t lines = 0;
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    lines += std::count(chunk.data(), chunk.data() + in.gcount(), '\n');
  }
  return lines;
}

struct Options {
  int rounds = 3;
  std::string measures = "abc";
  bool Takes(char measure) const { return measures.find(measure) != std::string::npos; }
};

// " | (b) plain decode 0.712 s (queued 0.30 s; cpu 0.43 s; peak 3 MB)"
void PrintMeasure(const char* name, const Measure& m) {
  std::printf(" | %s %.3f s (", name, m.wall);
  if (m.queued > 0) std::printf("queued %.2f s; ", m.queued);
  std::printf("cpu %.2f s", m.main_cpu + m.child_cpu);
  if (m.child_cpu > 0) std::printf(": main %.2f s, children %.2f s", m.main_cpu, m.child_cpu);
  std::printf("; peak %.0f MB", m.main_peak_mb);
  if (m.child_peak_mb > 0) std::printf(", children %.0f MB", m.child_peak_mb);
  std::printf(")");
}

bool RunSize(const std::filesystem::path& folder, int64_t rows, const Options& options,
             SizeResult& result) {
  const std::filesystem::path drives = folder / std::to_string(rows);
  const std::filesystem::path file = drives / "c/orbis/dati.mdb";
  const std::filesystem::path company = drives / "c/nodo/orbis.mdb";
  if (!std::filesystem::exists(file) || !std::filesystem::exists(company)) {
    std::filesystem::create_directories(file.parent_path() / "bkp");
    WriteCompany(company);
    auto start = Clock::now();
    WriteCatalogue(file, rows);
    std::printf("wrote %lld + %lld rows (%.0f MB) in %.1f s\n", static_cast<long long>(rows),
                static_cast<long long>(rows),
                static_cast<double>(std::filesystem::file_size(file)) / 1e6,
                Seconds(Clock::now() - start));
  }
  result.rows = rows;
  for (int round = 1; round <= options.rounds; ++round) {
    std::printf("%7lld rows, round %d", static_cast<long long>(rows), round);
    if (options.Takes('a')) {
      Measure a = InChild([&] { return Export(drives); });
      if (!Check(a, "export", ExpectedLines(rows), LinesOf(drives / "c/orbis/articoli.csv"))) {
        return false;
      }
      result.exported.Add(a);
      PrintMeasure("(a) export", a);
    }
    if (options.Takes('b')) {
      Measure b = InChild([&] { return PlainDecode(file); });
      if (!Check(b, "plain decode", 2 * rows, b.count)) return false;
      result.decoded.Add(b);
      PrintMeasure("(b) plain decode", b);
    }
    if (options.Takes('c')) {
      Measure c = InChild([&] { return MdbExport(file); });
      if (!Check(c, "mdb-export", 0, 0)) return false;
      result.mdb_exported.Add(c);
      PrintMeasure("(c) mdb-export", c);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  return true;
}

void Target(const char* what, bool met) {
  std::printf("  %-52s %s\n", what, met ? "met" : "MISSED");
}

int Run(const std::filesystem::path& folder, const std::vector<int64_t>& sizes,
        const Options& options) {
  std::printf("load average at start: %s (%ld processors)\n", LoadAverage().c_str(),
              sysconf(_SC_NPROCESSORS_ONLN));
  std::vector<SizeResult> results;
  for (int64_t rows : sizes) {
    results.emplace_back();
    if (!RunSize(folder, rows, options, results.back())) return 1;
  }
  std::printf(
      "load average at end: %s\n\nbest of %d rounds (wall time; peak memory of any round):\n",
      LoadAverage().c_str(), options.rounds);
  std::printf("%9s %9s %9s %9s %8s %8s %10s %10s\n", "rows", "(a) s", "(b) s", "(c) s", "(a)/(b)",
              "(a)/(c)", "(a) main", "(a) reader");
  for (const SizeResult& r : results) {
    const double a = r.exported.best.wall, b = r.decoded.best.wall, c = r.mdb_exported.best.wall;
    std::printf("%9lld %9.3f %9.3f %9.3f %8.2f %8.2f %7.0f MB %7.0f MB\n",
                static_cast<long long>(r.rows), a, b, c, a / b, a / c, r.exported.main_peak_mb,
                r.exported.child_peak_mb);
  }
  // Processor time is less at the mercy of the other users of the machine than wall time.
  std::printf("processor time in the same rounds:\n");
  for (const SizeResult& r : results) {
    auto cpu = [](const Best& best) { return best.best.main_cpu + best.best.child_cpu; };
    std::printf("%9lld %9.3f %9.3f %9.3f %8.2f %8.2f   (a): main %.3f s, reader %.3f s\n",
                static_cast<long long>(r.rows), cpu(r.exported), cpu(r.decoded),
                cpu(r.mdb_exported), cpu(r.exported) / cpu(r.decoded),
                cpu(r.exported) / cpu(r.mdb_exported), r.exported.best.main_cpu,
                r.exported.best.child_cpu);
  }
  const SizeResult* small = nullptr;
  const SizeResult* large = nullptr;
  for (const SizeResult& r : results) {
    if (r.rows == 100000) small = &r;
    if (r.rows == 1000000) large = &r;
  }
  if (large && options.Takes('a')) {
    const double a = large->exported.best.wall;
    std::printf("targets at 1,000,000 rows:\n");
    if (options.Takes('b')) Target("(a) <= 2 x (b)", a <= 2 * large->decoded.best.wall);
    if (options.Takes('c')) Target("(a) <= 0.3 x (c)", a <= 0.3 * large->mdb_exported.best.wall);
    Target("peak memory <= 256 MB (main process and reader)",
           large->exported.main_peak_mb <= 256 && large->exported.child_peak_mb <= 256);
    if (small) {
      Target("(a) at 1,000,000 <= 12 x (a) at 100,000", a <= 12 * small->exported.best.wall);
    }
  }
  return 0;
}

}  // namespace
}  // namespace catpub

int main(int argc, char** argv) {
  const auto named = catpub::bench::NamedOptions(
      argc, argv, {"rounds", "measures", "folder", "rows"},
      "export_bench [--rounds=N] [--measures=abc] [--folder=FOLDER] [--rows=ROWS,...]");
  if (!named) return 2;
  catpub::Options options;
  if (named->contains("rounds")) options.rounds = std::max(1, std::stoi(named->at("rounds")));
  if (named->contains("measures")) options.measures = named->at("measures");
  const std::filesystem::path folder =
      named->contains("folder")
          ? std::filesystem::path(named->at("folder"))
          : std::filesystem::temp_directory_path() / "catalog-publisher-export-bench";
  std::vector<int64_t> sizes;
  if (named->contains("rows")) {
    std::string rows = named->at("rows");
    for (size_t start = 0; start <= rows.size();) {
      const size_t comma = std::min(rows.find(',', start), rows.size());
      sizes.push_back(std::stoll(rows.substr(start, comma - start)));
      start = comma + 1;
    }
  }
  if (sizes.empty()) sizes = {100000, 1000000};
  return catpub::Run(folder, sizes, options);
}
