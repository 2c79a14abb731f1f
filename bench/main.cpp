// zek_bench: how fast zek moves programs and what it costs, beside the plain
// tools a user could use instead. Loopback only; every wait is bounded.
//   zek_bench [--large-mb N] [--small-mb N] [--records-mb N] [--work DIR] [--keep]
//   zek_bench --reference KIND PORT FILE     (a reference peer; see reference_peers.h)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "program_generator.h"
#include "reference_peers.h"
#include "report.h"
#include "rows.h"

namespace {

constexpr double bytesPerMegabyte = 1e6;

struct BenchOptions {
    double largeMb = 20;   // Protocol B tape
    double smallMb = 1;    // the same rows again, to show memory stays flat
    double recordsMb = 5;  // Protocol A program
    std::string workDir;   // "" for a fresh directory under /tmp
    bool keep = false;
};

bool parseOptions(int argc, char** argv, BenchOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool valued = i + 1 < argc;
        if (option == "--keep")
            options.keep = true;
        else if (option == "--large-mb" && valued)
            options.largeMb = std::atof(argv[++i]);
        else if (option == "--small-mb" && valued)
            options.smallMb = std::atof(argv[++i]);
        else if (option == "--records-mb" && valued)
            options.recordsMb = std::atof(argv[++i]);
        else if (option == "--work" && valued)
            options.workDir = argv[++i];
        else
            return false;
    }
    return options.largeMb > 0 && options.smallMb > 0 && options.recordsMb > 0;
}

bool makeDataSet(const std::string& dir, double megabytes, DataSet& data)
{
    std::filesystem::create_directories(dir);
    GeneratedProgram program = generateProgram(dir, long(megabytes * bytesPerMegabyte));
    data.dir = dir;
    if (program.mainPath.empty()) {
        std::fprintf(stderr, "zek_bench: cannot write the program into %s\n", dir.c_str());
        return false;
    }
    std::fprintf(stderr, "generated %s: MAIN.NC %ld bytes, %ld lines, %ld call lines\n", dir.c_str(), program.mainBytes,
                 program.mainLines, program.callLines);
    return true;
}

// The Protocol B rows on one data set; the file row comes first, since its
// output is the tape that the other rows send and compare.
void measureTapeRows(DataSet& data, std::vector<RowPair>& pairs)
{
    std::fprintf(stderr, "measuring the Protocol B rows in %s\n", data.dir.c_str());
    pairs.push_back(medianOfRuns([&] { return measureSendToFile(data); }));
    data.filePunchOut = pairs.back().zek;
    pairs.push_back(medianOfRuns([&] { return measureSendToTcp(data); }));
    pairs.push_back(medianOfRuns([&] { return measureSendToPty(data); }));
    pairs.push_back(medianOfRuns([&] { return measureSendToPtyOnDc1(data); }));
    pairs.push_back(medianOfRuns([&] { return measureTapeFeedToPty(data); }));
    pairs.push_back(medianOfRuns([&] { return measureReceiveServer(data); }));
    pairs.push_back(medianOfRuns([&] { return measureReceiveClient(data); }));
}

void measureRecordRows(const DataSet& data, std::vector<RowPair>& pairs)
{
    std::fprintf(stderr, "measuring the Protocol A rows in %s\n", data.dir.c_str());
    pairs.push_back(medianOfRuns([&] { return measureRecordsSend(data); }));
    pairs.push_back(medianOfRuns([&] { return measureRecordsReceive(data); }));
}

std::vector<RowReport> namedRows()
{
    return {
        {"B punch-out to file (`-c\\out.nc`)", "cat of the same tape", {}, {}, false},
        {"B punch-out to TCP (`-c127.0.0.1:P`)", "socket copy of the same tape", {}, {}, false},
        {"B punch-out to a pty, CTS flow (`-c/dev/pts/N`)", "zek's punch-out to file", {}, {}, false},
        {"B punch-out to a pty, DC1/DC3 flow (`-d`)", "zek's punch-out to file", {}, {}, false},
        {"B punch-out to a pty with leader and trailer (`-t`)", "zek's punch-out to file", {}, {}, false},
        {"B receive, server (`-s`)", "socket copy to a file", {}, {}, false},
        {"B receive, client (`-r -i`)", "socket copy to a file", {}, {}, false},
        {"A send (`-g`)", "lockstep records, raw calls", {}, {}, true},
        {"A receive (`-R`)", "lockstep records, raw calls", {}, {}, true},
    };
}

int runBench(const BenchOptions& options)
{
    std::string work = options.workDir;
    if (work.empty()) {
        char pattern[] = "/tmp/zek-bench-XXXXXX";
        if (!mkdtemp(pattern))
            return 1;
        work = pattern;
    }
    DataSet tapeSmall, tapeLarge, recordsSmall, recordsLarge;
    if (!makeDataSet(work + "/tape-small", options.smallMb, tapeSmall) ||
        !makeDataSet(work + "/tape-large", options.largeMb, tapeLarge) ||
        !makeDataSet(work + "/records-small", options.smallMb, recordsSmall) ||
        !makeDataSet(work + "/records-large", options.recordsMb, recordsLarge))
        return 1;
    std::vector<RowPair> small, large;
    measureTapeRows(tapeSmall, small);
    measureTapeRows(tapeLarge, large);
    measureRecordRows(recordsSmall, small);
    measureRecordRows(recordsLarge, large);

    std::vector<RowReport> rows = namedRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].small = small[i];
        rows[i].large = large[i];
    }
    printMachine();
    printSpeedTable(rows);
    printCostTable(rows, "small run", "large run");
    bool passed = printFailures(rows);
    if (!options.keep && options.workDir.empty())
        std::filesystem::remove_all(work);
    else
        std::printf("Work files kept in %s\n", work.c_str());
    return passed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--reference") == 0)
        return runReferencePeer(argv[2], argv[3], argv[4]);
    BenchOptions options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: zek_bench [--large-mb N] [--small-mb N] [--records-mb N] "
                             "[--work DIR] [--keep]\n");
        return 2;
    }
    setBenchExecutable(std::filesystem::canonical("/proc/self/exe").string());
    return runBench(options);
}
