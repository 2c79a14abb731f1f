// The measured rows: each runs zek and its reference on the same data.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

struct Measure {
    bool ok = false;
    std::string failure;    // why ok is false
    double seconds = 0;     // transfer time, fixed end pauses excluded
    std::size_t bytes = 0;  // bytes moved on the line
    double cpuSeconds = 0;
    long maxRssKb = 0;
    long records = 0;  // Protocol A DAT records
};

double megabytesOf(const Measure& measure);  // bytes in 10^6

// One data set: a generated program in its own directory, and the tape that
// zek punched from it (the converted bytes every other row reuses).
struct DataSet {
    std::string dir;
    std::string tape;      // the ISO tape, once the file row has made it
    Measure filePunchOut;  // that file row's zek side: the pace the link rows are held to
};

struct RowPair {
    Measure zek;
    Measure reference;
};

// The bench program itself, started again for the reference peers.
void setBenchExecutable(const std::string& path);

RowPair measureSendToFile(DataSet& data);  // also fills data.tape
RowPair measureSendToTcp(const DataSet& data);
// Over a pseudo-terminal that reads at once: CTS flow, DC1/DC3 flow (-d)
// and -t; the reference is zek's own punch-out of the program to a file.
RowPair measureSendToPty(const DataSet& data);
RowPair measureSendToPtyOnDc1(const DataSet& data);
RowPair measureTapeFeedToPty(const DataSet& data);
RowPair measureReceiveServer(const DataSet& data);
RowPair measureReceiveClient(const DataSet& data);
RowPair measureRecordsSend(const DataSet& data);
RowPair measureRecordsReceive(const DataSet& data);

// Runs a short row up to three times and keeps the median time of each side
// (a lockstep dialogue on a busy machine varies from run to run); a row whose
// first run took seconds is steady enough to run once. The peak memory kept
// is the highest of all runs.
RowPair medianOfRuns(const std::function<RowPair()>& measureOnce);
