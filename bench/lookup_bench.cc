// The price-list lookups of an export, timed: a million "select * from listi01 where codart = N"
// through a DataSource over the real table source (reader process included), beside one plain
// in-process exact decode of the same table through libmdb, with the peak memory of both
// processes. The million-row file is written by the project's writer on first use and kept.
//
//   lookup_bench [--folder=FOLDER] [--rows=ROWS]
//
// Defaults: the folder catalog-publisher-bench under the temporary folder, 1000000 rows.
//
// Target: the lookups take at most 3 times the plain decode, and the program stays well under
// 256 MB. Each measure is taken three times, alternately, and the medians are compared; processor
// times are printed too, since wall times on a shared machine vary with its load. The first round
// also pays for the kernel's first touch of the index's memory.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "db/mdb_table_source.h"
#include "db/reader/mdb_table_reader.h"
#include "db/row_codec.h"
#include "fakes/folder_file_system.h"
#include "mdbwriter/mdb_writer.h"
#include "named_options.h"
#include "support/shop.h"

namespace catpub {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kData[] = "C:\\ORBIS\\DATI.MDB";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Processor time (user and system) in seconds used so far by this process, or by its reaped
// children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](timeval t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Peak resident memory in MB of this process, or of its largest reaped child.
double PeakMb(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Article codes 1..rows, stored in order, with texts of realistic lengths.
void WritePriceList(const std::filesystem::path& file, int32_t rows) {
  int32_t next = 1;
  mdbwriter::Table listi01{
      "listi01", testing::Listi01Columns(), {}, [&](std::vector<db::Value>& row) {
        if (next > rows) return false;
        int32_t code = next++;
        row = {code,
               "ARTICOLO " + std::to_string(code) + " VITE TESTA SVASATA " +
                   std::to_string(code % 97) + " MM ZINCATA",
               "FERRAMENTA REPARTO " + std::to_string(code % 40),
               std::string(code % 5 ? "22" : "10"),
               db::Currency{int64_t{code} * 37 % 1000000},
               db::Currency{int64_t{code} * 53 % 2000000},
               code % 7 ? db::Value(1.0 + code % 100 / 100.0) : db::Value(std::monostate{}),
               db::Currency{int64_t{code} * 51 % 2000000},
               "FO-" + std::to_string(code * 7)};
        return true;
      }};
  mdbwriter::WriteDatabase(file, {listi01});
}

// The plain way to read a table exactly, in-process and unprotected: every row decoded into values.
class DecodingSink : public db::reader::TableSink {
 public:
  void Begin(uint32_t, const std::vector<std::string>& columns) override {
    row.resize(columns.size());
  }
  void End(int64_t) override {}
  void Row(std::string_view encoded) override {
    db::DecodeRow(encoded, 0, row);
    ++rows;
    bytes += encoded.size();
  }
  std::vector<db::Value> row;
  uint64_t rows = 0;
  uint64_t bytes = 0;
};

// What the export reads of each article, through columns bound once, as it does.
class ReadLikeTheExport {
 public:
  explicit ReadLikeTheExport(db::DataSource& listi01) : listi01_(listi01) {
    for (const char* column : {"desart", "desrep", "ivart", "cosiva", "przpub", "przsal"}) {
      always_.push_back(listi01.Bind(column));
    }
  }
  size_t operator()() const {
    size_t used = 0;
    for (db::DataSource::Column column : always_) used += listi01_.Field(column).index();
    if (!listi01_.IsNull(ricart_)) used += listi01_.Field(ricart_).index();
    if (!listi01_.IsNull(codafo_)) used += listi01_.Field(codafo_).index();
    return used;
  }

 private:
  db::DataSource& listi01_;
  std::vector<db::DataSource::Column> always_;
  db::DataSource::Column ricart_ = listi01_.Bind("ricart");
  db::DataSource::Column codafo_ = listi01_.Bind("codafo");
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Lookups {
  double seconds = 0;
  double main_cpu = 0;
  double reader_cpu = 0;
  double first = 0;  // the first lookup, which reads the table
  size_t found = 0;
  size_t used = 0;
};

// `rows` lookups of codes 1..rows in a scattered order, each read as the export reads it.
Lookups LookUpAll(db::TableSource& source, int32_t rows) {
  Lookups result;
  db::DataSource listi01(source);
  const ReadLikeTheExport read_like_the_export(listi01);
  uint64_t code = 1;
  const double main_cpu = CpuSeconds(RUSAGE_SELF);
  const double reader_cpu = CpuSeconds(RUSAGE_CHILDREN);
  auto start = Clock::now();
  for (int32_t i = 0; i < rows; ++i) {
    code = (code * 48271) % 2147483647;
    listi01.SetDatabaseName(kData);
    listi01.SetRecordSource("select * from listi01 where codart = " +
                            std::to_string(code % static_cast<uint64_t>(rows) + 1));
    listi01.Refresh();
    if (i == 0) result.first = Seconds(Clock::now() - start);
    if (listi01.Eof()) continue;
    ++result.found;
    result.used += read_like_the_export();
  }
  result.seconds = Seconds(Clock::now() - start);
  result.main_cpu = CpuSeconds(RUSAGE_SELF) - main_cpu;
  result.reader_cpu = CpuSeconds(RUSAGE_CHILDREN) - reader_cpu;
  return result;
}

int Run(const std::filesystem::path& folder, int32_t rows) {
  testing::FolderFileSystem files(folder / std::to_string(rows));
  const std::filesystem::path local = files.LocalPath(kData);
  if (!std::filesystem::exists(local)) {
    std::filesystem::create_directories(local.parent_path());
    auto start = Clock::now();
    WritePriceList(local, rows);
    std::printf("wrote %d rows (%.0f MB) in %.2f s\n", rows,
                static_cast<double>(std::filesystem::file_size(local)) / 1e6,
                Seconds(Clock::now() - start));
  }

  db::ReaderOptions options;
  options.executable = CATPUB_READER_EXE;
  db::MdbTableSource source(files, options);
  // The machine is shared: each measure is taken three times, alternately, and the medians count.
  std::vector<double> decodes, lookups, firsts, decode_cpus, main_cpus, reader_cpus;
  size_t used = 0;
  double main_peak = 0, reader_peak = 0;
  for (int round = 0; round < 3; ++round) {
    Lookups run = LookUpAll(source, rows);
    lookups.push_back(run.seconds);
    firsts.push_back(run.first);
    used += run.used;
    if (round == 0) {
      main_peak = PeakMb(RUSAGE_SELF);
      reader_peak = PeakMb(RUSAGE_CHILDREN);
    }
    main_cpus.push_back(run.main_cpu);
    reader_cpus.push_back(run.reader_cpu);
    DecodingSink sink;
    const double cpu = CpuSeconds(RUSAGE_SELF);
    auto start = Clock::now();
    db::reader::ReadMdbTable(local.string(), "listi01", sink);
    decodes.push_back(Seconds(Clock::now() - start));
    decode_cpus.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
    if (sink.rows != static_cast<uint64_t>(rows) || run.found != sink.rows) {
      std::fprintf(stderr, "wrong row count\n");
      return 1;
    }
    std::printf(
        "round %d: plain in-process decode %.3f s (cpu %.3f s); %d lookups %.3f s (first "
        "%.3f s; cpu: main %.3f s, reader %.3f s): %.2f x\n",
        round + 1, decodes.back(), decode_cpus.back(), rows, lookups.back(), firsts.back(),
        main_cpus.back(), reader_cpus.back(), lookups.back() / decodes.back());
  }
  std::printf(
      "median: plain in-process decode %.3f s; %d lookups through DataSource %.3f s, of "
      "which reading the table %.3f s: %.2f x the plain decode\n",
      Median(decodes), rows, Median(lookups), Median(firsts), Median(lookups) / Median(decodes));
  std::printf(
      "processor time (medians): plain decode %.3f s; lookups: main process %.3f s, "
      "reader process %.3f s\n",
      Median(decode_cpus), Median(main_cpus), Median(reader_cpus));
  std::printf(
      "peak memory: main process %.0f MB (before the in-process decodes), reader process "
      "%.0f MB (checksum %zu)\n",
      main_peak, reader_peak, used);
  return 0;
}

}  // namespace
}  // namespace catpub

int main(int argc, char** argv) {
  const auto named = catpub::bench::NamedOptions(argc, argv, {"folder", "rows"},
                                                 "lookup_bench [--folder=FOLDER] [--rows=ROWS]");
  if (!named) return 2;
  const std::filesystem::path folder =
      named->contains("folder")
          ? std::filesystem::path(named->at("folder"))
          : std::filesystem::temp_directory_path() / "catalog-publisher-bench";
  const int32_t rows = named->contains("rows") ? std::stoi(named->at("rows")) : 1000000;
  return catpub::Run(folder, rows);
}
