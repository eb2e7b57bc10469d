// The data-access layer alone: opening the database (the password check
// included) and one look-up statement, against a fixture file with as many
// blocks as the delivered database.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/ado.h"
#include "platform/provider_file.h"
#include "tests/support/fixture_db.h"

namespace {

constexpr char kPassword[] = "Rk#5pLx%qN2*zVm8^";
constexpr int kBlocks = 520000;

struct Fixture {
  zorvane_test::TempDir dir;
  std::u16string connection_text;

  Fixture() {
    const auto file = dir / "Mobile_DB.dat";
    zorvane_test::WriteProviderDb(
        file, kPassword,
        "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT, zip TEXT, code TEXT);"
        "WITH RECURSIVE k(n) AS (SELECT 1300000 UNION ALL SELECT n + 1 FROM k WHERE n < " +
            std::to_string(1300000 + kBlocks - 1) +
            ") INSERT INTO Mobile SELECT n, '广东 广州', '中国移动', '510000', '020' FROM k;"
            "CREATE UNIQUE INDEX mobile_num ON Mobile(num);"
            // The delivered file keeps a large value in its metadata too,
            // which the password check must not read.
            "INSERT INTO zorvane_meta VALUES ('lookup_image', zeroblob(1500000));");
    connection_text = u"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + file.u16string() +
                      u";Jet OLEDB:Database Password=Rk#5pLx%qN2*zVm8^;";
  }
};

const Fixture& GetFixture() {
  static const Fixture fixture;
  return fixture;
}

void BM_DerivePasswordVerifier(benchmark::State& state) {
  const provider::PasswordVerifier stored = provider::MakeVerifier(kPassword);
  for ([[maybe_unused]] auto _ : state)
    benchmark::DoNotOptimize(provider::CheckPassword(stored, kPassword));
  state.counters["iterations"] = provider::kDefaultIterations;
}
BENCHMARK(BM_DerivePasswordVerifier)->Unit(benchmark::kMicrosecond);

void BM_OpenConnection(benchmark::State& state) {
  const Fixture& fixture = GetFixture();
  for ([[maybe_unused]] auto _ : state) {
    ado::Connection connection;
    if (!connection.Open(fixture.connection_text, u"", u"", -1)) {
      state.SkipWithError("cannot open the fixture database");
      break;
    }
  }
}
BENCHMARK(BM_OpenConnection)->Unit(benchmark::kMicrosecond);

// What one lookup asks of the layer: open the statement, read two fields, close.
void BM_LookupStatement(benchmark::State& state) {
  const Fixture& fixture = GetFixture();
  ado::Connection connection;
  if (!connection.Open(fixture.connection_text, u"", u"", -1)) {
    state.SkipWithError("cannot open the fixture database");
    return;
  }
  ado::Recordset recordset;
  ado::Variant area;
  ado::Variant carrier;
  for ([[maybe_unused]] auto _ : state) {
    if (!recordset.Open(u"select * from Mobile where num='1380013'", &connection, 3, 3, 1) ||
        !recordset.Collect(u"area", &area) || !recordset.Collect(u"t", &carrier)) {
      state.SkipWithError("lookup failed");
      break;
    }
    (void)recordset.SetFilter(u"");
    (void)recordset.Close();
  }
  benchmark::DoNotOptimize(area);
}
BENCHMARK(BM_LookupStatement);

}  // namespace

int main(int argc, char** argv) {
  ado::Initialize();  // as the program does at start
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ado::Uninitialize();
  return 0;
}
