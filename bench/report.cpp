#include "report.h"

#include <cstdio>
#include <fstream>
#include <sys/utsname.h>
#include <thread>

namespace {

constexpr double kilobytesPerMegabyte = 1024.0;

std::string firstLineWith(const char* path, const std::string& key)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            std::size_t colon = line.find(':');
            std::size_t text = line.find_first_not_of(" \t", colon + 1);
            return text == std::string::npos ? "" : line.substr(text);
        }
    }
    return "unknown";
}

double rate(double amount, double seconds)
{
    return seconds > 0 ? amount / seconds : 0;
}

std::string recordsPerSecond(const RowReport& row, const Measure& measure)
{
    if (!row.records)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", rate(double(measure.records), measure.seconds));
    return text;
}

double megabytesOfRss(long kilobytes)
{
    return double(kilobytes) / kilobytesPerMegabyte;
}

double cpuPerMegabyte(const Measure& measure)
{
    return measure.bytes > 0 ? measure.cpuSeconds / megabytesOf(measure) : 0;
}

const char* compilerName()
{
#ifdef __clang__
    return "clang";
#else
    return "gcc";
#endif
}

}  // namespace

void printMachine()
{
    utsname system{};
    uname(&system);
    std::printf("Machine: %u cores (nproc), %s, memory %s, kernel %s %s, compiler %s %s\n\n",
                std::thread::hardware_concurrency(), firstLineWith("/proc/cpuinfo", "model name").c_str(),
                firstLineWith("/proc/meminfo", "MemTotal").c_str(), system.sysname, system.release, compilerName(),
                __VERSION__);
}

void printSpeedTable(const std::vector<RowReport>& rows)
{
    std::printf("| row | MB | reference | zek s | zek MB/s | zek rec/s | ref s | ref MB/s "
                "| ref rec/s | zek time / ref time |\n");
    std::printf("|---|---:|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const RowReport& row : rows) {
        const Measure& zek = row.large.zek;
        const Measure& ref = row.large.reference;
        std::printf("| %s | %.1f | %s | %.3f | %.1f | %s | %.3f | %.1f | %s | %.1f |\n", row.name.c_str(),
                    megabytesOf(zek), row.reference.c_str(), zek.seconds, rate(megabytesOf(zek), zek.seconds),
                    recordsPerSecond(row, zek).c_str(), ref.seconds, rate(megabytesOf(ref), ref.seconds),
                    recordsPerSecond(row, ref).c_str(), rate(zek.seconds, ref.seconds));
    }
    std::printf("\n");
}

void printCostTable(const std::vector<RowReport>& rows, const std::string& smallLabel, const std::string& largeLabel)
{
    std::printf("| row | zek peak RSS, %s | zek peak RSS, %s | ref peak RSS, %s "
                "| zek CPU s/MB | ref CPU s/MB |\n",
                smallLabel.c_str(), largeLabel.c_str(), largeLabel.c_str());
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (const RowReport& row : rows) {
        std::printf("| %s | %.2f MiB (%.1f MB) | %.2f MiB (%.1f MB) | %.2f MiB | %.4f | %.4f |\n", row.name.c_str(),
                    megabytesOfRss(row.small.zek.maxRssKb), megabytesOf(row.small.zek),
                    megabytesOfRss(row.large.zek.maxRssKb), megabytesOf(row.large.zek),
                    megabytesOfRss(row.large.reference.maxRssKb), cpuPerMegabyte(row.large.zek),
                    cpuPerMegabyte(row.large.reference));
    }
    std::printf("\n");
}

bool printFailures(const std::vector<RowReport>& rows)
{
    bool none = true;
    for (const RowReport& row : rows) {
        const Measure* measures[] = {&row.small.zek, &row.small.reference, &row.large.zek, &row.large.reference};
        const char* names[] = {"small zek", "small reference", "zek", "reference"};
        for (int i = 0; i < 4; ++i) {
            if (measures[i]->ok)
                continue;
            std::printf("FAILED: %s, %s: %s\n", row.name.c_str(), names[i], measures[i]->failure.c_str());
            none = false;
        }
    }
    return none;
}
