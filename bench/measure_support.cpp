#include "measure_support.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

constexpr std::size_t maxRuns = 3;
constexpr double steadyRunSeconds = 5.0;

std::string benchExecutable;

Measure medianMeasure(const std::vector<RowPair>& runs, Measure RowPair::*side)
{
    std::vector<Measure> measures;
    for (const RowPair& run : runs)
        measures.push_back(run.*side);
    std::sort(measures.begin(), measures.end(),
              [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
    Measure median = measures[measures.size() / 2];
    for (const Measure& measure : measures) {
        median.maxRssKb = std::max(median.maxRssKb, measure.maxRssKb);
        if (!measure.ok && median.ok) {
            median.ok = false;
            median.failure = measure.failure;
        }
    }
    return median;
}

}  // namespace

void setBenchExecutable(const std::string& path)
{
    benchExecutable = path;
}

double megabytesOf(const Measure& measure)
{
    return double(measure.bytes) / 1e6;
}

std::vector<std::string> referencePeer(const char* kind, const std::string& file)
{
    return {benchExecutable, "--reference", kind, portArg, file};
}

std::vector<std::string> withPort(std::vector<std::string> args, int port)
{
    for (std::string& arg : args) {
        if (arg == portArg)
            arg = std::to_string(port);
        else if (arg == channelArg)
            arg = "-c127.0.0.1:" + std::to_string(port);
    }
    return args;
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void takeUsage(Measure& measure, const ChildUsage& usage)
{
    measure.cpuSeconds = usage.cpuSeconds;
    measure.maxRssKb = usage.maxRssKb;
    if (!usage.ended)
        measure.failure = "did not end in time";
    else if (usage.exitStatus < 0)
        measure.failure = "no usage report from the launcher";
    else if (usage.exitStatus != 0)
        measure.failure = "exit status " + std::to_string(usage.exitStatus);
}

void settle(Measure& measure, bool checked, const char* checkFailure)
{
    if (measure.failure.empty() && !checked)
        measure.failure = checkFailure;
    measure.ok = measure.failure.empty();
}

Measure timeToExit(ChildProcess& child, Clock::time_point from)
{
    Measure measure;
    ChildUsage usage = finishChild(child, transferTimeoutMs);
    takeUsage(measure, usage);
    measure.seconds = secondsBetween(from, usage.endTime);
    return measure;
}

RowPair medianOfRuns(const std::function<RowPair()>& measureOnce)
{
    std::vector<RowPair> runs{measureOnce()};
    while (runs.size() < maxRuns && runs.front().zek.seconds < steadyRunSeconds)
        runs.push_back(measureOnce());
    return {medianMeasure(runs, &RowPair::zek), medianMeasure(runs, &RowPair::reference)};
}
